// zemba-eeg: reads any number of alcoholism EEG trial files (plain or gzip)
// with the core reader and prints, per trial, its header facts, a per-channel
// table of the seven visibility divergence features and the channel-pair
// summaries of visibility matching and mutual information. Names follow the
// batch table (div_kl ... div_mean_g, "alcoholic", "S1 obj"). The library's
// own lines are silenced through ZEMBA_QUIET, or kept on stderr with --verbose.
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "zemba.h"
#include "zemba/core.h"

namespace {

constexpr int kFeatures = 7;
const char* const kColumns[kFeatures + 2] = {"div_kl",          "div_degree_entropy", "div_mean_degree",
                                             "div_mean_backward_weight", "div_degree_asymmetry", "div_mean_m",
                                             "div_mean_g",      "hvgs_r",             "mi_r"};

void usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: zemba-eeg [--verbose] [--csv FILE] TRIAL [TRIAL...]\n"
                 "\n"
                 "Reads single-trial EEG files of the alcoholism data set (plain text or gzip;\n"
                 "64 channels x 256 samples, or fewer channels) and prints for each, computed on\n"
                 "its own: subject, group, condition, trial number, and a per-channel table of\n"
                 "the visibility divergence features (div_kl, div_degree_entropy,\n"
                 "div_mean_degree, div_mean_backward_weight, div_degree_asymmetry, div_mean_m,\n"
                 "div_mean_g; the names of the batch table) with each channel's pair summaries\n"
                 "(hvgs_r: scaled sum of visibility matching; mi_r: scaled sum of mutual\n"
                 "information), and the pair means of both.\n"
                 "\n"
                 "A file that cannot be read (missing, not a regular file, not a trial, a bad\n"
                 "line, incomplete, damaged gzip) is named on stderr with the reason; the other\n"
                 "files are still computed and the exit status is 1.\n"
                 "\n"
                 "  --verbose   show the library's diagnostic lines (on stderr)\n"
                 "  --csv FILE  also write the per-channel table as CSV (columns subject, group,\n"
                 "              condition, trial, file, channel, then the ones above), written\n"
                 "              beside FILE and renamed into place when complete\n"
                 "  --help      show this text\n");
}

const char* groupName(char g) {
    if (g == 'a') return "alcoholic";
    if (g == 'c') return "control";
    return "unknown";
}

std::string conditionName(int code) {
    switch (code) {
        case 1: return "S1 obj";
        case 2: return "S2 match";
        case 3: return "S2 nomatch";
        case 4: return "other";
        default: return std::to_string(code);
    }
}

// "reason: text" for a failed read; the reason is the damaged folder's keyword.
std::string failure(int status, size_t line) {
    const std::string at = std::to_string(line);
    switch (status) {
        case ZEMBA_E_OPEN: return "open: cannot open or read the file";
        case ZEMBA_E_NOT_REGULAR: return "not-regular: not a regular file (a directory, FIFO or device)";
        case ZEMBA_E_FORMAT:
            if (line > 0) return "unparsable-line: line " + at + " is not a valid sample line";
            return "format: not a trial file of the expected form (or a damaged gzip stream)";
        case ZEMBA_E_INCOMPLETE:
            if (line > 0) return "incomplete: the channel block on line " + at + " lacks samples";
            return "incomplete: the file ends before every sample of every channel is given";
        case ZEMBA_E_UNSUPPORTED: return "unsupported: gzip is not supported by this build";
        default: return std::string("error: ") + zemba_status_string(status);
    }
}

std::string number(double v) {
    if (std::isnan(v)) return "";  // as the batch table writes a missing value
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\n\r") == std::string::npos) return s;
    std::string q = "\"";
    for (char ch : s) q += (ch == '"') ? std::string("\"\"") : std::string(1, ch);
    return q + "\"";
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct Result {
    std::vector<double> features;  // channels x 7
    std::vector<double> hvgs, mi;  // out[0] = pair mean, out[1 + c]
};

// Features of one trial: its channels go into rows 0.. of the library's table.
Result analyse(const zemba_trial& t) {
    const int nch = t.channels;
    Result r;
    r.features.assign(static_cast<size_t>(nch) * kFeatures, 0.0);
    for (int c = 0; c < nch; ++c) {
        std::memcpy(myData.samples[c], t.samples[c], ZEMBA_TRIAL_SAMPLES * sizeof(double));
        int n = ZEMBA_TRIAL_SAMPLES;
        Z_ZEMBA_KLD(myData.samples[c], &n, &r.features[static_cast<size_t>(c) * kFeatures]);
    }
    r.hvgs.assign(static_cast<size_t>(nch) + 1, 0.0);
    r.mi.assign(static_cast<size_t>(nch) + 1, 0.0);
    RunHVGS(nch, ZEMBA_TRIAL_SAMPLES, r.hvgs.data());
    RunMI(nch, ZEMBA_TRIAL_SAMPLES, r.mi.data());
    return r;
}

void printTrial(std::FILE* to, const std::string& path, int k, const zemba_trial& t, const Result& r) {
    std::fprintf(to, "trial %d: %s\n", k, path.c_str());
    std::fprintf(to, "  subject:   %s\n", t.subject);
    std::fprintf(to, "  group:     %s\n", groupName(t.group));
    std::fprintf(to, "  condition: %s%s\n", conditionName(t.condition).c_str(), t.error ? " (error trial)" : "");
    if (t.trial >= 0) std::fprintf(to, "  trial:     %d\n", t.trial);
    std::fprintf(to, "  channels:  %d\n\n", t.channels);
    std::fprintf(to, "   ch channel ");
    for (const char* c : kColumns) std::fprintf(to, " %*s", static_cast<int>(std::strlen(c) < 10 ? 10 : std::strlen(c)), c);
    std::fprintf(to, "\n");
    for (int c = 0; c < t.channels; ++c) {
        std::fprintf(to, "  %3d %-7s", c + 1, t.names[c]);
        double v[kFeatures + 2];
        std::memcpy(v, &r.features[static_cast<size_t>(c) * kFeatures], sizeof(double) * kFeatures);
        v[kFeatures] = r.hvgs[1 + c];
        v[kFeatures + 1] = r.mi[1 + c];
        for (int i = 0; i < kFeatures + 2; ++i) {
            const int w = static_cast<int>(std::strlen(kColumns[i]) < 10 ? 10 : std::strlen(kColumns[i]));
            std::fprintf(to, " %*.5f", w, v[i]);
        }
        std::fprintf(to, "\n");
    }
    std::fprintf(to, "\n  hvgs pair mean: %.6f\n", r.hvgs[0]);
    std::fprintf(to, "  mi pair mean:   %.6f\n\n", r.mi[0]);
}

void writeRows(std::FILE* f, const std::string& path, const zemba_trial& t, const Result& r) {
    const std::string head = csvField(t.subject) + "," + groupName(t.group) + "," +
                             csvField(conditionName(t.condition)) + "," +
                             (t.trial >= 0 ? std::to_string(t.trial) : std::string()) + "," +
                             csvField(baseName(path)) + ",";
    for (int c = 0; c < t.channels; ++c) {
        std::string row = head + csvField(t.names[c]);
        for (int i = 0; i < kFeatures; ++i) row += "," + number(r.features[static_cast<size_t>(c) * kFeatures + i]);
        row += "," + number(r.hvgs[1 + c]) + "," + number(r.mi[1 + c]) + "\n";
        std::fputs(row.c_str(), f);
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool verbose = false;
    std::string csv;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "--verbose" || a == "-v") {
            verbose = true;
        } else if (a == "--csv") {
            if (++i == argc) {
                std::fprintf(stderr, "zemba-eeg: --csv needs a file name\n");
                return 2;
            }
            csv = argv[i];
        } else if (a == "--") {
            files.insert(files.end(), argv + i + 1, argv + argc);
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "zemba-eeg: unknown option %s\n", a.c_str());
            usage(stderr);
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "zemba-eeg: give at least one trial file\n");
        usage(stderr);
        return 2;
    }

    // The library prints through stdout; it is silenced by ZEMBA_QUIET, read at
    // each line. With --verbose its lines stay on, and the program's own
    // output goes to the original stdout while stdout carries them to stderr.
    std::FILE* out = stdout;
    setenv("ZEMBA_QUIET", verbose ? "0" : "1", 1);
    if (verbose) {
        const int keep = dup(STDOUT_FILENO);
        std::FILE* table = keep >= 0 ? fdopen(keep, "w") : nullptr;
        if (table && dup2(STDERR_FILENO, STDOUT_FILENO) >= 0) out = table;
    }

    std::string tmp;
    std::FILE* csvFile = nullptr;
    if (!csv.empty()) {
        tmp = csv + ".tmp" + std::to_string(getpid());
        csvFile = std::fopen(tmp.c_str(), "w");
        if (!csvFile) {
            std::fprintf(stderr, "zemba-eeg: cannot write %s: %s\n", csv.c_str(), std::strerror(errno));
            return 2;
        }
        std::fputs("subject,group,condition,trial,file,channel", csvFile);
        for (const char* c : kColumns) std::fprintf(csvFile, ",%s", c);
        std::fputs("\n", csvFile);
    }

    auto trial = std::make_unique<zemba_trial>();
    int failed = 0, done = 0;
    for (const std::string& path : files) {
        size_t line = 0;
        const int status = zemba_read_trial(path.c_str(), trial.get(), &line);
        if (status != ZEMBA_OK) {
            std::fflush(out);
            std::fprintf(stderr, "zemba-eeg: %s: %s\n", path.c_str(), failure(status, line).c_str());
            ++failed;
            continue;
        }
        const Result r = analyse(*trial);
        std::fflush(stdout);
        printTrial(out, path, ++done, *trial, r);
        if (csvFile) writeRows(csvFile, path, *trial, r);
    }
    std::fflush(out);

    if (csvFile) {
        const bool ok = std::fflush(csvFile) == 0 && !std::ferror(csvFile);
        if (std::fclose(csvFile) != 0 || !ok || std::rename(tmp.c_str(), csv.c_str()) != 0) {
            std::fprintf(stderr, "zemba-eeg: cannot write %s: %s\n", csv.c_str(), std::strerror(errno));
            std::remove(tmp.c_str());
            return 1;
        }
        std::fprintf(out, "per-channel table of %d trial%s written to %s\n", done, done == 1 ? "" : "s", csv.c_str());
    }
    if (failed) std::fprintf(stderr, "zemba-eeg: %d of %zu files could not be read\n", failed, files.size());
    std::fflush(out);
    return failed ? 1 : 0;
}
