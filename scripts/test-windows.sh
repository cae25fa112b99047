#!/usr/bin/env bash
# Tests the Windows library: its export table against the one list of names,
# its file size (the zeroed buffers must not be stored in the file), and every
# export called by a Windows host program under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++-mingw-w64-x86-64 wine wine64
scripts/build-windows.sh >/dev/null
dll=build-win/ZEMBA.dll
status=0

want=$(awk '$1 == "code" || $1 == "data" { print $2 }' src/frame/exports.txt | sort)
have=$(x86_64-w64-mingw32-objdump -p "$dll" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort)
if [ "$want" = "$have" ]; then
  echo "export table: $(echo "$have" | wc -l) names, as listed"
else
  echo "export table differs from src/frame/exports.txt:"
  diff <(echo "$want") <(echo "$have") || true
  status=1
fi

size=$(stat -c %s "$dll")
if [ "$size" -lt $((16 * 1024 * 1024)) ]; then
  echo "file size: $size bytes"
else
  echo "file size: $size bytes, the zeroed buffers were stored in the file"
  status=1
fi

export WINEPREFIX="$PWD/build-win/wineprefix" WINEDEBUG=-all
[ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1 || true
if ! wine build-win/host_check.exe "$dll" data/eeg/co2a0000364.rd.000; then
  status=1
fi
exit $status
