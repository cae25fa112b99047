\name{zemba-package}
\alias{zemba-package}
\alias{zemba}
\alias{zemba_core_version}
\docType{package}
\title{Nonlinear and Information-Theoretic Features of Time Series}
\description{
  Visibility graphs, permutation, sample and approximate entropies, mutual
  information, Burg spectra and band powers, and a reader for the trial files
  of the alcoholism EEG data set, on the reentrant C core of zemba (compiled
  into the package, called through \code{.Call}; nothing is printed).

  Every feature takes a numeric vector (one series), a matrix (one series per
  row) or an array (series along the last dimension) and returns one result
  per series: a number for a vector, a vector named by the row names for a
  matrix, an array keeping the leading dimnames for an array. Features with
  several outputs add a last dimension named by the outputs. NA, NaN and
  infinite samples stop with a message naming the first one. Logarithms are
  natural (nats) unless a page says otherwise.
}
\usage{
zemba_core_version()
}
\value{\code{zemba_core_version} gives the version of the compiled core as a string.}
\examples{
zemba_core_version()
x <- rbind(Fz = sin(1:200 / 5), Cz = cos(1:200 / 7))
perm_entropy(x)
}
