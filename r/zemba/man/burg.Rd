\name{burg}
\alias{burg}
\title{Burg Autoregressive Fit}
\description{Burg's estimate of the AR(\code{order}) model
  \eqn{x_t = \sum_k a_k x_{t-k} + e_t} of one series.}
\usage{burg(x, order, demean = TRUE)}
\arguments{
  \item{x}{one numeric series.}
  \item{order}{model order, \eqn{0 \le order < length(x)}.}
  \item{demean}{remove the sample mean first.}
}
\value{A list: \code{coefficients} (\eqn{a_1, \dots, a_p}, positive
  \eqn{a_1} for a positively correlated series), \code{variance} (innovation
  variance) and \code{reflection} (partial autocorrelations).}
\examples{
set.seed(3)
x <- as.numeric(arima.sim(list(ar = c(0.6, -0.3)), 1000))
burg(x, 2)
}
