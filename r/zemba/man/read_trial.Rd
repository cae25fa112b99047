\name{read_trial}
\alias{read_trial}
\alias{read_trials}
\title{Read Trial Files of the Alcoholism EEG Data Set}
\description{Reads single-trial files (plain text or gzip) with the core's
  reader, which accepts a file only when every channel block delivers all
  256 samples once with finite values.}
\usage{
read_trial(path)
read_trials(folder, pattern = "\\\\.rd\\\\.[0-9]+(\\\\.gz)?$", recursive = TRUE,
            skip_errors = FALSE)
}
\arguments{
  \item{path}{one trial file.}
  \item{folder}{a folder searched for trial files.}
  \item{pattern}{regular expression the file names must match.}
  \item{recursive}{search sub-folders too.}
  \item{skip_errors}{leave out trials marked as error trials.}
}
\value{
  \code{read_trial}: a list with \code{data} (channel x sample matrix in
  microvolts with dimnames \code{channel} and \code{sample}), \code{time}
  (seconds, 256 Hz), \code{subject}, \code{group} (\code{"a"} alcoholic or
  \code{"c"} control), \code{condition} (\code{"S1 obj"}, \code{"S2 match"},
  \code{"S2 nomatch"}, \code{"S2 other"} or \code{NA}), \code{trial} and
  \code{err} (\code{TRUE} for an error trial).

  \code{read_trials}: a long data frame with columns \code{subject},
  \code{group}, \code{condition}, \code{trial}, \code{channel}, \code{time},
  \code{voltage}, one row per sample.

  A file that cannot be read stops with its name, the reason and, where
  known, the line.
}
\examples{
f <- system.file("extdata", "co2a0000364.rd.000.gz", package = "zemba")
tr <- read_trial(f)
dim(tr$data)
tr$data[1:3, 1:5]
head(read_trials(dirname(f)))
}
