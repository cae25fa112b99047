library(testthat)
library(zemba)
test_check("zemba")
