# Features through the R functions, through a raw .C call and from an
# independent formula written here.
source(file.path("..", "..", "zemba.R"), chdir = FALSE)
zemba_load(if (nzchar(Sys.getenv("ZEMBA_LIBRARY"))) Sys.getenv("ZEMBA_LIBRARY") else
  file.path("..", "..", "..", "build", "libzemba.so"))
data_dir <- file.path("..", "..", "..", "data", "eeg")
set.seed(11)

brute_edges <- function(x) {
  n <- length(x); e <- 0
  for (j in 1:(n - 1)) for (i in (j + 1):n) {
    mid <- if (i > j + 1) x[(j + 1):(i - 1)] else numeric(0)
    if (all(mid < x[i] & mid < x[j])) e <- e + 1
  }
  e
}

test_that("mean degree of the visibility graph matches a brute-force edge count and the raw call", {
  x <- rnorm(50) * 10
  raw <- .C("Z_HVA", x, 50L, 1L, out = double(4))$out
  expect_equal(hva(x)[["mean_degree"]], 2 * brute_edges(x) / 50, tolerance = 0)
  expect_identical(unname(hva(x)[1:4]), raw)
})

test_that("worked series gives the known pairwise summary", {
  expect_equal(unname(hva(c(5, 1, 3, 2, 4))[1:4]), c(2.8, 10.4, 0.4, 3.8))
  expect_equal(hvg_degrees(c(5, 1, 3, 2, 4)), c(3L, 2L, 4L, 2L, 3L))
})

pe_direct <- function(x, m) {
  n <- length(x)
  pats <- vapply(1:(n - m + 1), function(i)
    paste(ifelse(diff(x[i:(i + m - 1)]) > 0, "0", "1"), collapse = ""), "")
  p <- table(pats) / length(pats)
  -sum(p * log(p)) / log(factorial(m - 1))
}

test_that("permutation entropy matches a direct pattern count and the raw call", {
  x <- rnorm(300)
  raw <- .C("calculatePermutationEntropy", x, 300L, 4L, out = double(1))$out
  expect_equal(permutation_entropy(x, m = 4), pe_direct(x, 4), tolerance = 1e-12)
  expect_identical(permutation_entropy(x, m = 4), raw)
})

test_that("mutual information matches a direct count and the raw call", {
  x <- rnorm(400) * 3; y <- x + rnorm(400) * 2
  a <- floor(x) - min(floor(x)); b <- floor(y) - min(floor(y))
  pj <- table(a, b) / 400; pa <- rowSums(pj); pb <- colSums(pj)
  ref <- sum(ifelse(pj > 0, pj * log(pj / outer(pa, pb)), 0))
  raw <- .C("calculateMutualInformation", x, y, 400L, out = double(1))$out
  expect_equal(mutual_information(x, y), ref, tolerance = 1e-10)
  expect_identical(mutual_information(x, y), raw)
})

test_that("band powers match numerical integration of the order-one model spectrum", {
  x <- c(1.0, 0.5)  # n = 2 gives order 1: d = 2*x1*x2/(x1^2+x2^2), xms = mean(x^2)*(1-d^2)
  d <- 2 * x[1] * x[2] / sum(x^2); pm <- mean(x^2) * (1 - d^2)
  spectrum <- function(f) pm / Mod(1 - d * exp(2i * pi * f))^2
  bands <- rbind(c(0.53, 4), c(4, 8), c(8, 13), c(13, 30), c(30, 60))
  ref <- apply(bands, 1, function(b) 2 * integrate(spectrum, b[1] / 256, b[2] / 256, rel.tol = 1e-10)$value)
  raw <- .C("memse", x, 2L, 256, out = double(5))$out
  expect_equal(unname(band_powers(x, fs = 256)), ref, tolerance = 1e-5)
  expect_identical(unname(band_powers(x, fs = 256)), raw)
})

test_that("a matrix gives one result per row", {
  m <- matrix(rnorm(4 * 120), 4)
  expect_length(permutation_entropy(m, m = 3), 4)
  expect_equal(dim(sample_entropy(m, m = 2)), c(4L, 3L))
  expect_equal(dim(band_powers(m)), c(4L, 5L))
  expect_equal(hva(m)[3, ], hva(m[3, ]))
})

test_that("inputs are not modified by routines that rewrite their series", {
  x <- rnorm(200) * 5 + 3; keep <- x + 0
  sample_entropy(x); hvg_stack(x)
  expect_identical(x, keep)
})

test_that("validation messages name the bad value", {
  expect_error(permutation_entropy(rnorm(10), m = 40), "m=40")
  expect_error(sample_entropy(rnorm(10), m = 200), "m=200")
  expect_error(band_powers(rnorm(10), fs = -1), "fs=-1")
  expect_error(hva(rep(1, 12194)), "12194")
})

test_that("a real trial loads with names, group and condition", {
  t <- load_trial(file.path(data_dir, "co2a0000364.rd.000"))
  expect_equal(dim(t$data), c(64L, 256L))
  expect_equal(t$channels[1:3], c("FP1", "FP2", "F7"))
  expect_equal(unname(t$data[1, 1]), -8.921)
  expect_equal(c(t$group, t$condition, t$error), c("a", 1, FALSE))
  expect_equal(load_trial(file.path(data_dir, "co2c0000337.rd.021"))$condition, 3)
})

test_that("a gzip trial equals the plain one", {
  src <- file.path(data_dir, "co2c0000337.rd.017")
  gz <- tempfile(fileext = ".gz"); con <- gzfile(gz, "w"); writeLines(readLines(src), con); close(con)
  expect_identical(load_trial(gz)$data, load_trial(src)$data)
})

test_that("the error flag comes from line four", {
  lines <- readLines(file.path(data_dir, "co2a0000364.rd.009"))
  lines[4] <- "# S2 match err, trial 9"
  p <- tempfile(); writeLines(lines, p)
  t <- load_trial(p)
  expect_true(t$error); expect_equal(t$condition, 2)
})

test_that("empty and truncated files give errors naming them", {
  p <- tempfile(pattern = "empty"); file.create(p)
  expect_error(load_trial(p), paste0(basename(p), ".*empty"))
  q <- tempfile(pattern = "cut"); writeLines(readLines(file.path(data_dir, "co2a0000364.rd.000"))[1:3000], q)
  expect_error(load_trial(q), paste0(basename(q), ".*truncated"))
})

test_that("the example runs", {
  out <- system2(file.path(R.home("bin"), "Rscript"), file.path("..", "..", "examples", "trial_features.R"),
                 stdout = TRUE)
  expect_true(any(startsWith(out, "group=a condition=1 channels=64")))
  expect_true(any(grepl("FP1 degree=", out)))
})
