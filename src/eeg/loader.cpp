// Alcoholism EEG trial loader: reads up to four single-trial text files into
// the resident table myData (one row per channel, 256 columns per file) and
// returns the header figures, one channel, or one divergence feature per
// channel. Nothing in a file can make it write outside myData or its buffers.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "frame/diag.h"
#include "zemba.h"

namespace {

constexpr int kLineCap = 80;        // fgets buffer: 79 characters per read
constexpr int kNameCap = 6;         // characters kept of a channel name
constexpr int kFeatures = 7;        // features written by Z_ZEMBA_KLD

// Reads one header line; at end of input the line reads as empty.
void readHeaderLine(char* line, std::FILE* f) {
    std::memset(line, 0, kLineCap + 2);
    if (!std::fgets(line, kLineCap, f)) line[0] = '\0';
}

// Condition code of line 4, or 0 when the line names no "S" condition.
int conditionCode(const char* line) {
    const char* p = line + 1;
    while (*p == ' ') ++p;
    if (*p != 'S') return 0;
    if (p[1] == '1') return 1;
    p += 2;  // the buffer is zeroed past the text, so this stays inside it
    while (*p == ' ') ++p;
    if (*p == 'm' || *p == 'M') return 2;
    if (*p == 'n' || *p == 'N') return 3;
    return 4;
}

// First token after the "#": ends at a space or the end of the text read.
void storeName(int c, const char* line) {
    const char* p = line + 1;
    while (*p == ' ') ++p;
    int len = 0;
    while (p[len] != '\0' && p[len] != ' ' && len < kNameCap) ++len;
    std::memcpy(myData.names[c], p, static_cast<size_t>(len));
    myData.names[c][len] = '\0';
}

// Reads the channel blocks of file k from its fifth line on.
void readBlocks(std::FILE* f, char* line, int k) {
    int c = 0;
    storeName(c, line);
    while (std::fgets(line, kLineCap, f)) {
        if (line[0] == '#') {
            if (++c == ZEMBA_CHANNELS) return;
            storeName(c, line);
            continue;
        }
        int trial = 0, s = 0;
        double value = 0.0;
        if (std::sscanf(line, "%d %*s %d %lf", &trial, &s, &value) != 3) continue;
        if (s < 0 || s >= ZEMBA_TRIAL_SAMPLES) continue;
        myData.samples[c][k * ZEMBA_TRIAL_SAMPLES + s] = value;
    }
}

// Loads file k; false when a check fails (its message already printed).
bool loadFile(const char* path, int k, char* line) {
    std::FILE* f = path ? std::fopen(path, "r") : nullptr;
    if (!f) {
        zemba::diag::puts("can not open file");
        return false;
    }
    readHeaderLine(line, f);
    if (line[0] != '#') {
        zemba::diag::printf("not a correct file: %s\n", path);
        std::fclose(f);
        return false;
    }
    myData.group[k] = line[5];
    if (line[5] != 'c' && line[5] != 'a') {
        zemba::diag::puts("not a correct alcohol EEG file");
        std::fclose(f);
        return false;
    }
    readHeaderLine(line, f);
    if (line[0] != '#') {
        zemba::diag::puts("error on file format on 2 Lines :# 120 trials, 64 chans, 416 samples 368 post_stim samples");
        std::fclose(f);
        return false;
    }
    readHeaderLine(line, f);
    if (line[0] != '#') {
        zemba::diag::puts("error on file format on 3 Lines 3.906000 msecs uV");
        std::fclose(f);
        return false;
    }
    readHeaderLine(line, f);
    if (line[0] != '#') zemba::diag::puts("error on file format on S1 obj , trial 2");
    int code = conditionCode(line);
    if (code != 0) myData.condition[k] = static_cast<int8_t>(code);
    readHeaderLine(line, f);
    if (line[0] != '#') {
        zemba::diag::printf("no channel block on line 5, no samples read: %s\n", path);
        std::fclose(f);
        return true;
    }
    readBlocks(f, line, k);
    std::fclose(f);
    return true;
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
    char line[kLineCap + 2];
    for (int k = 0; k < files; ++k)
        if (!loadFile(paths[k], k, line)) return;

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
