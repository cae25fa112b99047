\name{band_powers}
\alias{band_powers}
\alias{default_bands}
\title{Band Powers of the Burg Spectrum}
\description{Power of each frequency band in the spectrum of the Burg AR
  model of each series (integral of the one-sided spectral density).}
\usage{
band_powers(x, sfreq, bands = NULL, order = NULL, relative = FALSE)
default_bands()
}
\arguments{
  \item{x}{a numeric vector, matrix (one series per row) or array (series
    along the last dimension).}
  \item{sfreq}{sampling rate in Hz.}
  \item{bands}{a two-column matrix (low, high in Hz, one row per band, row
    names naming the bands), or \code{NULL} for \code{default_bands()}: delta
    0.5-4, theta 4-8, alpha 8-13, beta 13-30, gamma 30-45 Hz. Bands must lie
    within \eqn{[0, sfreq/2]}.}
  \item{order}{AR order; \code{NULL} takes \eqn{trunc(\sqrt{n} + 0.5)}.}
  \item{relative}{divide each power by the total power of the model.}
}
\value{Powers in squared units of \code{x}: a named vector for a vector, a
  matrix (series x bands) for a matrix, an array with a last dimension of
  bands for an array. \code{default_bands} gives the band matrix.}
\examples{
t <- seq(0, 2, by = 1 / 256)
x <- rbind(Fz = sin(2 * pi * 10 * t) + rnorm(length(t), sd = 0.5),
           Cz = sin(2 * pi * 20 * t) + rnorm(length(t), sd = 0.5))
band_powers(x, sfreq = 256, relative = TRUE)
default_bands()
}
