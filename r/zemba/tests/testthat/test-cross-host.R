# The same series through the Python package and this one: tests/shared/
# cross_host.csv of the repository (ZEMBA_REPO), written by
# python/tests/make_cross_host.py.

test_that("values agree with the Python package on the shared series", {
  repo <- Sys.getenv("ZEMBA_REPO")
  path <- file.path(repo, "tests", "shared", "cross_host.csv")
  skip_if(!nzchar(repo), "ZEMBA_REPO is not set (scripts/test-r.sh sets it to the repository)")
  skip_if(!file.exists(path), "tests/shared/cross_host.csv not generated yet: run python3 python/tests/make_cross_host.py")
  tab <- utils::read.csv(path, colClasses = "character")
  inputs <- tab[tab$kind == "input", ]
  expected <- tab[tab$kind == "expected", ]
  series <- lapply(split(inputs, inputs$series), function(d) as.numeric(d$value)[order(as.integer(d$index))])
  calls <- list(
    perm_entropy = function(x) perm_entropy(x, order = 4),
    sample_entropy = function(x) sample_entropy(x, edim = 2, r = 0.2),
    approx_entropy = function(x) approx_entropy(x, edim = 2, r = 0.2),
    hvg_irreversibility = function(x) hvg_irreversibility(x),
    band_powers = function(x) band_powers(x, sfreq = 128))
  for (k in seq_len(nrow(expected))) {
    e <- expected[k, ]
    got <- calls[[e$feature]](series[[e$series]])
    if (nzchar(e$output)) got <- got[[e$output]]
    expect_equal(got, as.numeric(e$value), tolerance = 1e-12,
                 label = sprintf("%s of series %s %s", e$feature, e$series, e$output))
  }
})
