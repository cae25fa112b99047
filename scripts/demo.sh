#!/usr/bin/env bash
# Builds zemba and runs zemba-eeg on two bundled real trials of the same
# condition (S1 obj): one alcoholic subject and one control subject.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
echo
echo "== zemba-eeg: alcoholic vs control, condition S1 obj =="
build/zemba-eeg --csv build/demo-features.csv data/eeg/co2a0000364.rd.000 data/eeg/co2c0000337.rd.000
