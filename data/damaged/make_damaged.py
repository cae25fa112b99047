#!/usr/bin/env python3
"""Writes the damaged trial files of this folder and MANIFEST.tsv.

Every file is cut from the real trial ../eeg/co2a0000364.rd.000: its four
header lines and its first two channel blocks (FP1 and FP2, 256 samples each),
then damaged in one way. The output is deterministic (gzip members carry no
name and time 0), so running this again rewrites the same bytes.

    python3 data/damaged/make_damaged.py
"""
import gzip
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE = HERE.parent / "eeg" / "co2a0000364.rd.000"

lines = SOURCE.read_bytes().split(b"\n")
HEADER = lines[:4]
FP1 = lines[4:4 + 257]                       # block header on line 5, sample s on line 6 + s
FP2 = lines[4 + 257:4 + 2 * 257]             # block header on line 262, sample s on line 263 + s
assert FP1[0] == b"# FP1 chan 0" and FP2[0] == b"# FP2 chan 1"
CUT = HEADER + FP1 + FP2


def text(ls, end=b"\n"):
    return end.join(ls) + end


def line_of(block, s):
    """1-based line number of sample s of block 0 (FP1) or 1 (FP2)."""
    return 6 + s if block == 0 else 263 + s


def gz(data):
    return gzip.compress(data, compresslevel=9, mtime=0)


def replace(ls, index, new):
    out = list(ls)
    out[index] = new
    return out


good = text(CUT)
rows = []   # (file, bytes, loads, reason, line, description)


def add(name, data, loads, reason, line, description):
    rows.append((name, data, loads, reason, "" if line is None else str(line), description))


# ---- files that load ----------------------------------------------------------
add("two-channels.rd.000", good, "yes", "", None,
    "a real trial cut to its header and first two channel blocks (FP1, FP2); condition 1 (S1 obj)")
add("good.rd.000.gz", gz(good), "yes", "", None,
    "two-channels.rd.000 as one gzip member: the same trial")
add("no-condition.rd.000", text(replace(CUT, 3, b"# , trial 0")), "yes", "", None,
    "line 4 names no condition: loads with condition code 0")
add("long-condition-line.rd.000",
    text(replace(CUT, 3, b"# S2 nomatch, trial 0" + b" (repeated run" + b"," * 160 + b")")), "yes", "", None,
    "line 4 is 196 characters long; read whole: condition code 3 (S2 nomatch)")
add("error-trial.rd.000", text(replace(CUT, 3, b"# S2 match err, trial 0")), "yes", "", None,
    "line 4 marks an error trial (\"S2 match err\"): loads with condition code 2 and the err flag set")
add("crlf-line-ends.rd.000", text(CUT, b"\r\n"), "yes", "", None,
    "every line ends in CR LF: loads with the same values and names as two-channels.rd.000")

# ---- files that fail ------------------------------------------------------------
add("empty.rd.000", b"", "no", "incomplete", None, "no bytes at all")
add("header-only.rd.000", text(HEADER), "no", "incomplete", None,
    "the four header lines and nothing else: no channel block")
add("truncated-mid-block.rd.000", text(CUT[:line_of(1, 100) - 1]), "no", "incomplete", None,
    "ends after sample 99 of the second channel block (FP2), at a line end")
add("short-block.rd.000", text(CUT[:line_of(0, 200) - 1] + CUT[line_of(0, 200):]), "no", "incomplete", None,
    "sample 200 of the first block (FP1) is missing; the second block is complete")
s = line_of(0, 17)
add("unparsable-value.rd.000", text(replace(CUT, s - 1, b"0 FP1 17 -1.5x7")), "no", "unparsable-line", s,
    "sample 17 of FP1 has the value \"-1.5x7\"")
add("sample-index-out-of-range.rd.000", text(replace(CUT, s - 1, b"0 FP1 256 -1.597")), "no",
    "unparsable-line", s, "the line of sample 17 of FP1 gives sample index 256 (outside 0..255)")
add("duplicate-sample-index.rd.000", text(replace(CUT, s - 1, b"0 FP1 16 -1.597")), "no",
    "unparsable-line", s, "the line of sample 17 of FP1 gives index 16 again (sample 16 twice, 17 never)")
nul = CUT[s - 1].replace(b".", b".\x00", 1)
add("nul-byte.rd.000", text(replace(CUT, s - 1, nul)), "no", "unparsable-line", s,
    "a NUL byte inside the value of sample 17 of FP1")
add("non-finite-value.rd.000", text(replace(CUT, s - 1, b"0 FP1 17 nan")), "no", "unparsable-line", s,
    "sample 17 of FP1 has the value \"nan\"")
m = line_of(1, 3)
big = CUT[m - 1] + b" " * (1 << 20) + b"0 FP2 4 999.0"
add("megabyte-line.rd.000.gz", gz(text(replace(CUT, m - 1, big))), "no", "unparsable-line", m,
    "gzip; the line of sample 3 of FP2 goes on for 1 MB of spaces and then another sample")
add("not-a-trial.rd.000", b"time,FP1,FP2\n0,-8.921,0.834\n0.0039,-8.433,3.276\n", "no", "format", None,
    "a CSV table, not a trial file (line 1 does not start with #)")
add("wrong-group.rd.000", text(replace(CUT, 0, b"# co2x0000364.rd")), "no", "format", None,
    "line 1 names subject co2x...: the group letter is neither a nor c")
add("missing-header-line.rd.000", text(CUT[:1] + CUT[2:]), "no", "format", None,
    "line 2 of the header is missing, so line 5 is a sample line, not a channel block header")
add("no-channel-block.rd.000", text(CUT[:4] + CUT[5:261]), "no", "format", None,
    "the block header line of FP1 is missing: samples follow the condition line directly")
gzd = bytearray(gz(good))
for i in range(len(gzd) // 2, len(gzd) // 2 + 16):
    gzd[i] ^= 0x5A
add("damaged-gzip.rd.000.gz", bytes(gzd), "no", "format", None,
    "good.rd.000.gz with 16 bytes in the middle of the compressed stream altered")
add("truncated-gzip.rd.000.gz", gz(good)[:len(gz(good)) // 2], "no", "incomplete", None,
    "the first half of good.rd.000.gz: the compressed stream ends early")

# sanity: the gzip damage is detected
for name, data, *_ in rows:
    if name in ("damaged-gzip.rd.000.gz", "truncated-gzip.rd.000.gz"):
        try:
            gzip.decompress(data)
        except (OSError, EOFError, Exception):
            continue
        raise SystemExit(f"{name}: damage not detected by gzip")

for old in HERE.glob("*.rd.*"):
    old.unlink()
with open(HERE / "MANIFEST.tsv", "w") as m:
    m.write("file\tloads\treason\tline\tdescription\n")
    for name, data, loads, reason, line, description in rows:
        (HERE / name).write_bytes(data)
        m.write(f"{name}\t{loads}\t{reason}\t{line}\t{description}\n")
