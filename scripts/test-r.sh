#!/usr/bin/env bash
# Builds the R package r/zemba from this tree (its configure copies the core
# sources in), runs R CMD check --no-manual on the tarball in a temporary
# folder and prints the check's summary. Fails on any ERROR or WARNING.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/deps.sh r-base-dev r-cran-testthat r-cran-pracma
(cd r/zemba && ./configure && ./cleanup)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
R CMD build --no-build-vignettes "$root/r/zemba" >build.log 2>&1 || { cat build.log; exit 1; }
tarball=$(ls zemba_*.tar.gz)
status=0
_R_CHECK_FORCE_SUGGESTS_=false ZEMBA_REPO="$root" R CMD check --no-manual "$tarball" >check.log 2>&1 || status=1
grep -E "^\* checking .*\.\.\. (NOTE|WARNING|ERROR)|^Status:" check.log || true
grep -hE "^\[ FAIL|^• " zemba.Rcheck/tests/testthat.Rout* 2>/dev/null || true
if [ $status -ne 0 ] || grep -qE "^\* checking .*\.\.\. (WARNING|ERROR)|^Status: .*(WARNING|ERROR)" check.log; then
  cat check.log
  for f in zemba.Rcheck/00install.out zemba.Rcheck/tests/testthat.Rout.fail; do [ -f "$f" ] && tail -50 "$f"; done
  echo "R package check failed"
  exit 1
fi
echo "R package check passed ($tarball)"
