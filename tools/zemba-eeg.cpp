// zemba-eeg: loads one to four alcoholism EEG trial files and prints, per trial,
// the group and condition, a per-channel table of the seven visibility
// divergence features, and the channel-pair summaries of visibility matching
// and mutual information. The library's own diagnostic lines are kept out of
// the table (silenced, or sent to stderr with --verbose).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "zemba.h"

namespace {

constexpr int kFeatures = 7;
const char* const kFeatureNames[kFeatures] = {"kld", "entropy", "mean_degree", "mean_backward_weight",
                                              "degree_asymmetry", "mean_M", "mean_G"};

void usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: zemba-eeg [--verbose] [--csv FILE] TRIAL [TRIAL...]\n"
                 "\n"
                 "Loads one to four single-trial EEG files (64 channels x 256 samples) and prints\n"
                 "for each: group, condition, a per-channel table of the visibility divergence\n"
                 "features (KLD, degree entropy, mean degree, mean backward weight, degree\n"
                 "asymmetry, mean M, mean G) with each channel's pair summaries (HVGS r: scaled\n"
                 "sum of visibility matching; MI r: scaled sum of mutual information), and the\n"
                 "pair means of both.\n"
                 "\n"
                 "  --verbose   show the library's diagnostic lines (on stderr)\n"
                 "  --csv FILE  also write the per-channel table as CSV\n"
                 "  --help      show this text\n");
}

// Points standard output at another descriptor while alive.
class StdoutTo {
public:
    explicit StdoutTo(int fd) {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        if (saved_ >= 0) dup2(fd, STDOUT_FILENO);
    }
    ~StdoutTo() {
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2(saved_, STDOUT_FILENO);
            close(saved_);
        }
    }
    StdoutTo(const StdoutTo&) = delete;
    StdoutTo& operator=(const StdoutTo&) = delete;

private:
    int saved_ = -1;
};

// Where the library's lines go: /dev/null, or stderr with --verbose.
int g_libraryFd = -1;

const char* groupName(char g) {
    if (g == 'a') return "alcoholic";
    if (g == 'c') return "control";
    return "unknown";
}

const char* conditionName(int code) {
    switch (code) {
        case 1: return "S1 obj";
        case 2: return "S2 match";
        case 3: return "S2 nomatch";
        case 4: return "other";
        default: return "unknown";
    }
}

// Channel name without the line end that a bare header line leaves in it.
std::string channelName(int c) {
    std::string s(myData.names[c]);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

struct Trial {
    std::string path;
    char group = 0;
    int condition = 0;
    int channels = 0;
    std::vector<std::string> names;
    std::vector<double> features;  // channels x 7
    std::vector<double> hvgs, mi;  // out[0], out[1 + c]
};

// Loads one file alone into the table; on failure returns the reason.
bool loadTrial(const std::string& path, Trial& t, std::string& error) {
    std::FILE* probe = std::fopen(path.c_str(), "r");
    if (!probe) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    std::fclose(probe);

    std::FILE* capture = std::tmpfile();
    if (!capture) {
        error = "cannot create a temporary file";
        return false;
    }
    std::memset(&myData, 0, sizeof myData);
    std::string p = path;
    char* paths[1] = {&p[0]};
    char optionText[] = "x";
    char* option = optionText;
    int nFiles = 1, select = 1;
    double out[3] = {0, 0, 0};
    {
        StdoutTo redirect(fileno(capture));
        LoadAlcoholFile(paths, &nFiles, &select, nullptr, &option, nullptr, out);
    }
    std::string said;
    std::rewind(capture);
    char buf[512];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, capture)) > 0) said.append(buf, got);
    std::fclose(capture);
    if (g_libraryFd == STDERR_FILENO) std::fputs(said.c_str(), stderr);

    if (out[0] == -1.0) {
        error = said.substr(0, said.find('\n'));
        if (error.empty()) error = "not a trial file";
        return false;
    }
    if (said.find("no channel block") != std::string::npos) {
        error = "no channel data (line 5 is not a channel header)";
        return false;
    }
    t.path = path;
    t.group = myData.group[0];
    t.condition = myData.condition[0];
    for (int c = 0; c < ZEMBA_DEGREE_ROWS && myData.names[c][0] != '\0'; ++c) t.channels = c + 1;
    if (t.channels == 0) {
        error = "no channel data";
        return false;
    }
    return true;
}

void analyse(Trial& t) {
    StdoutTo redirect(g_libraryFd);
    const int nch = t.channels;
    t.features.assign(static_cast<size_t>(nch) * kFeatures, 0.0);
    for (int c = 0; c < nch; ++c) {
        t.names.push_back(channelName(c));
        int n = ZEMBA_TRIAL_SAMPLES;
        Z_ZEMBA_KLD(myData.samples[c], &n, &t.features[static_cast<size_t>(c) * kFeatures]);
    }
    t.hvgs.assign(nch + 1, 0.0);
    t.mi.assign(nch + 1, 0.0);
    RunHVGS(nch, ZEMBA_TRIAL_SAMPLES, t.hvgs.data());
    RunMI(nch, ZEMBA_TRIAL_SAMPLES, t.mi.data());
}

void printTrial(const Trial& t, int k) {
    std::printf("trial %d: %s\n", k + 1, t.path.c_str());
    std::printf("  group:     %c (%s)\n", t.group, groupName(t.group));
    std::printf("  condition: %d (%s)\n", t.condition, conditionName(t.condition));
    std::printf("  channels:  %d\n\n", t.channels);
    std::printf("   ch name        KLD  entropy   degree  bweight  asymmetry    mean M    mean G    HVGS r      MI r\n");
    for (int c = 0; c < t.channels; ++c) {
        const double* f = &t.features[static_cast<size_t>(c) * kFeatures];
        std::printf("  %3d %-6s %8.5f %8.5f %8.5f %8.3f %10.5f %9.5f %9.5f %9.5f %9.5f\n", c + 1,
                    t.names[c].c_str(), f[0], f[1], f[2], f[3], f[4], f[5], f[6], t.hvgs[1 + c], t.mi[1 + c]);
    }
    std::printf("\n  HVGS pair mean: %.6f\n", t.hvgs[0]);
    std::printf("  MI pair mean:   %.6f\n\n", t.mi[0]);
}

std::string csvField(const std::string& s) {
    std::string q = "\"";
    for (char ch : s) q += (ch == '"') ? std::string("\"\"") : std::string(1, ch);
    return q + "\"";
}

bool writeCsv(const std::string& file, const std::vector<Trial>& trials) {
    std::FILE* f = std::fopen(file.c_str(), "w");
    if (!f) return false;
    std::fprintf(f, "file,group,condition,channel,name");
    for (const char* n : kFeatureNames) std::fprintf(f, ",%s", n);
    std::fprintf(f, ",hvgs_r,mi_r\n");
    for (const Trial& t : trials) {
        for (int c = 0; c < t.channels; ++c) {
            std::fprintf(f, "%s,%c,%d,%d,%s", csvField(t.path).c_str(), t.group, t.condition, c + 1,
                         csvField(t.names[c]).c_str());
            for (int i = 0; i < kFeatures; ++i) std::fprintf(f, ",%.17g", t.features[static_cast<size_t>(c) * kFeatures + i]);
            std::fprintf(f, ",%.17g,%.17g\n", t.hvgs[1 + c], t.mi[1 + c]);
        }
    }
    return std::fclose(f) == 0;
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
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "zemba-eeg: unknown option %s\n", a.c_str());
            usage(stderr);
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty() || files.size() > ZEMBA_MAX_FILES) {
        std::fprintf(stderr, "zemba-eeg: give one to four trial files (got %zu)\n", files.size());
        usage(stderr);
        return 2;
    }
    if (verbose) {
        g_libraryFd = STDERR_FILENO;
    } else {
        g_libraryFd = open("/dev/null", O_WRONLY);
        if (g_libraryFd < 0) g_libraryFd = STDERR_FILENO;
    }

    std::vector<Trial> trials(files.size());
    for (size_t k = 0; k < files.size(); ++k) {
        std::string error;
        if (!loadTrial(files[k], trials[k], error)) {
            std::fprintf(stderr, "zemba-eeg: %s: %s\n", files[k].c_str(), error.c_str());
            return 1;
        }
        analyse(trials[k]);
        printTrial(trials[k], static_cast<int>(k));
    }
    for (size_t k = 1; k < trials.size(); ++k)
        if (trials[k].group != trials[0].group)
            std::printf("note: trial %zu is %s, trial 1 is %s\n", k + 1, groupName(trials[k].group),
                        groupName(trials[0].group));
    if (!csv.empty()) {
        if (!writeCsv(csv, trials)) {
            std::fprintf(stderr, "zemba-eeg: cannot write %s: %s\n", csv.c_str(), std::strerror(errno));
            return 1;
        }
        std::printf("per-channel table written to %s\n", csv.c_str());
    }
    return 0;
}
