\name{extract_features}
\alias{extract_features}
\title{Feature Table of Multichannel Epochs}
\description{Computes features of every epoch and channel and returns one
  row per epoch, with columns \code{\{channel\}_\{feature\}} or, for features
  with several outputs, \code{\{channel\}_\{feature\}_\{output\}}, ordered by
  feature (as selected), channel, output: the table the Python package's
  \code{extract_features} gives.}
\usage{extract_features(x, sfreq, features = c("perm_entropy", "sample_entropy"),
                 params = list())}
\arguments{
  \item{x}{an epoch x channel x sample array, a channel x sample matrix (one
    epoch), a series, or a trial from \code{\link{read_trial}}. Channel names
    come from the dimnames (default \code{ch0}, \code{ch1}, ...); epoch
    names become row names.}
  \item{sfreq}{sampling rate in Hz (used by \code{band_powers}).}
  \item{features}{names of the functions to apply: \code{perm_entropy},
    \code{sample_entropy}, \code{approx_entropy}, \code{hvg_irreversibility},
    \code{band_powers}.}
  \item{params}{a list named by feature of argument lists, e.g.
    \code{list(perm_entropy = list(order = 4))}.}
}
\value{A data frame.}
\examples{
f <- system.file("extdata", "co2a0000364.rd.000.gz", package = "zemba")
tr <- read_trial(f)
tab <- extract_features(tr, 256, c("perm_entropy", "band_powers"),
                        list(perm_entropy = list(order = 4)))
tab[, 1:3]
}
