// zemba-eeg, by input class: real trials (plain, gzip, many at once), the
// shared damaged folder, things that are not regular files, and usage.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/damaged.h"

using zemba_test::readBytes;

namespace {

std::string program() {
    std::string lib = ZEMBA_LIBRARY_PATH;
    return lib.substr(0, lib.rfind('/')) + "/zemba-eeg";
}

std::string tempDir() {
    static const std::string dir = [] {
        std::string tmpl = testing::TempDir() + "zemba_cli_XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        const char* made = mkdtemp(buf.data());
        return made ? std::string(made) : std::string("/tmp");
    }();
    return dir;
}

struct Outcome {
    int status;
    std::string out, err;
};

// Runs the program with arguments (given to the shell), within 60 s.
Outcome run(const std::string& args) {
    const std::string errFile = tempDir() + "/stderr";
    std::string cmd = "timeout 60 '" + program() + "' " + args + " 2>'" + errFile + "'";
    Outcome r{-1, "", ""};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = readBytes(errFile);
    return r;
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }
std::string data(const char* f) { return std::string(ZEMBA_DATA_DIR) + "/" + f; }

int countLines(const std::string& s, const std::string& needle) {
    int n = 0;
    std::istringstream in(s);
    std::string line;
    while (std::getline(in, line))
        if (line.find(needle) != std::string::npos) ++n;
    return n;
}

std::vector<std::string> lines(const std::string& s) {
    std::vector<std::string> v;
    std::istringstream in(s);
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
}

// The batch table's divergence columns: "div_" + the fields of the Python
// package's Divergence record, read from its source.
std::vector<std::string> batchDivergenceColumns() {
    const std::string src = readBytes(std::string(ZEMBA_SOURCE_DIR) + "/python/zemba/legacy/features.py");
    size_t at = src.find("namedtuple(\"Divergence\",");
    const size_t end = src.find(')', at);
    std::string fields;
    at = src.find('"', src.find(',', at));
    while (at < end) {
        const size_t close = src.find('"', at + 1);
        fields += src.substr(at + 1, close - at - 1);
        at = src.find('"', close + 1);
    }
    std::vector<std::string> cols;
    std::istringstream in(fields);
    for (std::string f; in >> f;) cols.push_back("div_" + f);
    return cols;
}

}  // namespace

// ---- real trials -------------------------------------------------------------------

TEST(CliRealTrials, HeaderFactsTableAndSummariesInTheBatchVocabulary) {
    Outcome r = run(quoted(data("co2a0000364.rd.007")) + " " + quoted(data("co2c0000337.rd.017")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  subject:   co2a0000364\n  group:     alcoholic\n  condition: S2 nomatch\n  trial:     7\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("  group:     control\n  condition: S2 match\n  trial:     17\n"), std::string::npos);
    EXPECT_EQ(countLines(r.out, " div_kl div_degree_entropy div_mean_degree div_mean_backward_weight "
                                "div_degree_asymmetry div_mean_m div_mean_g     hvgs_r       mi_r"),
              2);
    EXPECT_EQ(countLines(r.out, "hvgs pair mean: "), 2);
    EXPECT_EQ(countLines(r.out, "mi pair mean: "), 2);
    EXPECT_EQ(countLines(r.out, " FP1 "), 2);
    EXPECT_EQ(countLines(r.out, " nd "), 2);
    EXPECT_EQ(r.out.find("nan"), std::string::npos);
    EXPECT_EQ(r.err, "");
    // The library's own lines stay out.
    EXPECT_EQ(r.out.find("Entropy="), std::string::npos);
    EXPECT_EQ(r.out.find("sum="), std::string::npos);
    EXPECT_EQ(r.out.find("maxS="), std::string::npos);
}

TEST(CliRealTrials, VerboseSendsLibraryLinesToStderr) {
    Outcome r = run("--verbose " + quoted(data("co2c0000342.rd.004")));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("sum="), std::string::npos);
    EXPECT_NE(r.out.find("hvgs pair mean: "), std::string::npos);
    EXPECT_NE(r.err.find("Entropy="), std::string::npos);
    EXPECT_NE(r.err.find("sum="), std::string::npos);
}

// The README's example: any number of files, each computed on its own (its
// rows are the rows it has when given alone), in the batch table's columns.
TEST(CliRealTrials, ManyFilesCsvHoldsEachTrialAsItsOwnRun) {
    const std::string csv = tempDir() + "/features.csv";
    Outcome r = run("--csv " + quoted(csv) + " " + quoted(ZEMBA_DATA_DIR) + "/*.rd.0*");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("per-channel table of 10 trials written to " + csv), std::string::npos);
    const auto rows = lines(readBytes(csv));
    ASSERT_EQ(rows.size(), 1u + 10 * 64);
    std::string want = "subject,group,condition,trial,file,channel";
    for (const auto& c : batchDivergenceColumns()) want += "," + c;
    EXPECT_EQ(rows[0], want + ",hvgs_r,mi_r");
    EXPECT_EQ(rows[0].rfind("subject,group,condition,trial,file,channel,div_kl,div_degree_entropy,", 0), 0u);

    const std::string one = tempDir() + "/one.csv";
    ASSERT_EQ(run("--csv " + quoted(one) + " " + quoted(data("co2a0000368.rd.091"))).status, 0);
    const auto alone = lines(readBytes(one));
    ASSERT_EQ(alone.size(), 65u);
    EXPECT_EQ(alone[1].rfind("co2a0000368,alcoholic,S2 match,91,co2a0000368.rd.091,FP1,", 0), 0u);
    size_t first = 0;
    while (first < rows.size() && rows[first].find(",co2a0000368.rd.091,") == std::string::npos) ++first;
    ASSERT_LT(first + 64, rows.size() + 1);
    for (int c = 0; c < 64; ++c) EXPECT_EQ(rows[first + c], alone[1 + c]) << c;
}

TEST(CliRealTrials, GzipGivesTheSameTableAsPlain) {
    const std::string text = readBytes(data("co2c0000341.rd.026"));
    const std::string gz = tempDir() + "/co2c0000341.rd.026.gz";
    gzFile f = gzopen(gz.c_str(), "wb9");
    gzwrite(f, text.data(), static_cast<unsigned>(text.size()));
    gzclose(f);
    Outcome plain = run(quoted(data("co2c0000341.rd.026")));
    Outcome zipped = run(quoted(gz));
    ASSERT_EQ(zipped.status, 0) << zipped.err;
    ASSERT_EQ(plain.status, 0);
    EXPECT_EQ(zipped.out.substr(zipped.out.find('\n')), plain.out.substr(plain.out.find('\n')));
}

// ---- the shared damaged folder ---------------------------------------------------------

// All files in one run: each bad one is named with its reason, the good ones
// are computed, and the exit status says something failed.
TEST(CliDamagedFolder, EachBadFileIsNamedWithItsReasonAndTheRestAreComputed) {
    const auto files = zemba_test::damagedFiles();
    std::string args;
    for (const auto& d : files) args += " " + quoted(d.path());
    Outcome r = run(args);
    EXPECT_EQ(r.status, 1);
    int bad = 0, good = 0;
    for (const auto& d : files) {
        const std::string named = "zemba-eeg: " + d.path() + ": ";
        if (d.loads) {
            ++good;
            EXPECT_EQ(r.err.find(named), std::string::npos) << d.file;
            EXPECT_NE(r.out.find(": " + d.path() + "\n"), std::string::npos) << d.file;
        } else {
            ++bad;
            std::string want = named + d.reason + ":";
            if (d.reason == "unparsable-line") want += " line " + std::to_string(d.line) + " ";
            EXPECT_EQ(countLines(r.err, want), 1) << d.file << "\n" << r.err;
            EXPECT_EQ(r.out.find(d.path()), std::string::npos) << d.file;
        }
    }
    EXPECT_NE(r.err.find(std::to_string(bad) + " of " + std::to_string(bad + good) + " files could not be read"),
              std::string::npos);
    EXPECT_EQ(countLines(r.out, "hvgs pair mean: "), good);
    EXPECT_EQ(r.out.find("nan"), std::string::npos);
}

// ---- not regular files, missing files, usage ----------------------------------------------

TEST(CliNotRegular, DirectoryFifoAndDeviceAreRejectedAtOnce) {
    const std::string dir = tempDir() + "/dir.rd.000";
    const std::string fifo = tempDir() + "/fifo.rd.000";
    mkdir(dir.c_str(), 0700);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Outcome r = run(quoted(dir) + " " + quoted(fifo) + " /dev/null " + quoted(data("co2a0000364.rd.000")));
    EXPECT_EQ(r.status, 1);  // not 124: the FIFO did not block
    for (const std::string& p : {dir, fifo, std::string("/dev/null")})
        EXPECT_NE(r.err.find("zemba-eeg: " + p + ": not-regular: "), std::string::npos) << p;
    EXPECT_NE(r.out.find("trial 1: " + data("co2a0000364.rd.000")), std::string::npos);
}

TEST(CliUsage, MissingFilesUsageAndUnwritableCsv) {
    Outcome missing = run("/no/such/trial");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("zemba-eeg: /no/such/trial: open: "), std::string::npos);
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run("--bogus x").status, 2);
    Outcome unwritable = run("--csv /no/such/folder/f.csv " + quoted(data("co2a0000364.rd.000")));
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_EQ(unwritable.out, "");  // checked before any trial is computed
    Outcome help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: zemba-eeg", 0), 0u);
}
