"""Features of one real EEG trial: visibility graph, entropies, band powers."""
import sys, pathlib
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))
import zemba
root = pathlib.Path(__file__).resolve().parents[2]
trial = zemba.read_trial(root / "data/eeg/co2a0000364.rd.000")
print(f"group={trial.group} condition={zemba.CONDITIONS[trial.condition]} channels={len(trial.channels)}")
hv = zemba.hvg_irreversibility(trial.data)      # one result per channel
pe = zemba.perm_entropy(trial.data, order=4, normalize=True)
bands = zemba.band_powers(trial.data, sfreq=256.0)
for c in range(3):
    print(f"{trial.channels[c]:>4} degree={hv['mean_degree'][c]:.3f} PE={pe[c]:.3f} alpha={bands['alpha'][c]:.2f}")
