# Trial files of the alcoholism EEG data set (plain or gzip), read by the
# core's reader.

.conditions <- c("S1 obj", "S2 match", "S2 nomatch", "S2 other")

read_trial <- function(path) {
  if (!is.character(path) || length(path) != 1L || is.na(path))
    stop("'path' must be one file name", call. = FALSE)
  t <- .Call(zr_read_trial, path.expand(path))
  samples <- t[[1L]]
  dimnames(samples) <- list(channel = t[[2L]], sample = as.character(seq_len(ncol(samples)) - 1L))
  list(data = samples,
       time = (seq_len(ncol(samples)) - 1L) / 256,
       subject = t[[3L]],
       group = t[[4L]],
       condition = if (t[[5L]] >= 1L) .conditions[t[[5L]]] else NA_character_,
       trial = if (t[[6L]] >= 0L) t[[6L]] else NA_integer_,
       err = t[[7L]])
}

read_trials <- function(folder, pattern = "\\.rd\\.[0-9]+(\\.gz)?$", recursive = TRUE, skip_errors = FALSE) {
  if (!is.character(folder) || length(folder) != 1L || !dir.exists(folder))
    stop(sprintf("'folder' must name a folder, got %s", paste(format(folder), collapse = " ")), call. = FALSE)
  files <- sort(list.files(folder, pattern = pattern, recursive = recursive, full.names = TRUE))
  if (!length(files)) stop(sprintf("no trial files in %s", folder), call. = FALSE)
  parts <- lapply(files, function(f) {
    t <- read_trial(f)
    if (isTRUE(skip_errors) && t$err) return(NULL)
    d <- t$data
    data.frame(subject = t$subject, group = t$group, condition = t$condition, trial = t$trial,
               channel = rep(rownames(d), times = ncol(d)),
               time = rep(t$time, each = nrow(d)),
               voltage = as.vector(d), stringsAsFactors = FALSE)
  })
  out <- do.call(rbind, parts)
  rownames(out) <- NULL
  out
}
