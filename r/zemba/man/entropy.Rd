\name{perm_entropy}
\alias{perm_entropy}
\alias{sample_entropy}
\alias{approx_entropy}
\title{Permutation, Sample and Approximate Entropy}
\description{
  Permutation entropy of ordinal patterns (bits), and sample and approximate
  entropy (nats) with the argument names and defaults of \pkg{pracma}, so that
  code written for \pkg{pracma} switches by changing the package name.
}
\usage{
perm_entropy(x, order = 3, delay = 1, normalize = FALSE)
sample_entropy(ts, edim = 2, r = 0.2 * sd(ts), tau = 1)
approx_entropy(ts, edim = 2, r = 0.2 * sd(ts), elag = 1)
}
\arguments{
  \item{x, ts}{a numeric vector, a matrix (one series per row) or an array
    (series along the last dimension); samples must be finite.}
  \item{order}{pattern length, a whole number \eqn{\ge 2}.}
  \item{delay}{lag between pattern members, \eqn{\ge 1}.}
  \item{normalize}{divide by \eqn{\log_2(order!)} so the result lies in [0, 1].}
  \item{edim}{embedding dimension (template length), \eqn{\ge 0}.}
  \item{r}{tolerance in the units of the series: one number, or one per
    series. The default is 0.2 times the sample standard deviation
    (divisor \eqn{n - 1}) of each series, as in \pkg{pracma}.}
  \item{tau}{as in \pkg{pracma}: the series is first reduced to every
    \code{tau}-th sample (and the default \code{r} is taken from that).}
  \item{elag}{accepted for compatibility; only 1 is supported (\pkg{pracma}
    ignores it).}
}
\details{
  \code{perm_entropy}: windows \eqn{x_i, x_{i+d}, \dots}; equal values are
  ranked by time; \eqn{-\sum p \log_2 p} over the patterns that occur.

  \code{sample_entropy}: \eqn{-\ln(A/B)}, \eqn{B} (\eqn{A}) the pairs of
  distinct templates of length \code{edim} (\code{edim + 1}) among the first
  \eqn{n - edim} templates whose Chebyshev distance is at most \code{r}.
  \eqn{A = 0} gives \code{Inf}; \eqn{B = 0} gives \code{NaN}. Differences from
  \pkg{pracma}: \pkg{pracma} counts distances strictly below \code{r}, and
  omits the last pair of templates from \eqn{A}; the values agree whenever no
  distance equals \code{r} and that last pair does not match (on continuous
  data with the default tolerance: nearly always).

  \code{approx_entropy}: \eqn{\phi(m) - \phi(m+1)} with self-matches,
  distances at most \code{r}: the same definition as \pkg{pracma}'s.
}
\value{One value per series (see \link{zemba-package} for the shapes).}
\examples{
set.seed(1)
x <- rnorm(500)
perm_entropy(x, order = 4, normalize = TRUE)
sample_entropy(x)
approx_entropy(x, edim = 2, r = 0.2)
m <- rbind(noise = x, sine = sin(seq_len(500) / 10))
sample_entropy(m)
}
