\name{mutual_information}
\alias{mutual_information}
\title{Mutual Information on Histogram Bins}
\description{
  Plug-in mutual information (nats) of two series, each cut into \code{bins}
  equal-width bins over its own range (the bins of \code{numpy.histogram}).
}
\usage{mutual_information(x, y, bins = 16)}
\arguments{
  \item{x, y}{numeric vectors, matrices (one series per row) or arrays of the
    same shape; row \eqn{i} of \code{x} is paired with row \eqn{i} of \code{y}.}
  \item{bins}{number of bins per series, a whole number \eqn{\ge 1}.}
}
\value{One value per pair of series, in \eqn{[0, \ln bins]}.}
\examples{
set.seed(2)
x <- rnorm(1000)
mutual_information(x, x^2)
mutual_information(x, rnorm(1000), bins = 8)
}
