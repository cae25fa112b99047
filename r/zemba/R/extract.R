# Feature table: one row per epoch, columns {channel}_{feature}[_{output}],
# ordered by feature (as selected), channel, output.

.feature_functions <- c("perm_entropy", "sample_entropy", "approx_entropy", "hvg_irreversibility", "band_powers")

extract_features <- function(x, sfreq, features = c("perm_entropy", "sample_entropy"), params = list()) {
  if (is.list(x) && !is.null(x$data) && is.matrix(x$data)) x <- x$data
  d <- dim(x)
  if (is.null(d)) x <- matrix(x, nrow = 1L)
  d <- dim(x)
  if (length(d) == 2L) x <- array(x, dim = c(1L, d), dimnames = c(list(NULL), if (is.null(dimnames(x))) list(NULL, NULL) else dimnames(x)))
  if (length(dim(x)) != 3L)
    stop(sprintf("'x' must be a series, a channel x sample matrix or an epoch x channel x sample array, got %d dimensions",
                 length(dim(x))), call. = FALSE)
  d <- dim(x)
  channels <- dimnames(x)[[2L]]
  if (is.null(channels)) channels <- sprintf("ch%d", seq_len(d[2L]) - 1L)
  if (!is.character(features) || !length(features))
    stop("'features' must name at least one feature", call. = FALSE)
  unknown <- setdiff(features, .feature_functions)
  if (length(unknown))
    stop(sprintf("unknown feature(s) %s; known: %s", paste(unknown, collapse = ", "),
                 paste(.feature_functions, collapse = ", ")), call. = FALSE)
  if (!is.list(params) || (length(params) && (is.null(names(params)) || any(!names(params) %in% features))))
    stop("'params' must be a list named by selected features, e.g. list(perm_entropy = list(order = 4))",
         call. = FALSE)
  epochs <- dimnames(x)[[1L]]
  dimnames(x) <- NULL
  columns <- list()
  for (f in features) {
    args <- c(list(x), params[[f]])
    if (f == "band_powers") args$sfreq <- sfreq
    v <- do.call(f, args)  # epochs x channels (x outputs)
    if (length(dim(v)) == 2L) {
      for (c in seq_len(d[2L])) columns[[paste0(channels[c], "_", f)]] <- unname(v[, c])
    } else {
      outs <- dimnames(v)[[3L]]
      for (c in seq_len(d[2L])) for (o in seq_along(outs))
        columns[[paste0(channels[c], "_", f, "_", outs[o])]] <- unname(v[, c, o])
    }
  }
  out <- as.data.frame(columns, optional = TRUE)
  if (!is.null(epochs)) rownames(out) <- epochs
  out
}
