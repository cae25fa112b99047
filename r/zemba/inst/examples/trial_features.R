# Features of one EEG trial with the zemba R package.
library(zemba)
trial <- read_trial(system.file("extdata", "co2a0000364.rd.000.gz", package = "zemba"))
x <- trial$data[c("FP1", "CZ", "O1"), ]            # channel x sample, microvolts
print(perm_entropy(x, order = 4, normalize = TRUE))
print(sample_entropy(x))                           # pracma's arguments and defaults
print(band_powers(x, sfreq = 256, relative = TRUE))
features <- extract_features(trial, sfreq = 256, features = c("perm_entropy", "hvg_irreversibility"))
print(dim(features))
