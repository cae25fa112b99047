# zemba: nonlinear and information-theoretic features of time series, from R.
# Loads libzemba with dyn.load and calls its by-address routines with .C().
# Logarithms are natural (nats); moments are population moments. .C copies
# every argument, so the caller's vectors are never modified. Every feature
# takes a numeric vector or a matrix (rows = channels or epochs) and returns
# one result per row.

.zemba <- new.env()

#' Path of the library: $ZEMBA_LIBRARY, else build/libzemba.so of the repository.
#' @param root repository folder (default: the parent of this file's folder)
zemba_library_path <- function(root = .zemba$root) {
  env <- Sys.getenv("ZEMBA_LIBRARY")
  if (nzchar(env)) return(env)
  file.path(root, "build", "libzemba.so")
}

.zemba$root <- local({
  f <- tryCatch(normalizePath(sys.frame(1)$ofile), error = function(e) NULL)
  if (is.null(f)) getwd() else dirname(dirname(f))
})

#' Load the library (done on first use).
zemba_load <- function(path = zemba_library_path()) {
  if (is.null(.zemba$dll)) {
    if (!file.exists(path)) stop(sprintf("zemba library not found at %s", path))
    .zemba$dll <- dyn.load(path)
  }
  invisible(.zemba$dll)
}

.C_z <- function(name, ...) {
  zemba_load()
  .C(name, ..., PACKAGE = .zemba$dll[["name"]])
}

.rows <- function(x, f, min_len = 1L, max_len = 12193L) {
  m <- if (is.matrix(x)) x else matrix(as.numeric(x), nrow = 1)
  storage.mode(m) <- "double"
  n <- ncol(m)
  if (n < min_len) stop(sprintf("x has %d samples, at least %d needed", n, min_len))
  if (n > max_len) stop(sprintf("x has %d samples, more than the capacity %d", n, max_len))
  res <- lapply(seq_len(nrow(m)), function(i) f(m[i, ]))
  if (!is.matrix(x)) return(res[[1]])
  if (length(res[[1]]) == 1) unlist(res) else do.call(rbind, res)
}

.int_arg <- function(value, name, lo = -Inf, hi = Inf) {
  if (length(value) != 1 || is.na(value) || value != round(value))
    stop(sprintf("%s must be one integer, got %s", name, format(value)))
  if (value < lo) stop(sprintf("%s=%d is below the smallest allowed value %s", name, as.integer(value), format(lo)))
  if (value > hi) stop(sprintf("%s=%d is above the largest allowed value %s", name, as.integer(value), format(hi)))
  as.integer(value)
}

#' Horizontal visibility graph by the direct pair test.
#' @param x series (vector) or matrix with one series per row
#' @param inverted use the ridge criterion instead of the valley criterion
#' @return named vector: mean_degree, mean_weight, share_degree2, cost, degree_sum
hva <- function(x, inverted = FALSE) {
  .rows(x, function(v) {
    r <- .C_z("Z_HVA", v, length(v), if (inverted) 3L else 1L, out = double(4))
    c(mean_degree = r$out[1], mean_weight = r$out[2], share_degree2 = r$out[3],
      cost = r$out[4], degree_sum = r$out[1] * length(v))
  })
}

#' Horizontal visibility graph by the linear-time stack method.
#' @return named vector of six per-node figures
hvg_stack <- function(x) {
  .rows(x, function(v) {
    r <- .C_z("Z_ZEMBA", v, length(v), out = double(6))
    setNames(r$out, c("mean_degree", "mean_weight", "share_degree2", "cost",
                      "share_degree3", "share_degree4"))
  })
}

#' Degree sequence of the stack-built horizontal visibility graph.
#' @return integer vector of degrees (one row per input row for a matrix)
hvg_degrees <- function(x, inverted = FALSE) {
  .rows(x, function(v) {
    n <- length(v)
    r <- .C_z("getHVGAdjMatrix", v, n, if (inverted) 4L else 2L, out = integer(2 * n))
    r$out[seq_len(n)]
  })
}

#' Backward/forward divergence features of the directed visibility graph.
#' @return named vector: kl (nats), degree_entropy, mean_degree,
#'   mean_backward_weight, degree_asymmetry, mean_m, mean_g
divergence_features <- function(x) {
  .rows(x, function(v) {
    r <- .C_z("Z_ZEMBA_KLD", v, length(v), out = double(7))
    setNames(r$out, c("kl", "degree_entropy", "mean_degree", "mean_backward_weight",
                      "degree_asymmetry", "mean_m", "mean_g"))
  })
}

#' Shannon entropy (nats) of the histogram of non-negative integers.
histogram_entropy <- function(values) {
  .rows(values, function(v) {
    if (any(v < 0 | v != round(v) | v > 12193))
      stop(sprintf("values must be integers in 0..12193; got %s", format(v[v < 0 | v != round(v) | v > 12193][1])))
    .C_z("calculateEntropy", as.integer(v), length(v), 1L, out = double(1))$out
  })
}

#' Rise-fall permutation entropy over windows of m samples, divided by ln((m-1)!).
#' @param m window length, 2..13 and at most the series length
permutation_entropy <- function(x, m = 3) {
  m <- .int_arg(m, "m", 2, 13)
  .rows(x, function(v) .C_z("calculatePermutationEntropy", v, length(v), m, out = double(1))$out,
        min_len = m)
}

#' Ordinal-pattern entropy (nats) of windows of m-1 members tau samples apart.
delay_permutation_entropy <- function(x, m = 4, tau = 1) {
  m <- .int_arg(m, "m", 2, 64); tau <- .int_arg(tau, "tau", 1)
  .rows(x, function(v) .C_z("calculateDelayPermutationEntropy", v, length(v), m, tau, out = double(1))$out,
        min_len = m)
}

#' Entropy (nats) of delayed rise-fall patterns.
ddpe <- function(x, m = 4, tau = 1) {
  m <- .int_arg(m, "m", 2, 64); tau <- .int_arg(tau, "tau", 1)
  .rows(x, function(v) .C_z("DDPE", v, length(v), m, tau, out = double(1))$out, min_len = m)
}

#' Mean degree, mean strength and degree-pattern entropy (nats) of the visibility graph.
hvg_entropy <- function(x, m = 3, tau = 1) {
  m <- .int_arg(m, "m", 1, 63); tau <- .int_arg(tau, "tau", 1)
  .rows(x, function(v) setNames(.C_z("HVG_Entropy", v, length(v), m, tau, out = double(3))$out,
                                c("mean_degree", "mean_strength", "pattern_entropy")))
}

#' Mutual information (nats) of two series discretised to integer states floor(x) - floor(min(x)).
#' n <= 4096 and (states of x) x (states of y) <= 4096.
mutual_information <- function(x, y) {
  xm <- if (is.matrix(x)) x else matrix(x, nrow = 1)
  ym <- if (is.matrix(y)) y else matrix(y, nrow = 1)
  if (!identical(dim(xm), dim(ym))) stop("x and y differ in shape")
  res <- vapply(seq_len(nrow(xm)), function(i) {
    a <- as.numeric(xm[i, ]); b <- as.numeric(ym[i, ])
    if (length(a) > 4096) stop(sprintf("n=%d samples exceed the 4096 of mutual information", length(a)))
    joint <- (diff(range(floor(a))) + 1) * (diff(range(floor(b))) + 1)
    if (joint > 4096) stop(sprintf("%d joint states exceed 4096; rescale the data", joint))
    .C_z("calculateMutualInformation", a, b, length(a), out = double(1))$out
  }, 0)
  res
}

#' Sample entropy (nats) for template lengths q = 0..m by the run-length method;
#' r in standard deviations. Returns m + 1 values per row.
sample_entropy <- function(x, m = 2, r = 0.2) {
  m <- .int_arg(m, "m", 0, 127)
  if (!is.finite(r) || r < 0) stop(sprintf("r=%s must be a finite tolerance >= 0", format(r)))
  .rows(x, function(v) .C_z("sampen_1", v, m, as.double(r), length(v), out = double(m + 1))$out,
        min_len = 2)
}

#' Approximate entropy (nats) with tolerance trunc(r) x population SD.
approximate_entropy <- function(x, m = 2, r = 1) {
  m <- .int_arg(m, "m", 0)
  .rows(x, function(v) {
    if (m >= length(v)) stop(sprintf("m=%d must be below n=%d", m, length(v)))
    .C_z("AppEn1", v, length(v), m, as.double(r), out = double(1))$out
  })
}

#' Delta, theta, alpha, beta, gamma band powers of a Burg model of order round(sqrt(n)).
#' @param fs sampling rate in hertz
band_powers <- function(x, fs = 256) {
  if (!is.finite(fs) || fs <= 0) stop(sprintf("fs=%s must be a positive sampling rate", format(fs)))
  .rows(x, function(v) {
    order <- floor(sqrt(length(v)) + 0.5)
    if (order > 106) stop(sprintf("n=%d gives model order %d, above 106", length(v), order))
    setNames(.C_z("memse", v, length(v), as.double(fs), out = double(5))$out,
             c("delta", "theta", "alpha", "beta", "gamma"))
  }, min_len = 2)
}

.read_trial_text <- function(path) {
  if (!file.exists(path)) stop(sprintf("trial file %s does not exist", path))
  con <- gzfile(path, "rb")  # reads plain and gzip files alike
  lines <- tryCatch(readLines(con, warn = FALSE), finally = close(con))
  if (length(lines) == 0 || all(!nzchar(trimws(lines)))) stop(sprintf("trial file %s is empty", path))
  if (length(lines) < 5 || !all(startsWith(lines[1:4], "#")))
    stop(sprintf("trial file %s is truncated or not a trial file (header lines missing)", path))
  body <- lines[-(1:4)]
  heads <- which(startsWith(body, "#"))
  counts <- diff(c(heads, length(body) + 1)) - 1
  if (length(heads) != 64 || any(counts != 256))
    stop(sprintf("trial file %s is truncated: %d of 64 channel blocks", path, length(heads)))
  lines
}

#' Load one trial file (plain or gzip) through LoadAlcoholFile.
#' @return list: data (64 x 256 matrix, microvolts, channel names as row names),
#'   channels, group ("a" alcoholic, "c" control), condition (1 S1 obj, 2 S2 match,
#'   3 S2 nomatch, 4 other), error (TRUE when line 4 carries "err"), path
load_trial <- function(path) {
  lines <- .read_trial_text(path)
  plain <- path
  if (identical(readBin(path, "raw", 2), as.raw(c(0x1f, 0x8b)))) {
    plain <- tempfile(fileext = ".rd")
    writeLines(lines, plain)
    on.exit(unlink(plain))
  }
  data <- matrix(0, 64, 256)
  first <- .C_z("LoadAlcoholFile", plain, 1L, 1L, 0L, "o", 0L, out = double(258))$out
  if (first[1] == -1) stop(sprintf("trial file %s was rejected by the loader", path))
  data[1, ] <- first[3:258]
  for (ch in 2:64)
    data[ch, ] <- .C_z("LoadAlcoholFile", "", 0L, as.integer(ch), 0L, "o", 0L, out = double(258))$out[3:258]
  heads <- lines[-(1:4)][startsWith(lines[-(1:4)], "#")]
  channels <- vapply(strsplit(trimws(sub("^#", "", heads)), " "), `[`, "", 1)
  rownames(data) <- channels
  list(data = data, channels = channels, group = intToUtf8(first[1]), condition = first[2],
       error = grepl("err", strsplit(lines[4], ",")[[1]][1]), path = path)
}
