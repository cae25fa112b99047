# Bad input by class: the damaged trial files of data/damaged (by their
# manifest), things that are not regular files, non-finite samples, and the
# library's printed lines (none by default).
source(file.path("..", "..", "zemba.R"), chdir = FALSE)
zemba_load(if (nzchar(Sys.getenv("ZEMBA_LIBRARY"))) Sys.getenv("ZEMBA_LIBRARY") else
  file.path("..", "..", "..", "build", "libzemba.so"))
damaged <- file.path("..", "..", "..", "data", "damaged")
real <- file.path("..", "..", "..", "data", "eeg", "co2a0000364.rd.000")
manifest <- read.delim(file.path(damaged, "MANIFEST.tsv"), colClasses = "character")

trial_error <- function(expr) tryCatch({ expr; NULL }, zemba_trial_error = function(e) e)

# The sample matrix read the simplest way: the fourth word of every line that
# is not a comment, one row per block.
naive_blocks <- function(path) {
  lines <- readLines(path)[-(1:4)]
  block <- cumsum(startsWith(lines, "#"))
  keep <- !startsWith(lines, "#")
  values <- as.numeric(vapply(strsplit(trimws(lines[keep]), "[[:space:]]+"), `[`, "", 4))
  do.call(rbind, split(values, block[keep]))
}

test_that("every damaged file of the manifest stops with its reason and line", {
  for (i in which(manifest$loads == "no")) {
    path <- file.path(damaged, manifest$file[i])
    load_trial(real)
    e <- trial_error(load_trial(path))
    expect_s3_class(e, "zemba_trial_error")
    expect_identical(e$reason, manifest$reason[i], label = manifest$file[i])
    expect_match(conditionMessage(e), manifest$file[i], fixed = TRUE)
    if (manifest$reason[i] == "unparsable-line") expect_identical(e$line, as.integer(manifest$line[i]))
  }
})

test_that("every good file of the manifest loads its own values and condition", {
  want <- unname(naive_blocks(file.path(damaged, "two-channels.rd.000")))
  expected <- c("no-condition.rd.000" = 0, "long-condition-line.rd.000" = 3, "error-trial.rd.000" = 2)
  for (f in manifest$file[manifest$loads == "yes"]) {
    load_trial(real)
    t <- load_trial(file.path(damaged, f))
    expect_identical(unname(t$data), want, label = f)
    expect_identical(t$channels, c("FP1", "FP2"))
    expect_equal(t$condition, if (f %in% names(expected)) expected[[f]] else 1, label = f)
    expect_identical(t$error, f == "error-trial.rd.000")
  }
})

test_that("a real trial agrees with a naive reading", {
  expect_identical(unname(load_trial(real)$data), unname(naive_blocks(real)))
})

test_that("directories, FIFOs and devices are refused at once; missing files named", {
  dir <- tempfile("dir"); dir.create(dir)
  fifo <- tempfile("fifo"); system2("mkfifo", fifo)
  # a child R process, so that a FIFO that blocked would fail the test instead of hanging it
  script <- tempfile(fileext = ".R")
  writeLines(c(sprintf("source(%s)", deparse(normalizePath(file.path("..", "..", "zemba.R")))),
               sprintf("zemba_load(%s)", deparse(normalizePath(zemba_library_path(file.path("..", "..", ".."))))),
               "for (p in commandArgs(TRUE)) cat(tryCatch({load_trial(p); 'loaded'},",
               "  zemba_trial_error = function(e) e$reason), '\\n')"), script)
  out <- system2("timeout", c("60", file.path(R.home("bin"), "Rscript"), script, dir, fifo, "/dev/null",
                              file.path(dir, "missing.rd.000")), stdout = TRUE)
  expect_identical(trimws(out), c("not-regular", "not-regular", "not-regular", "open"))
})

test_that("the library prints nothing while a trial loads", {
  script <- tempfile(fileext = ".R")
  writeLines(c(sprintf("source(%s)", deparse(normalizePath(file.path("..", "..", "zemba.R")))),
               sprintf("zemba_load(%s)", deparse(normalizePath(zemba_library_path(file.path("..", "..", ".."))))),
               sprintf("t <- load_trial(%s); x <- mutual_information(1:10, 10:1); h <- histogram_entropy(c(1, 2, 2))",
                       deparse(normalizePath(real)))), script)
  out <- system2(file.path(R.home("bin"), "Rscript"), script, stdout = TRUE)
  expect_length(out, 0)
  writeLines(c(readLines(script)[1:2], "zemba_diagnostics(TRUE)", readLines(script)[3]), script)
  shown <- system2(file.path(R.home("bin"), "Rscript"), script, stdout = TRUE)
  expect_true(any(grepl("FP1\tFP2", shown)) && any(startsWith(shown, "ratio=")))
})

test_that("non-finite samples stop naming the argument and the index", {
  x <- rnorm(50); y <- rnorm(50)
  x[7] <- NaN
  expect_error(mutual_information(x, y), "x\\[7\\] is NaN")
  expect_error(mutual_information(y, replace(y, 3, Inf)), "y\\[3\\] is Inf")
  for (f in list(hva, hvg_stack, hvg_degrees, divergence_features, permutation_entropy, ddpe,
                 delay_permutation_entropy, hvg_entropy, sample_entropy, approximate_entropy, band_powers))
    expect_error(f(x), "x\\[7\\] is NaN")
  m <- matrix(rnorm(300), 3); m[2, 40] <- NA
  expect_error(hva(m), "x\\[2, 40\\] is NA")
  expect_error(approximate_entropy(rnorm(20), r = NaN), "r\\[1\\] is NaN")
})

test_that("band powers refuse a rate that puts gamma above Nyquist", {
  expect_error(band_powers(rnorm(100), fs = 100), "gamma.*Nyquist")
  expect_true(is.finite(band_powers(rnorm(100), fs = 120)[["gamma"]]))
})
