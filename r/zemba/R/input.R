# Shapes: a vector is one series; a matrix holds one series per row; an array
# holds series along its last dimension. .series() turns any of them into a
# matrix with one series per column (what the native routines read) and
# remembers how to shape one result per series back.

.series <- function(x, name = "x", min_len = 0L) {
  if (is.data.frame(x)) x <- as.matrix(x)
  if (!is.numeric(x) && !is.logical(x))
    stop(sprintf("'%s' must be a numeric vector, matrix or array, not %s", name, class(x)[1]), call. = FALSE)
  d <- dim(x)
  if (is.null(d) || length(d) == 1L) {
    shape <- list(kind = "vector", names = NULL, lead = NULL)
    cols <- matrix(as.double(x), ncol = 1L)
  } else {
    n <- d[length(d)]
    lead <- d[-length(d)]
    dn <- dimnames(x)
    lead_names <- if (is.null(dn)) NULL else dn[-length(d)]
    if (length(d) == 2L) {
      shape <- list(kind = "matrix", names = if (is.null(dn)) NULL else dn[[1L]], lead = lead)
    } else {
      shape <- list(kind = "array", names = lead_names, lead = lead)
    }
    cols <- t(matrix(as.double(x), nrow = prod(lead), ncol = n))
  }
  storage.mode(cols) <- "double"
  .check_finite(cols, name, shape)
  if (nrow(cols) < min_len)
    stop(sprintf("'%s' needs series of at least %d samples, got %d", name, min_len, nrow(cols)), call. = FALSE)
  shape$n <- nrow(cols)
  list(cols = cols, shape = shape)
}

# Stops naming the first NA, NaN or infinite sample (series and index).
.check_finite <- function(cols, name, shape) {
  bad <- which(!is.finite(cols))
  if (!length(bad)) return(invisible())
  b <- bad[1L]
  i <- (b - 1L) %% nrow(cols) + 1L
  j <- (b - 1L) %/% nrow(cols) + 1L
  v <- cols[b]
  what <- if (is.na(v) && !is.nan(v)) "NA" else if (is.nan(v)) "NaN" else if (v > 0) "Inf" else "-Inf"
  where <- if (shape$kind == "vector") sprintf("%s[%d]", name, i) else {
    label <- if (!is.null(shape$names) && shape$kind == "matrix") shape$names[j] else NULL
    if (is.null(label) || !nzchar(label)) sprintf("series %d of '%s', sample %d", j, name, i)
    else sprintf("series '%s' of '%s', sample %d", label, name, i)
  }
  stop(sprintf("%s is %s: samples must be finite", where, what), call. = FALSE)
}

# One value per series back into the input's shape: a number for a vector, a
# vector named by the row names for a matrix, an array with the leading
# dimnames for an array.
.shape1 <- function(values, shape) {
  switch(shape$kind,
    vector = values,
    matrix = stats::setNames(values, shape$names),
    array = array(values, dim = shape$lead, dimnames = shape$names))
}

# k named outputs per series (values: k x series): a named vector, a matrix
# (series x outputs) or an array (leading dims x outputs).
.shapek <- function(values, outputs, shape) {
  values <- matrix(values, nrow = length(outputs))
  switch(shape$kind,
    vector = stats::setNames(values[, 1L], outputs),
    matrix = {
      m <- t(values)
      dimnames(m) <- list(shape$names, outputs)
      m
    },
    array = {
      a <- array(t(values), dim = c(shape$lead, length(outputs)))
      dn <- shape$names
      dimnames(a) <- c(if (is.null(dn)) vector("list", length(shape$lead)) else dn, list(outputs))
      a
    })
}

.count <- function(value, name, min = 0L) {
  if (!is.numeric(value) || length(value) != 1L || !is.finite(value) || value != round(value) || value < min)
    stop(sprintf("'%s' must be a whole number >= %d, got %s", name, min,
                 paste(format(value), collapse = " ")), call. = FALSE)
  as.integer(value)
}

.positive <- function(value, name) {
  if (!is.numeric(value) || length(value) != 1L || !is.finite(value) || value <= 0)
    stop(sprintf("'%s' must be a finite number > 0, got %s", name, paste(format(value), collapse = " ")),
         call. = FALSE)
  as.double(value)
}

.flag <- function(value, name) {
  if (!is.logical(value) || length(value) != 1L || is.na(value))
    stop(sprintf("'%s' must be TRUE or FALSE", name), call. = FALSE)
  value
}
