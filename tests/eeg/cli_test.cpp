#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string program() {
    std::string lib = ZEMBA_LIBRARY_PATH;
    return lib.substr(0, lib.rfind('/')) + "/zemba-eeg";
}

struct Outcome {
    int status;
    std::string out;
};

// Runs the program with arguments; stdout only (stderr dropped unless merged).
Outcome run(const std::string& args, bool mergeStderr = false) {
    std::string cmd = "'" + program() + "' " + args + (mergeStderr ? " 2>&1" : " 2>/dev/null");
    Outcome r{-1, ""};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string data(const char* f) { return std::string(ZEMBA_DATA_DIR) + "/" + f; }

int countLines(const std::string& s, const std::string& needle) {
    int n = 0;
    std::istringstream in(s);
    std::string line;
    while (std::getline(in, line))
        if (line.find(needle) != std::string::npos) ++n;
    return n;
}

}  // namespace

TEST(Cli, RealTrialsGiveGroupConditionTableAndBothSummaries) {
    Outcome r = run("'" + data("co2a0000364.rd.007") + "' '" + data("co2c0000337.rd.017") + "'");
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("group:     a (alcoholic)"), std::string::npos);
    EXPECT_NE(r.out.find("condition: 3 (S2 nomatch)"), std::string::npos);
    EXPECT_NE(r.out.find("group:     c (control)"), std::string::npos);
    EXPECT_NE(r.out.find("condition: 2 (S2 match)"), std::string::npos);
    EXPECT_EQ(countLines(r.out, "HVGS pair mean: "), 2);
    EXPECT_EQ(countLines(r.out, "MI pair mean: "), 2);
    EXPECT_EQ(countLines(r.out, " FP1 "), 2);
    EXPECT_EQ(countLines(r.out, " nd "), 2);
    EXPECT_EQ(r.out.find("nan"), std::string::npos);
    // The library's own lines stay out of the table.
    EXPECT_EQ(r.out.find("d(0)="), std::string::npos);
    EXPECT_EQ(r.out.find("sum="), std::string::npos);
    EXPECT_EQ(r.out.find("maxS="), std::string::npos);
}

TEST(Cli, VerboseSendsLibraryLinesToStderr) {
    Outcome quiet = run("--verbose '" + data("co2c0000342.rd.004") + "'");
    ASSERT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out.find("sum="), std::string::npos);
    Outcome merged = run("--verbose '" + data("co2c0000342.rd.004") + "'", true);
    EXPECT_NE(merged.out.find("Entropy="), std::string::npos);
    EXPECT_NE(merged.out.find("sum="), std::string::npos);
    EXPECT_NE(merged.out.find("FP1\tFP2\t"), std::string::npos);
}

TEST(Cli, CsvHoldsOneRowPerChannel) {
    std::string csv = testing::TempDir() + "zemba_cli.csv";
    Outcome r = run("--csv '" + csv + "' '" + data("co2a0000368.rd.000") + "'");
    ASSERT_EQ(r.status, 0);
    std::ifstream in(csv);
    std::string header, line;
    std::getline(in, header);
    EXPECT_EQ(header.rfind("file,group,condition,channel,name,kld,", 0), 0u);
    int rows = 0;
    while (std::getline(in, line)) {
        ++rows;
        EXPECT_NE(line.find(",a,1,"), std::string::npos);
    }
    EXPECT_EQ(rows, 64);
}

TEST(Cli, MissingOrInvalidFilesFailWithAMessage) {
    Outcome missing = run("/no/such/trial", true);
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.out.find("/no/such/trial: cannot open"), std::string::npos);
    std::string bad = testing::TempDir() + "zemba_cli_bad";
    std::ofstream(bad) << "# co2x.rd\n";
    Outcome invalid = run("'" + bad + "'", true);
    EXPECT_NE(invalid.status, 0);
    EXPECT_NE(invalid.out.find("not a correct alcohol EEG file"), std::string::npos);
    EXPECT_NE(run("", true).status, 0);
    Outcome help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: zemba-eeg", 0), 0u);
}
