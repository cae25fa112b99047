# Trial reader, feature table, error messages and the README example.

trial_file <- function() system.file("extdata", "co2a0000364.rd.000.gz", package = "zemba")

test_that("read_trial gives a named channel x sample matrix; read_trials the long table", {
  tr <- read_trial(trial_file())
  expect_equal(dim(tr$data), c(64, 256))
  expect_equal(names(dimnames(tr$data)), c("channel", "sample"))
  expect_equal(rownames(tr$data)[1:3], c("FP1", "FP2", "F7"))
  expect_equal(tr[c("subject", "group", "condition", "trial", "err")],
               list(subject = "co2a0000364", group = "a", condition = "S1 obj", trial = 0L, err = FALSE))
  # the first sample lines of the file, read as text
  con <- gzfile(trial_file())
  lines <- readLines(con, n = 7)
  close(con)
  first <- strsplit(lines[6:7], " ")
  expect_equal(unname(tr$data["FP1", 1:2]), as.numeric(vapply(first, `[`, "", 4)))
  long <- read_trials(dirname(trial_file()))
  expect_equal(names(long), c("subject", "group", "condition", "trial", "channel", "time", "voltage"))
  expect_equal(nrow(long), 64 * 256)
  expect_equal(long$voltage[long$channel == "CZ"], unname(tr$data["CZ", ]))
})

test_that("extract_features: {channel}_{feature}[_{output}] columns, values of the functions", {
  set.seed(8)
  a <- array(rnorm(3 * 2 * 256), c(3, 2, 256), dimnames = list(c("e1", "e2", "e3"), c("Fz", "Cz"), NULL))
  tab <- extract_features(a, 256, c("perm_entropy", "band_powers"), list(perm_entropy = list(order = 4)))
  expect_equal(names(tab)[1:3], c("Fz_perm_entropy", "Cz_perm_entropy", "Fz_band_powers_delta"))
  expect_equal(ncol(tab), 2 + 2 * 5)
  expect_equal(rownames(tab), c("e1", "e2", "e3"))
  expect_equal(tab["e2", "Cz_perm_entropy"], perm_entropy(a[2, 2, ], order = 4))
  expect_equal(tab["e3", "Fz_band_powers_alpha"], unname(band_powers(a[3, 1, ], 256)["alpha"]))
  one <- extract_features(read_trial(trial_file()), 256, "hvg_irreversibility")
  expect_equal(dim(one), c(1, 64 * 7))
  expect_equal(names(one)[1], "FP1_hvg_irreversibility_divergence")
  expect_equal(rownames(one), "1")
})

test_that("errors say what is wrong", {
  expect_error(perm_entropy(c(1, 2, NaN, 4)), "x\\[3\\] is NaN")
  expect_error(sample_entropy(rbind(a = 1:10, b = c(1:9, Inf)), r = 1), "series 'b' of 'ts', sample 10 is Inf")
  expect_error(approx_entropy(c(1, NA, 3)), "ts\\[2\\] is NA")
  expect_error(perm_entropy(1:10, order = 1), "'order' must be a whole number >= 2")
  expect_error(perm_entropy(1:3, order = 4), "at least 4 samples")
  expect_error(sample_entropy(rnorm(50), r = -1), "'r' must be")
  expect_error(approx_entropy(rnorm(50), elag = 2), "'elag' other than 1")
  expect_error(mutual_information(matrix(1:10, 2), 1:5), "same shape")
  expect_error(mutual_information(1:5, 5:1, bins = 0), "'bins'")
  expect_error(vg_edges(matrix(rnorm(20), 2)), "one series")
  expect_error(burg(1:5, 5), "'order' \\(5\\) must be below")
  expect_error(band_powers(rnorm(100), 64), "band 5")
  expect_error(band_powers(rnorm(100), 0), "'sfreq'")
  expect_error(extract_features(array(0, c(1, 1, 1, 8)), 256), "dimensions")
  expect_error(extract_features(matrix(rnorm(20), 2), 256, "nope"), "unknown feature")
  expect_error(read_trial(tempfile()), "read_trial")
  expect_error(perm_entropy("abc"), "numeric")
})

test_that("the README example runs", {
  ex <- system.file("examples", "trial_features.R", package = "zemba")
  out <- capture.output(source(ex, local = new.env()))
  expect_true(any(grepl("FP1", out)))
})
