# Features of one real EEG trial: visibility graph, entropies, band powers.
here <- dirname(normalizePath(sub("^--file=", "", grep("^--file=", commandArgs(FALSE), value = TRUE)[1])))
source(file.path(here, "..", "zemba.R"))
trial <- load_trial(file.path(here, "..", "..", "data", "eeg", "co2a0000364.rd.000"))
cat(sprintf("group=%s condition=%d channels=%d\n", trial$group, trial$condition, length(trial$channels)))
hv <- hva(trial$data)                       # one row per channel
pe <- permutation_entropy(trial$data, m = 4)
bands <- band_powers(trial$data, fs = 256)
for (c in 1:3)
  cat(sprintf("%4s degree=%.3f PE=%.3f alpha=%.2f\n", trial$channels[c], hv[c, "mean_degree"], pe[c], bands[c, "alpha"]))
