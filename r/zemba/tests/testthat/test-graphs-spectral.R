# Visibility graphs, mutual information, Burg and band powers against values
# worked by hand or closed forms.

test_that("horizontal visibility degrees and edges of a worked example", {
  x <- c(3, 1, 2, 5, 4, 1, 6)
  # neighbours plus 1-3, 1-4, 4-7, 5-7
  expect_equal(hvg_degrees(x), c(3, 2, 3, 4, 3, 2, 3))
  e <- vg_edges(x)
  expect_equal(nrow(e), 10)
  expect_true(all(c("1 3", "1 4", "4 7", "5 7") %in% paste(e$from, e$to)))
  expect_equal(unname(hvg_irreversibility(x)["mean_degree"]), 20 / 7)
  # the natural graph contains the horizontal one
  set.seed(3)
  m <- rbind(a = rnorm(80), b = rnorm(80))
  expect_true(all(nvg_degrees(m) >= hvg_degrees(m)))
  expect_equal(rownames(hvg_degrees(m)), c("a", "b"))
  irr <- hvg_irreversibility(m)
  expect_equal(dimnames(irr), list(c("a", "b"), c("divergence", "degree_entropy", "mean_degree",
    "mean_backward_weight", "degree_asymmetry", "mean_m", "mean_g")))
})

test_that("mutual information on histogram bins", {
  expect_equal(mutual_information(c(0, 0, 1, 1), c(5, 5, 7, 7), bins = 2), log(2))
  expect_equal(mutual_information(c(0, 0, 1, 1), c(0, 1, 0, 1), bins = 2), 0)
  m <- rbind(p = c(0, 0, 1, 1), q = c(0, 1, 0, 1))
  expect_equal(mutual_information(m, rbind(c(0, 0, 1, 1), c(0, 0, 1, 1)), bins = 2), c(p = log(2), q = 0))
})

test_that("Burg AR(1) is the closed-form reflection coefficient; band powers add up", {
  set.seed(5)
  x <- as.numeric(stats::filter(rnorm(500), 0.7, method = "recursive"))
  y <- x - mean(x)
  k <- 2 * sum(y[-1] * y[-500]) / sum(y[-1]^2 + y[-500]^2)
  fit <- burg(x, 1)
  expect_equal(fit$coefficients, k, tolerance = 1e-12)
  f <- y[-1] - k * y[-500]
  b <- y[-500] - k * y[-1]
  expect_equal(fit$variance, sum(f^2 + b^2) / (2 * 499), tolerance = 1e-12)
  m <- rbind(Fz = x, Cz = rev(x))
  whole <- band_powers(m, 256, bands = rbind(all = c(0, 128)), relative = TRUE)
  expect_equal(whole, matrix(1, 2, 1, dimnames = list(c("Fz", "Cz"), "all")), tolerance = 1e-8)
  bp <- band_powers(m, 256)
  expect_equal(colnames(bp), c("delta", "theta", "alpha", "beta", "gamma"))
  expect_equal(bp["Fz", ], band_powers(x, 256))
})
