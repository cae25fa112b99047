// Alcoholism EEG trial loader: reads up to four single-trial files (plain or
// gzip, by the core trial reader's rules) into the resident table myData (one
// row per channel, 256 columns per file) and returns the header figures, one
// channel, or one divergence feature per channel. The columns of every file
// asked for are NaN before any is read; a file that fails ends the load with
// out[0] = -1 and one line. Nothing in a file can make it write outside myData
// or its buffers.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "core/eeg/reader.h"
#include "frame/diag.h"
#include "zemba.h"

namespace {

namespace reader = zemba::core::eeg;

constexpr int kNameCap = 6;         // characters kept of a channel name
constexpr int kFeatures = 7;        // features written by Z_ZEMBA_KLD

// Writes file k's header figures, names and samples into myData.
class TableSink final : public reader::Sink {
public:
    explicit TableSink(int k) : k_(k) {}

    void line1(const char* p, size_t n) override { myData.group[k_] = n > 5 ? p[5] : '\0'; }

    void line4(const char* p, size_t n) override {
        myData.condition[k_] = static_cast<int8_t>(reader::conditionCode(p, n));
    }

    // First token after the "#": ends at a space, a NUL or the line's end (so
    // a line end right after the name stays part of it).
    void name(int c, const char* p, size_t n) override {
        size_t i = 1;
        while (i < n && p[i] == ' ') ++i;
        int len = 0;
        while (i + len < n && p[i + len] != '\0' && p[i + len] != ' ' && len < kNameCap) ++len;
        std::memcpy(myData.names[c], p + i, static_cast<size_t>(len));
        myData.names[c][len] = '\0';
    }

    double* row(int c) override { return &myData.samples[c][k_ * ZEMBA_TRIAL_SAMPLES]; }

private:
    int k_;
};

// Loads file k; false when it fails (its line already printed).
bool loadFile(const char* path, int k) {
    TableSink sink(k);
    const reader::Outcome o = reader::readFile(path, sink, {ZEMBA_CHANNELS, true});
    if (o.line4Read && !o.line4Hash) zemba::diag::puts("error on file format on S1 obj , trial 2");
    const std::string line = std::to_string(o.line);
    switch (o.fault) {
        case reader::Fault::None: return true;
        case reader::Fault::Open: zemba::diag::puts("can not open file"); break;
        case reader::Fault::NotRegular: zemba::diag::printf("not a regular file: %s\n", path); break;
        case reader::Fault::NoMemory: zemba::diag::printf("out of memory reading %s\n", path); break;
        case reader::Fault::Unsupported: zemba::diag::printf("gzip not supported by this build: %s\n", path); break;
        case reader::Fault::GzipDamaged: zemba::diag::printf("damaged gzip stream: %s\n", path); break;
        case reader::Fault::GzipTruncated: zemba::diag::printf("gzip stream ends early: %s\n", path); break;
        case reader::Fault::Line1: zemba::diag::printf("not a correct file: %s\n", path); break;
        case reader::Fault::Group: zemba::diag::puts("not a correct alcohol EEG file"); break;
        case reader::Fault::Line2:
            zemba::diag::puts("error on file format on 2 Lines :# 120 trials, 64 chans, 416 samples 368 post_stim samples");
            break;
        case reader::Fault::Line3: zemba::diag::puts("error on file format on 3 Lines 3.906000 msecs uV"); break;
        case reader::Fault::NoBlock:
            zemba::diag::printf("no channel block on line 5, no samples read: %s\n", path);
            break;
        case reader::Fault::BadSample:
            zemba::diag::printf("unparsable sample line %s: %s\n", line.c_str(), path);
            break;
        case reader::Fault::ShortBlock:
        case reader::Fault::TooManyBlocks:
            zemba::diag::printf("incomplete channel block on line %s: %s\n", line.c_str(), path);
            break;
    }
    return false;
}

}  // namespace

extern "C" void LoadAlcoholFile(char** paths, int* nFiles, int* select, void* /*spareA*/, char** option,
                                void* /*spareB*/, double* out) {
    const int files = *nFiles;
    if (files < 0) return;
    out[0] = -1.0;
    if (files > ZEMBA_MAX_FILES) {
        zemba::diag::printf("too many files: %d (at most %d)\n", files, ZEMBA_MAX_FILES);
        return;
    }
    for (int c = 0; c < ZEMBA_CHANNELS; ++c)
        for (int i = 0; i < files * ZEMBA_TRIAL_SAMPLES; ++i)
            myData.samples[c][i] = std::numeric_limits<double>::quiet_NaN();
    for (int k = 0; k < files; ++k)
        if (!loadFile(paths[k], k)) return;

    for (int k = 1; k < files; ++k)
        if (myData.group[k] != myData.group[0]) zemba::diag::printf("different group=%c\n", myData.group[k]);
    for (int c = 0; c < ZEMBA_DEGREE_ROWS; ++c) zemba::diag::printf("%s\t", myData.names[c]);
    zemba::diag::putchar('\n');

    out[0] = static_cast<double>(myData.group[0]);
    out[1] = static_cast<double>(myData.condition[0]);
    const char opt = (option && option[0]) ? option[0][0] : '\0';
    if (opt == 'o' || opt == 'O') {
        const long long asked = static_cast<long long>(*select) - 1;  // INT_MIN must not wrap
        const int row = (asked < 0 || asked >= ZEMBA_CHANNELS) ? 0 : static_cast<int>(asked);
        std::memcpy(out + 2, myData.samples[row], ZEMBA_TRIAL_SAMPLES * sizeof(double));
        return;
    }
    out[2] = static_cast<double>(myData.condition[0]);
    if (opt != 'D' && opt != 'd') return;
    const int pick = *select;
    const bool valid = pick >= 0 && pick < kFeatures;
    double features[ZEMBA_TRIAL_SAMPLES] = {};
    for (int c = 0; c < ZEMBA_DEGREE_ROWS; ++c) {
        int n = ZEMBA_TRIAL_SAMPLES;
        Z_ZEMBA_KLD(myData.samples[c], &n, features);
        out[3 + c] = valid ? features[pick] : std::numeric_limits<double>::quiet_NaN();
    }
}
