# Features on the core kernels. Inputs: a vector (one series), a matrix (one
# series per row) or an array (series along the last dimension).


perm_entropy <- function(x, order = 3, delay = 1, normalize = FALSE) {
  order <- .count(order, "order", 2L)
  delay <- .count(delay, "delay", 1L)
  s <- .series(x, min_len = (order - 1L) * delay + 1L)
  flags <- if (.flag(normalize, "normalize")) 1L else 0L
  .shape1(.Call(zr_perm_entropy, s$cols, order, delay, flags), s$shape)
}

# pracma's tau: the series is downsampled to every tau-th sample first.
.regularity <- function(ts, edim, r, kind, name) {
  edim <- .count(edim, "edim", 0L)
  s <- .series(ts, "ts", min_len = edim + 1L)
  if (!is.numeric(r) || !(length(r) == 1L || length(r) == ncol(s$cols)) || any(!is.finite(r)) || any(r < 0))
    stop(sprintf("'r' must be one finite tolerance >= 0 (or one per series), got %s",
                 paste(format(r), collapse = " ")), call. = FALSE)
  r <- rep_len(as.double(r), ncol(s$cols))
  .shape1(.Call(zr_regularity, s$cols, edim, r, kind), s$shape)
}

.default_r <- function(ts) {
  # 0.2 x the sample standard deviation of each series, as pracma's default.
  if (is.null(dim(ts))) return(0.2 * stats::sd(ts))
  s <- .series(ts, "ts")
  0.2 * apply(s$cols, 2L, stats::sd)
}

.downsample <- function(ts, tau) {
  if (tau == 1L) return(ts)
  keep <- seq(1L, if (is.null(dim(ts))) length(ts) else dim(ts)[length(dim(ts))], by = tau)
  if (is.null(dim(ts))) return(ts[keep])
  d <- dim(ts)
  idx <- rep(list(TRUE), length(d))
  idx[[length(d)]] <- keep
  do.call(`[`, c(list(ts), idx, list(drop = FALSE)))
}

sample_entropy <- function(ts, edim = 2, r = 0.2 * sd(ts), tau = 1) {
  tau <- .count(tau, "tau", 1L)
  ts <- .downsample(ts, tau)
  if (missing(r)) r <- .default_r(ts)  # after downsampling, as pracma evaluates it
  .regularity(ts, edim, r, 0L, "sample_entropy")
}

approx_entropy <- function(ts, edim = 2, r = 0.2 * sd(ts), elag = 1) {
  if (!identical(as.numeric(elag), 1))
    stop("'elag' other than 1 is not supported (templates are always consecutive samples)", call. = FALSE)
  if (missing(r)) r <- .default_r(ts)
  .regularity(ts, edim, r, 1L, "approx_entropy")
}

.kind <- function(kind) match(match.arg(kind, c("horizontal", "natural")), c("horizontal", "natural")) - 1L

.degrees <- function(x, kind) {
  s <- .series(x)
  v <- .Call(zr_vg_degrees, s$cols, kind, 0L)
  shape <- s$shape
  switch(shape$kind,
    vector = v,
    matrix = {
      m <- matrix(v, nrow = ncol(s$cols), byrow = TRUE)
      dimnames(m) <- list(shape$names, NULL)
      m
    },
    array = array(t(matrix(v, ncol = ncol(s$cols))), dim = c(shape$lead, shape$n),
                  dimnames = if (is.null(dimnames(x))) NULL else dimnames(x)))
}

hvg_degrees <- function(x) .degrees(x, 0L)

nvg_degrees <- function(x) .degrees(x, 1L)

vg_edges <- function(x, kind = c("horizontal", "natural"), direction = c("undirected", "left_to_right", "top_to_bottom")) {
  if (!is.null(dim(x)) && length(dim(x)) > 1L && sum(dim(x) > 1L) > 1L)
    stop("'x' must be one series (a vector); call vg_edges on each row", call. = FALSE)
  s <- .series(as.vector(x))
  dir <- match(match.arg(direction), c("undirected", "left_to_right", "top_to_bottom")) - 1L
  e <- .Call(zr_vg_edges, s$cols[, 1L], .kind(kind), dir, 0L, c(-Inf, Inf))
  data.frame(from = as.integer(e[[1L]]), to = as.integer(e[[2L]]))
}

.irreversibility_names <- c("divergence", "degree_entropy", "mean_degree", "mean_backward_weight",
                            "degree_asymmetry", "mean_m", "mean_g")

hvg_irreversibility <- function(x, kind = c("horizontal", "natural")) {
  s <- .series(x, min_len = 1L)
  .shapek(.Call(zr_irreversibility, s$cols, .kind(kind), 0L), .irreversibility_names, s$shape)
}

mutual_information <- function(x, y, bins = 16) {
  bins <- .count(bins, "bins", 1L)
  sx <- .series(x, "x")
  sy <- .series(y, "y")
  if (!identical(dim(sx$cols), dim(sy$cols)))
    stop(sprintf("'x' and 'y' must have the same shape (%s series of %d samples vs %s of %d)",
                 ncol(sx$cols), nrow(sx$cols), ncol(sy$cols), nrow(sy$cols)), call. = FALSE)
  .shape1(.Call(zr_mutual_information, sx$cols, sy$cols, bins), sx$shape)
}

burg <- function(x, order, demean = TRUE) {
  if (!is.null(dim(x)) && sum(dim(x) > 1L) > 1L)
    stop("'x' must be one series (a vector)", call. = FALSE)
  s <- .series(as.vector(x), min_len = 1L)
  order <- .count(order, "order", 0L)
  if (order >= s$shape$n)
    stop(sprintf("'order' (%d) must be below the series length (%d)", order, s$shape$n), call. = FALSE)
  fit <- .Call(zr_burg, s$cols[, 1L], order, .flag(demean, "demean"))
  list(coefficients = fit[[1L]], variance = fit[[2L]], reflection = fit[[3L]])
}

default_bands <- function() {
  b <- .Call(zr_default_bands)
  cbind(low = stats::setNames(b[[2L]], b[[1L]]), high = b[[3L]])
}

band_powers <- function(x, sfreq, bands = NULL, order = NULL, relative = FALSE) {
  sfreq <- .positive(sfreq, "sfreq")
  s <- .series(x, min_len = 2L)
  if (is.null(bands)) {
    names <- rownames(default_bands())
    b <- NULL
  } else {
    if (!is.numeric(bands) || !is.matrix(bands) || ncol(bands) != 2L || nrow(bands) < 1L || any(!is.finite(bands)))
      stop("'bands' must be a numeric matrix with columns low and high (Hz), one row per band", call. = FALSE)
    names <- rownames(bands)
    if (is.null(names)) names <- sprintf("band%d", seq_len(nrow(bands)))
    b <- t(bands)
    storage.mode(b) <- "double"
  }
  ord <- if (is.null(order)) -1L else {
    o <- .count(order, "order", 0L)
    if (o >= s$shape$n)
      stop(sprintf("'order' (%d) must be below the series length (%d)", o, s$shape$n), call. = FALSE)
    o
  }
  .shapek(.Call(zr_band_powers, s$cols, sfreq, b, ord, .flag(relative, "relative")), names, s$shape)
}

zemba_core_version <- function() .Call(zr_version)
