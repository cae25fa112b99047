\name{hvg_degrees}
\alias{hvg_degrees}
\alias{nvg_degrees}
\alias{vg_edges}
\alias{hvg_irreversibility}
\title{Visibility Graphs}
\description{
  Degrees and edges of the horizontal and natural visibility graphs of a
  series, and the time-irreversibility features of its left-to-right graph.
}
\usage{
hvg_degrees(x)
nvg_degrees(x)
vg_edges(x, kind = c("horizontal", "natural"),
         direction = c("undirected", "left_to_right", "top_to_bottom"))
hvg_irreversibility(x, kind = c("horizontal", "natural"))
}
\arguments{
  \item{x}{a numeric vector, matrix (one series per row) or array (series
    along the last dimension); \code{vg_edges} takes one series.}
  \item{kind}{horizontal (samples see each other over strictly lower
    samples) or natural (over samples strictly below the line joining them,
    decided exactly).}
  \item{direction}{edge orientation: earlier vertex first, left to right, or
    from the higher end to the lower.}
}
\value{
  \code{hvg_degrees}, \code{nvg_degrees}: the degree of every sample, in the
  shape of \code{x} (row names and dimnames kept).
  \code{vg_edges}: a data frame of edges \code{from}, \code{to} (sample
  indices from 1), ordered by the later vertex, then the earlier.
  \code{hvg_irreversibility}: seven outputs per series, \code{divergence}
  (Kullback-Leibler divergence of the backward and forward degree
  histograms), \code{degree_entropy}, \code{mean_degree},
  \code{mean_backward_weight}, \code{degree_asymmetry}, \code{mean_m},
  \code{mean_g} (unweighted graph): a named vector for a vector, a matrix
  with these columns for a matrix.
}
\examples{
x <- c(3, 1, 2, 5, 4, 1, 6)
hvg_degrees(x)
nvg_degrees(x)
vg_edges(x, "natural")
hvg_irreversibility(rbind(a = sin(1:100), b = cos(1:100 / 3)))
}
