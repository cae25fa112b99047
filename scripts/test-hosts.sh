#!/usr/bin/env bash
# Runs the Python and R host tests against build/libzemba.so (build it first
# with scripts/build.sh). Installs the host packages when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh python3-numpy python3-pytest python3-pandas python3-dask python3-distributed \
  python3-tqdm python3-matplotlib python3-scipy python3-mne python3-venv python3-build \
  python3-setuptools python3-sklearn python3-statsmodels python3-networkx r-base-core r-cran-testthat
if [ ! -f "${ZEMBA_LIBRARY:-build/libzemba.so}" ]; then
  echo "test-hosts: ${ZEMBA_LIBRARY:-build/libzemba.so} not found; run scripts/build.sh first" >&2
  exit 1
fi
status=0
# test_install.py (fresh venv, pip install, wheel) runs here; ZEMBA_SKIP_INSTALL_TEST=1 skips it in quick runs.
unset ZEMBA_SKIP_INSTALL_TEST
/usr/bin/python3 -m pytest -q -p no:cacheprovider python/tests || status=1
Rscript -e 'testthat::test_dir("r/tests/testthat", stop_on_failure=TRUE)' || status=1
exit $status
