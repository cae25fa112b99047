#!/usr/bin/env bash
# Installs, from Debian's packages, what building and testing need and the
# machine lacks. Pass extra package names to install those too.
set -euo pipefail
want=(cmake g++ make binutils libgtest-dev libgmp-dev zlib1g-dev pkg-config python3-dev python3-numpy pybind11-dev python3-pybind11 "$@")  # libgmp-dev: exact rationals of the graph references
missing=()
for pkg in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
fi
