# zemba: nonlinear and information-theoretic features of time series, from R.
# Loads libzemba with dyn.load and calls its by-address routines with .C().
# This is the original library's own calling convention (.C on the seed's
# exported routines), kept as it is; the R package in r/zemba calls the
# reentrant core through .Call instead and is what new R code should use.
# Logarithms are natural (nats); moments are population moments. .C copies
# every argument, so the caller's vectors are never modified. Every feature
# takes a numeric vector or a matrix (rows = channels or epochs) and returns
# one result per row; NA, NaN and infinite samples are refused, naming the
# first one. The library's diagnostic lines are off (ZEMBA_QUIET, set here
# before the library is loaded); zemba_diagnostics(TRUE) turns them on.

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

#' Whether the library prints its diagnostic lines to standard output (read at
#' each line, so it may be switched between calls). Off by default.
zemba_diagnostics <- function(show = FALSE) {
  Sys.setenv(ZEMBA_QUIET = if (isTRUE(show)) "0" else "1")
  invisible(isTRUE(show))
}
if (!nzchar(Sys.getenv("ZEMBA_QUIET"))) zemba_diagnostics(FALSE)

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

# Stops naming the first NA, NaN or infinite value of x (vector: x[i];
# matrix: x[row, column]; 1-based) under the argument's name.
.finite <- function(x, name = "x") {
  bad <- which(!is.finite(x))
  if (length(bad) == 0) return(invisible(x))
  where <- if (is.matrix(x)) {
    rc <- arrayInd(bad[1], dim(x)); sprintf("%s[%d, %d]", name, rc[1], rc[2])
  } else sprintf("%s[%d]", name, bad[1])
  stop(sprintf("%s is %s: non-finite input is refused", where, format(x[bad[1]])), call. = FALSE)
}

.rows <- function(x, f, min_len = 1L, max_len = 12193L, name = "x") {
  m <- if (is.matrix(x)) x else matrix(as.numeric(x), nrow = 1)
  storage.mode(m) <- "double"
  .finite(if (is.matrix(x)) m else m[1, ], name)
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
  .finite(x, "x"); .finite(y, "y")
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
  .finite(r, "r")
  .rows(x, function(v) {
    if (m >= length(v)) stop(sprintf("m=%d must be below n=%d", m, length(v)))
    .C_z("AppEn1", v, length(v), m, as.double(r), out = double(1))$out
  })
}

#' Delta, theta, alpha, beta, gamma band powers of a Burg model of order round(sqrt(n)).
#' @param fs sampling rate in hertz
band_powers <- function(x, fs = 256) {
  if (!is.finite(fs) || fs <= 0) stop(sprintf("fs=%s must be a positive sampling rate", format(fs)))
  if (fs < 120) stop(sprintf("fs=%s Hz puts the gamma band (30-60 Hz)%s above the Nyquist frequency %s Hz; fs must be at least 120 Hz",
                             format(fs), if (fs < 60) " and lower bands" else "", format(fs / 2)))
  .rows(x, function(v) {
    order <- floor(sqrt(length(v)) + 0.5)
    if (order > 106) stop(sprintf("n=%d gives model order %d, above 106", length(v), order))
    setNames(.C_z("memse", v, length(v), as.double(fs), out = double(5))$out,
             c("delta", "theta", "alpha", "beta", "gamma"))
  }, min_len = 2)
}

# A trial file that cannot be read or is not a complete trial: an error of
# class zemba_trial_error with the path, the reason keyword of
# data/damaged/README.md ("open", "not-regular", "format", "unparsable-line",
# "incomplete") and, for "unparsable-line", the line number.
.trial_error <- function(path, reason, detail, line = NA_integer_) {
  msg <- sprintf("trial file %s %s [%s]", path, detail, reason)
  stop(structure(class = c("zemba_trial_error", "error", "condition"),
                 list(message = msg, call = NULL, path = path, reason = reason, line = line)))
}

# The bytes of a regular file, decompressed when gzip. Anything but a regular
# file is refused before it is opened, so a FIFO cannot block the read.
.trial_bytes <- function(path) {
  info <- suppressWarnings(file.info(path, extra_cols = FALSE))
  if (is.na(info$isdir)) {
    if (nchar(path, type = "bytes") > 4095) .trial_error(path, "open", "cannot be opened: path too long")
    .trial_error(path, "open", "does not exist")
  }
  if (info$isdir) .trial_error(path, "not-regular", "is a directory, not a regular file")
  if (system2("test", c("-f", shQuote(path))) != 0)
    .trial_error(path, "not-regular", "is a FIFO, socket or device, not a regular file")
  if (file.access(path, 4) != 0) .trial_error(path, "open", "cannot be opened: permission denied")
  con <- file(path, "rb")
  magic <- tryCatch(readBin(con, "raw", 2), finally = close(con))
  chunks <- list()
  con <- if (identical(magic, as.raw(c(0x1f, 0x8b)))) gzfile(path, "rb") else file(path, "rb")
  on.exit(close(con))
  tryCatch(repeat {
    chunk <- readBin(con, "raw", 1048576)
    if (!length(chunk)) break
    chunks[[length(chunks) + 1]] <- chunk
  }, error = function(e) .trial_error(path, "format", sprintf("is a damaged gzip stream: %s", conditionMessage(e))),
  warning = function(w) .trial_error(path, "format", sprintf("is a damaged gzip stream: %s", conditionMessage(w))))
  unlist(chunks)
}

# Lines of a trial file checked by the loader's rules: header lines 1-3 and
# the first block header on line 5 start with "#", the group letter is byte
# 5 of line 1; every channel block (at most 64) gives each sample 0..255
# exactly once with a finite decimal value; lines of white space only are
# ignored. Returns the lines.
.read_trial_text <- function(path) {
  bytes <- .trial_bytes(path)
  if (!length(bytes) || all(bytes %in% charToRaw(" \t\n\r\f\v"))) .trial_error(path, "incomplete", "is empty")
  nul <- which(bytes == as.raw(0))
  if (length(nul)) {
    line <- sum(bytes[seq_len(nul[1])] == as.raw(10)) + 1L
    .trial_error(path, "unparsable-line", sprintf("holds a NUL byte on line %d", line), line)
  }
  lines <- strsplit(rawToChar(bytes), "\n", fixed = TRUE, useBytes = TRUE)[[1]]
  head <- function(i) {
    if (i > length(lines)) .trial_error(path, "incomplete", if (i <= 4) "is truncated: it ends within the header"
                                       else "holds no channel block: it ends after the header")
    lines[i]
  }
  if (!startsWith(head(1), "#")) .trial_error(path, "format", "is not a trial file: line 1 does not start with '#'")
  if (!(substr(lines[1], 6, 6) %in% c("a", "c")))
    .trial_error(path, "format", "is not a trial file: line 1 names no group ('a' or 'c' at byte 5)")
  for (i in 2:3) if (!startsWith(head(i), "#"))
    .trial_error(path, "format", sprintf("is not a trial file: header line %d does not start with '#'", i))
  head(4)
  if (!startsWith(head(5), "#")) .trial_error(path, "format", "holds no channel block: line 5 is not a channel block header")

  body <- lines[-(1:4)]
  number <- seq_along(body) + 4L
  is_head <- startsWith(body, "#")
  if (sum(is_head) > 64)
    .trial_error(path, "format", sprintf("holds more than 64 channel blocks (line %d)", number[which(is_head)[65]]))
  block <- cumsum(is_head)
  rx <- "^[[:space:]]*[+-]?[0-9]+[[:space:]]+[^[:space:]]+[[:space:]]+([+-]?[0-9]+)[[:space:]]+([+-]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][+-]?[0-9]+)?)[[:space:]]*$"
  sample <- !is_head & !grepl("^[[:space:]]*$", body, useBytes = TRUE)
  ok <- grepl(rx, body, useBytes = TRUE) & sample
  idx <- rep(NA_real_, length(body)); val <- idx
  idx[ok] <- as.numeric(sub(rx, "\\1", body[ok], useBytes = TRUE))
  val[ok] <- as.numeric(sub(rx, "\\2", body[ok], useBytes = TRUE))
  bad <- sample & (!ok | idx < 0 | idx > 255 | !is.finite(val) |
                   duplicated(cbind(block, idx)) & ok)
  # The first fault in reading order: a bad sample line, or a block closed
  # (by the next block header or the end) short of 256 samples.
  counts <- tabulate(block[sample], nbins = max(block))
  heads <- which(is_head)
  closes <- c(heads[-1], length(body) + 1L)
  short <- which(counts != 256)
  first_bad <- if (any(bad)) which(bad)[1] else Inf
  first_short <- if (length(short)) closes[short[1]] else Inf
  if (first_bad < first_short) {
    i <- first_bad
    what <- if (!ok[i]) "is not a sample line" else if (idx[i] < 0 || idx[i] > 255)
      sprintf("gives sample index %s, outside 0..255", format(idx[i])) else if (!is.finite(val[i]))
      "holds a value that is not finite" else sprintf("gives sample %d a second time", idx[i])
    .trial_error(path, "unparsable-line", sprintf("line %d %s", number[i], what), number[i])
  }
  if (is.finite(first_short)) {
    b <- short[1]
    .trial_error(path, "incomplete", sprintf("is truncated: channel block on line %d gives %d of 256 samples",
                                             number[heads[b]], counts[b]))
  }
  lines
}

# Condition code of line 4: 1 "S1 ...", 2 "S2 match", 3 "S2 nomatch", 4 another
# "S" condition, 0 none (the first letter after "S<digit>" and spaces decides).
.condition_code <- function(line) {
  rest <- sub("^ *", "", substring(line, 2))
  if (!startsWith(rest, "S")) return(0)
  if (substr(rest, 2, 2) == "1") return(1)
  c <- substr(sub("^ *", "", substring(rest, 3)), 1, 1)
  if (c %in% c("m", "M")) 2 else if (c %in% c("n", "N")) 3 else 4
}

#' Load one trial file (plain or gzip) through LoadAlcoholFile, after checking it here.
#' @return list: data (channels x 256 matrix, microvolts, channel names as row
#'   names; 64 channels in every real trial), channels, group ("a" alcoholic,
#'   "c" control), condition (1 S1 obj, 2 S2 match, 3 S2 nomatch, 4 other, 0
#'   when line 4 names none), error (TRUE when line 4 carries "err"), path.
#'   A file that cannot be read or is not a complete trial stops with an
#'   error of class zemba_trial_error (fields path, reason, line).
load_trial <- function(path) {
  lines <- .read_trial_text(path)
  heads <- lines[-(1:4)][startsWith(lines[-(1:4)], "#")]
  channels <- vapply(strsplit(trimws(sub("^#", "", heads)), "[[:space:]]+"), function(w) substr(w[1], 1, 6), "")
  data <- matrix(0, length(channels), 256)
  first <- .C_z("LoadAlcoholFile", path, 1L, 1L, 0L, "o", 0L, out = double(258))$out
  if (first[1] == -1) .trial_error(path, "format", "was rejected by the library's loader")
  data[1, ] <- first[3:258]
  for (ch in seq_along(channels)[-1])
    data[ch, ] <- .C_z("LoadAlcoholFile", "", 0L, as.integer(ch), 0L, "o", 0L, out = double(258))$out[3:258]
  rownames(data) <- channels
  list(data = data, channels = channels, group = substr(lines[1], 6, 6), condition = .condition_code(lines[4]),
       error = grepl("err", tolower(strsplit(lines[4], ",")[[1]][1])), path = path)
}
