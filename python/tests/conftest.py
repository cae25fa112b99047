import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "python"))

DAMAGED = ROOT / "data" / "damaged"


def damaged_manifest():
    """Rows of data/damaged/MANIFEST.tsv as dicts (file, loads, reason, line, description)."""
    import csv
    with open(DAMAGED / "MANIFEST.tsv", newline="") as f:
        return list(csv.DictReader(f, delimiter="\t"))
