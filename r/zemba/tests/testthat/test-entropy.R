# Entropies: pracma (Debian's r-cran-pracma) where its definitions and the
# core's coincide, and hand-worked values.

test_that("sample and approximate entropy agree with pracma where the definitions coincide", {
  skip_if_not_installed("pracma")
  set.seed(11)
  x <- rnorm(400)
  # Continuous data: no distance equals r, and pracma's skipped last pair does not match.
  for (edim in 2:3) {  # pracma fails on edim = 1 (a matrix drops to a vector)
    expect_equal(sample_entropy(x, edim = edim), pracma::sample_entropy(x, edim = edim), tolerance = 1e-12)
    expect_equal(approx_entropy(x, edim = edim), pracma::approx_entropy(x, edim = edim), tolerance = 1e-12)
  }
  expect_equal(sample_entropy(x, r = 0.5), pracma::sample_entropy(x, r = 0.5), tolerance = 1e-12)
  # tau downsamples first and the default r is taken from the downsampled series, as in pracma.
  expect_equal(sample_entropy(x, tau = 2), pracma::sample_entropy(x, tau = 2), tolerance = 1e-12)
  # approx_entropy counts distances <= r, as pracma does, so ties agree too.
  k <- c(0, 1, 2, 1, 0, 2, 2, 1, 0, 1, 2, 0, 0, 1, 2, 2, 1, 0, 1, 1, 2, 0, 1, 2, 1, 0, 0, 2, 1, 2)
  expect_equal(approx_entropy(k, r = 1), pracma::approx_entropy(k, r = 1), tolerance = 1e-12)
  # sample_entropy counts distances <= r, pracma strictly below r: on integer data
  # the core at r = 1 is pracma at any r in (1, 2).
  expect_equal(sample_entropy(k, r = 1), pracma::sample_entropy(k, r = 1.5), tolerance = 1e-12)
  expect_false(isTRUE(all.equal(sample_entropy(k, r = 1), pracma::sample_entropy(k, r = 1))))
})

test_that("one value per row, named by the row names; default r per series", {
  skip_if_not_installed("pracma")
  set.seed(12)
  m <- rbind(Fz = rnorm(200), Cz = rnorm(200, sd = 10))
  s <- sample_entropy(m)
  expect_named(s, c("Fz", "Cz"))
  expect_equal(unname(s), c(pracma::sample_entropy(m[1, ]), pracma::sample_entropy(m[2, ])), tolerance = 1e-12)
  a <- approx_entropy(m, r = c(0.2, 2))
  expect_equal(unname(a), c(pracma::approx_entropy(m[1, ], r = 0.2), pracma::approx_entropy(m[2, ], r = 2)),
               tolerance = 1e-12)
})

test_that("permutation entropy: Bandt and Pompe's example, flat and shaped input", {
  x <- c(4, 7, 9, 10, 6, 11, 3)  # patterns 012 twice, 201 twice, 102 once
  expect_equal(perm_entropy(x), -(2 * 0.4 * log2(0.4) + 0.2 * log2(0.2)), tolerance = 1e-14)
  expect_equal(perm_entropy(x, normalize = TRUE), perm_entropy(x) / log2(6), tolerance = 1e-14)
  expect_equal(perm_entropy(1:50, order = 5), 0)
  a <- array(rnorm(2 * 3 * 60), c(2, 3, 60), dimnames = list(ep = c("e1", "e2"), ch = c("A", "B", "C"), NULL))
  pa <- perm_entropy(a)
  expect_equal(dim(pa), c(2, 3))
  expect_equal(dimnames(pa), list(ep = c("e1", "e2"), ch = c("A", "B", "C")))
  expect_equal(pa["e2", "B"], perm_entropy(a[2, 2, ]))
})
