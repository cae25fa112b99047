#include "zemba.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "reference/trial.h"
#include "support/capture.h"
#include "support/damaged.h"

using zemba_test::captureStdout;

namespace {

std::string tempDir() {
    static std::string dir = [] {
        std::string tmpl = testing::TempDir() + "zemba_loader_XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        const char* made = mkdtemp(buf.data());
        return made ? std::string(made) : std::string("/tmp");
    }();
    return dir;
}

std::string writeFile(const std::string& name, const std::string& text) {
    std::string path = tempDir() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

const char* const kHeader234 =
    "# 120 trials, 64 chans, 416 samples 368 post_stim samples\n"
    "# 3.906000 msecs uV\n";

// Value of sample s of channel c in trial t of the synthetic files.
double synth(int t, int c, int s) { return t * 1000.0 + c * 10.0 + s * 0.25 - 3.5; }

// A trial file with `channels` blocks of 256 samples.
std::string trialText(char group, const std::string& condition, int channels, int t) {
    std::ostringstream o;
    o << "# co2" << group << "0000364.rd\n" << kHeader234 << condition << "\n";
    for (int c = 0; c < channels; ++c) {
        o << "# C" << c << " chan " << c << "\n";
        for (int s = 0; s < 256; ++s) {
            char line[64];
            std::snprintf(line, sizeof line, "%d C%d %d %.3f\n", t, c, s, synth(t, c, s));
            o << line;
        }
    }
    return o.str();
}

struct Load {
    std::string printed;
    std::vector<double> out;
};

Load load(std::vector<std::string> paths, int nFiles, int select, const char* option) {
    std::vector<char*> ptrs;
    for (auto& p : paths) ptrs.push_back(&p[0]);
    ptrs.push_back(nullptr);
    std::string opt = option;
    char* optPtr = &opt[0];
    Load r;
    r.out.assign(300, 12345.0);
    r.printed = captureStdout([&] {
        LoadAlcoholFile(ptrs.data(), &nFiles, &select, nullptr, &optPtr, nullptr, r.out.data());
    });
    return r;
}

void fillTable(double v) {
    for (auto& row : myData.samples)
        for (double& x : row) x = v;
}

std::string namesLine() {
    std::string s;
    for (int c = 0; c < 64; ++c) s += std::string(myData.names[c]) + "\t";
    return s + "\n";
}

// Parses one real trial file independently: values[c][s] and the block names.
struct Parsed {
    std::vector<std::string> names;
    std::vector<std::vector<double>> values;
    std::string line1, line4;
};

Parsed parseReal(const std::string& path) {
    Parsed p;
    std::ifstream in(path);
    std::string line;
    for (int i = 0; i < 4 && std::getline(in, line); ++i) {
        if (i == 0) p.line1 = line;
        if (i == 3) p.line4 = line;
    }
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        if (line[0] == '#') {
            std::string hash, name;
            ls >> hash >> name;
            p.names.push_back(name);
            p.values.emplace_back(256, 0.0);
        } else {
            int trial, s;
            std::string sensor, value;
            ls >> trial >> sensor >> s >> value;
            p.values.back()[s] = std::strtod(value.c_str(), nullptr);
        }
    }
    return p;
}

std::string realPath(const char* name) { return std::string(ZEMBA_DATA_DIR) + "/" + name; }

}  // namespace

// ---- real trials -------------------------------------------------------------

TEST(LoaderRealTrials, GroupAndConditionOfEveryFile) {
    struct Case { const char* file; char group; int condition; };
    const Case cases[] = {
        {"co2a0000364.rd.000", 'a', 1}, {"co2a0000364.rd.009", 'a', 2}, {"co2a0000364.rd.007", 'a', 3},
        {"co2c0000337.rd.000", 'c', 1}, {"co2c0000337.rd.017", 'c', 2}, {"co2c0000337.rd.021", 'c', 3},
        {"co2a0000368.rd.000", 'a', 1}, {"co2a0000365.rd.103", 'a', 3}, {"co2c0000340.rd.108", 'c', 2},
        {"co2c0000342.rd.004", 'c', 1}, {"co2a0000368.rd.091", 'a', 2}, {"co2c0000341.rd.026", 'c', 1},
    };
    for (const Case& k : cases) {
        Load r = load({realPath(k.file)}, 1, 1, "x");
        EXPECT_EQ(r.out[0], static_cast<double>(k.group)) << k.file;
        EXPECT_EQ(r.out[1], k.condition) << k.file;
        EXPECT_EQ(r.out[2], k.condition) << k.file;
        EXPECT_EQ(r.out[3], 12345.0) << k.file;
        EXPECT_EQ(myData.group[0], k.group);
    }
}

TEST(LoaderRealTrials, NamesAndSamplesMatchTheFileText) {
    const char* files[] = {"co2a0000364.rd.000", "co2c0000342.rd.004", "co2a0000368.rd.091"};
    for (const char* f : files) {
        Parsed p = parseReal(realPath(f));
        ASSERT_EQ(p.names.size(), 64u);
        fillTable(-999.0);
        Load r = load({realPath(f)}, 1, 1, "x");
        for (int c = 0; c < 64; ++c) {
            EXPECT_STREQ(myData.names[c], p.names[c].c_str()) << f;
            for (int s : {0, 1, 100, 255}) EXPECT_EQ(myData.samples[c][s], p.values[c][s]) << f << " " << c;
        }
        EXPECT_EQ(r.printed, namesLine());
        EXPECT_TRUE(std::isnan(myData.samples[64][0]));  // no 65th block in a real file: NaN, not stale
    }
    EXPECT_STREQ(myData.names[0], "FP1");
    EXPECT_STREQ(myData.names[62], "nd");
    EXPECT_STREQ(myData.names[63], "Y");
}

TEST(LoaderRealTrials, FirstSamplesOfTheFormatExample) {
    Load r = load({realPath("co2a0000364.rd.000")}, 1, 1, "o");
    EXPECT_EQ(r.out[2], -8.921);
    EXPECT_EQ(r.out[3], -8.433);
    EXPECT_EQ(r.out[4], -2.574);
    EXPECT_EQ(r.out[8], 11.587);
}

TEST(LoaderRealTrials, DivergenceOptionGivesFiniteFeaturesForEveryChannel) {
    const std::string path = realPath("co2c0000341.rd.026");
    for (int select = 0; select < 7; ++select) {
        Load r = load({path}, 1, select, "D");
        EXPECT_EQ(r.out[2], 1.0);
        double direct[7];
        for (int c = 0; c < 64; ++c) {
            ASSERT_TRUE(std::isfinite(r.out[3 + c])) << select << " " << c;
            int n = 256;
            captureStdout([&] { Z_ZEMBA_KLD(myData.samples[c], &n, direct); });
            EXPECT_EQ(r.out[3 + c], direct[select]);
        }
        EXPECT_EQ(r.out[67], 12345.0);
    }
}

// ---- layout ----------------------------------------------------------------------

TEST(LoaderLayout, FourFilesLieSideBySide) {
    std::vector<std::string> paths;
    for (int t = 0; t < 4; ++t)
        paths.push_back(writeFile("four" + std::to_string(t), trialText('a', "# S1 obj , trial 0", 3, t)));
    fillTable(-1.5);
    Load r = load(paths, 4, 2, "o");
    EXPECT_EQ(r.printed.find("different"), std::string::npos);
    for (int t = 0; t < 4; ++t)
        for (int c = 0; c < 3; ++c)
            for (int s : {0, 10, 255}) EXPECT_EQ(myData.samples[c][t * 256 + s], synth(t, c, s));
    EXPECT_TRUE(std::isnan(myData.samples[3][0]));  // rows the files do not fill are NaN
    EXPECT_TRUE(std::isnan(myData.samples[64][1023]));
    for (int s = 0; s < 256; ++s) EXPECT_EQ(r.out[2 + s], synth(0, 1, s));
    EXPECT_EQ(r.out[258], 12345.0);
}

TEST(LoaderLayout, SampleTenOfSecondFileLandsInColumn266) {
    std::string a = writeFile("col_a", trialText('c', "# S1 obj", 1, 0));
    std::string b = writeFile("col_b", trialText('c', "# S1 obj", 1, 7));
    fillTable(0.0);
    load({a, b}, 2, 1, "x");
    EXPECT_EQ(myData.samples[0][266], synth(7, 0, 10));
    EXPECT_EQ(myData.samples[0][265], synth(7, 0, 9));
    EXPECT_EQ(myData.samples[0][10], synth(0, 0, 10));
    EXPECT_EQ(myData.samples[0][512], 0.0);  // beyond the files asked for: untouched
}

TEST(LoaderLayout, SixtySixthBlockEndsTheFile) {
    fillTable(-7.0);
    Load r = load({writeFile("blocks66", trialText('a', "# S1 obj", 66, 0))}, 1, 65, "o");
    for (int c = 0; c < 65; ++c) EXPECT_EQ(myData.samples[c][5], synth(0, c, 5));
    EXPECT_STREQ(myData.names[64], "C64");
    EXPECT_EQ(r.out[2 + 7], synth(0, 64, 7));  // row 64 is channel 65
    for (int c = 0; c < 65; ++c)
        for (int s = 0; s < 256; ++s) ASSERT_NE(myData.samples[c][s], synth(0, 65, s));
}

TEST(LoaderLayout, ZeroFilesReportsTheTableLeftByTheLastLoad) {
    load({writeFile("last", trialText('c', "# S2 nomatch, trial 3", 2, 1))}, 1, 1, "x");
    Load r = load({}, 0, 1, "o");
    EXPECT_EQ(r.out[0], 99.0);
    EXPECT_EQ(r.out[1], 3.0);
    for (int s = 0; s < 256; ++s) EXPECT_EQ(r.out[2 + s], synth(1, 0, s));
    EXPECT_EQ(r.printed, namesLine());
    EXPECT_EQ(r.printed.substr(0, 6), "C0\tC1\t");
}

TEST(LoaderLayout, SelectOutsideTheChannelsReturnsRowZero) {
    load({writeFile("sel", trialText('a', "# S1 obj", 2, 2))}, 1, 1, "x");
    for (int select : {0, 66, -4}) {
        Load r = load({}, 0, select, "O");
        EXPECT_EQ(r.out[2], synth(2, 0, 0));
        EXPECT_EQ(r.out[257], synth(2, 0, 255));
    }
    EXPECT_EQ(load({}, 0, 2, "o").out[2], synth(2, 1, 0));
}

// Lines of any length are read whole (once a 79-character piece was taken
// for a line of its own).
TEST(LoaderLayout, LongLinesAreReadWhole) {
    std::string text = trialText('a', "# S2 nomatch, trial 3" + std::string(300, ','), 2, 1);
    text.replace(text.find("# C1 chan 1"), 11, "# C1" + std::string(200, ' ') + "chan 1");
    text.replace(text.find("1 C0 7 "), 7, "1 C0 7" + std::string(5000, ' '));
    fillTable(0.0);
    Load r = load({writeFile("longline", text)}, 1, 1, "x");
    EXPECT_EQ(r.out[0], 97.0);
    EXPECT_EQ(r.out[1], 3.0);
    EXPECT_STREQ(myData.names[1], "C1");
    EXPECT_EQ(myData.samples[0][7], synth(1, 0, 7));
    EXPECT_EQ(myData.samples[1][255], synth(1, 1, 255));
}

TEST(LoaderLayout, LineEndAfterTheNameStaysPartOfIt) {
    std::string text = std::string("# co2a.rd\n") + kHeader234 + "# S1 obj\n#   FP1\n0 FP1 0 1.0\n";
    load({writeFile("nameend", text)}, 1, 1, "x");
    EXPECT_STREQ(myData.names[0], "FP1\n");
}

// ---- condition codes ---------------------------------------------------------

TEST(LoaderCondition, CodesFollowTheLetterAfterTheStimulusNumber) {
    struct Case { const char* line; int code; };
    const Case cases[] = {
        {"# S1 obj , trial 2", 1}, {"#S1xyz", 1},         {"# S2 nomatch, trial 7", 3},
        {"# S2  match , trial 9", 2}, {"# S2 Match", 2},  {"# S3 N", 3},
        {"# S2 other", 4},         {"# S2", 4},           {"#   S9match", 2},
        {"# S2 \tmatch", 4},
    };
    for (const Case& k : cases) {
        Load r = load({writeFile("cond", trialText('a', k.line, 1, 0))}, 1, 1, "x");
        EXPECT_EQ(r.out[1], k.code) << k.line;
        EXPECT_EQ(myData.condition[0], k.code) << k.line;
    }
}

// The code comes from the file being read, never from an earlier load.
TEST(LoaderCondition, LineWithoutStimulusGivesCodeZero) {
    load({writeFile("cond3", trialText('a', "# S2 nomatch", 1, 0))}, 1, 1, "x");
    Load r = load({writeFile("condT", trialText('a', "#\tS1 obj", 1, 0))}, 1, 1, "x");
    EXPECT_EQ(r.out[1], 0.0);
    EXPECT_EQ(myData.condition[0], 0);
}

TEST(LoaderCondition, MissingHashOnLineFourIsReportedAndLoadingGoesOn) {
    fillTable(0.0);
    Load r = load({writeFile("noHash4", trialText('c', "S2 match", 2, 1))}, 1, 1, "x");
    EXPECT_EQ(r.printed.rfind("error on file format on S1 obj , trial 2\n", 0), 0u);
    EXPECT_EQ(r.out[0], 99.0);
    EXPECT_EQ(myData.samples[1][9], synth(1, 1, 9));
}

// ---- rejected files -------------------------------------------------------------

TEST(LoaderRejects, EachFailedCheckPrintsItsMessageAndLeavesTheSentinel) {
    std::string head1 = "# co2a0000364.rd\n";
    struct Case { std::string text; std::string message; };
    std::string noHash1 = writeFile("noHash1", "co2a0000364.rd\n");
    const Case cases[] = {
        {"# co2x0000364.rd\n" + std::string(kHeader234), "not a correct alcohol EEG file\n"},
        {"# co\n", "not a correct alcohol EEG file\n"},
        {head1 + "120 trials\n", "error on file format on 2 Lines :# 120 trials, 64 chans, 416 samples 368 "
                                 "post_stim samples\n"},
        {head1 + "# 120 trials\n3.906\n", "error on file format on 3 Lines 3.906000 msecs uV\n"},
        {head1, "error on file format on 2 Lines :# 120 trials, 64 chans, 416 samples 368 post_stim samples\n"},
    };
    int i = 0;
    for (const Case& k : cases) {
        Load r = load({writeFile("bad" + std::to_string(i++), k.text)}, 1, 1, "o");
        EXPECT_EQ(r.printed, k.message);
        EXPECT_EQ(r.out[0], -1.0);
        EXPECT_EQ(r.out[1], 12345.0);
    }
    Load r = load({noHash1}, 1, 1, "o");
    EXPECT_EQ(r.printed, "not a correct file: " + noHash1 + "\n");
    EXPECT_EQ(r.out[0], -1.0);
    r = load({tempDir() + "/does-not-exist"}, 1, 1, "o");
    EXPECT_EQ(r.printed, "can not open file\n");
    EXPECT_EQ(r.out[0], -1.0);
}

TEST(LoaderRejects, EarlierFilesStayLoadedWhenALaterOneFails) {
    fillTable(0.0);
    std::string good = writeFile("goodFirst", trialText('a', "# S1 obj", 1, 3));
    Load r = load({good, tempDir() + "/missing"}, 2, 1, "x");
    EXPECT_EQ(r.printed, "can not open file\n");
    EXPECT_EQ(r.out[0], -1.0);
    EXPECT_EQ(myData.samples[0][200], synth(3, 0, 200));
}

TEST(LoaderRejects, NegativeCountWritesNothing) {
    Load r = load({}, -1, 1, "o");
    EXPECT_EQ(r.printed, "");
    EXPECT_EQ(r.out[0], 12345.0);
}

TEST(LoaderRejects, DifferentGroupsAreReportedAndBothLoaded) {
    fillTable(0.0);
    std::string a = writeFile("grpA", trialText('a', "# S1 obj", 1, 0));
    std::string c = writeFile("grpC", trialText('c', "# S1 obj", 1, 1));
    Load r = load({a, c, c}, 3, 1, "x");
    EXPECT_EQ(r.printed.rfind("different group=c\ndifferent group=c\n", 0), 0u);
    EXPECT_EQ(r.out[0], 97.0);
    EXPECT_EQ(myData.samples[0][256 + 4], synth(1, 0, 4));
    EXPECT_EQ(myData.samples[0][512 + 4], synth(1, 0, 4));
}

// A file without any channel block is a failed load (it once loaded nothing
// and reported success).
TEST(LoaderRejects, NoChannelHeaderOnLineFiveFailsTheLoad) {
    fillTable(-2.0);
    std::string bad = writeFile("noHeader5",
                                std::string("# co2a.rd\n") + kHeader234 + "# S1 obj\n0 FP1 0 5.0\n0 FP1 1 6.0\n");
    std::string good = writeFile("afterBad", trialText('a', "# S1 obj", 1, 1));
    Load r = load({bad, good}, 2, 1, "x");
    EXPECT_EQ(r.printed, "no channel block on line 5, no samples read: " + bad + "\n");
    EXPECT_EQ(r.out[0], -1.0);
    EXPECT_TRUE(std::isnan(myData.samples[0][0]));
    EXPECT_TRUE(std::isnan(myData.samples[0][256 + 1]));  // the file after it is not read, and not stale
    EXPECT_EQ(myData.samples[0][512], -2.0);
}

TEST(LoaderRejects, OtherOptionWritesOnlyTheHeaderFigures) {
    Load r = load({writeFile("optX", trialText('c', "# S2 match", 1, 0))}, 1, 3, "q");
    EXPECT_EQ(r.out[0], 99.0);
    EXPECT_EQ(r.out[1], 2.0);
    EXPECT_EQ(r.out[2], 2.0);
    EXPECT_EQ(r.out[3], 12345.0);
}

// ---- input that could reach outside the table ---------------------------------

TEST(LoaderBounds, MoreThanFourFilesIsRejected) {
    fillTable(-3.0);
    std::string f = writeFile("five", trialText('a', "# S1 obj", 1, 0));
    Load r = load({f, f, f, f, f}, 5, 1, "o");
    EXPECT_EQ(r.printed, "too many files: 5 (at most 4)\n");
    EXPECT_EQ(r.out[0], -1.0);
    EXPECT_EQ(r.out[1], 12345.0);
    EXPECT_EQ(myData.samples[0][0], -3.0);
}

// An index outside 0..255 fails the load at its line; nothing is written
// outside the file's columns.
TEST(LoaderBounds, SampleIndexOutsideTheTrialFailsAtItsLine) {
    for (const char* index : {"-1", "256", "100000", "99999999999999999999"}) {
        fillTable(-4.0);
        std::string text = trialText('a', "# S1 obj", 2, 0);
        text.replace(text.find("0 C1 9 "), 6, std::string("0 C1 ") + index);
        const std::string path = writeFile("index", text);
        Load r = load({path}, 1, 1, "x");
        EXPECT_EQ(r.printed, "unparsable sample line 272: " + path + "\n") << index;
        EXPECT_EQ(r.out[0], -1.0);
        for (int c = 0; c < 65; ++c)
            for (int s = 256; s < 1024; ++s) ASSERT_EQ(myData.samples[c][s], -4.0);
    }
}

// A sample line that does not parse fails the load, named by its line;
// blank lines are not sample lines.
TEST(LoaderBounds, UnparsableLinesFailTheLoadWithoutReusingEarlierValues) {
    const char* bad[] = {"garbage", "0 C0 2", "0 C0 2 1.0 trailing", "0 C0 2 inf", "0 C0 2.5 1.0", "0 C0 x 1.0"};
    for (const char* line : bad) {
        fillTable(-5.0);
        std::string text = trialText('a', "# S1 obj", 1, 0);
        text.replace(text.find("0 C0 2 "), text.find('\n', text.find("0 C0 2 ")) - text.find("0 C0 2 "), line);
        const std::string path = writeFile("garbage", text);
        Load r = load({path}, 1, 1, "x");
        EXPECT_EQ(r.printed, "unparsable sample line 8: " + path + "\n") << line;
        EXPECT_EQ(r.out[0], -1.0);
        for (int c = 0; c < 65; ++c)
            for (int s = 0; s < 256; ++s) ASSERT_NE(myData.samples[c][s], -5.0) << line;
    }
    std::string text = trialText('a', "# S1 obj", 1, 0);
    text.insert(text.find("0 C0 2 "), "\n \t\r\n");
    EXPECT_EQ(load({writeFile("blank", text)}, 1, 1, "x").out[0], 97.0);
}

TEST(LoaderBounds, LongNamesAreCutAndLongSensorsStillParse) {
    std::string text = trialText('a', "# S1 obj", 2, 0);
    text.replace(text.find("# C0 chan 0"), 11, "# ABCDEFGHIJKL chan 0");
    text.replace(text.find("# C1 chan 1"), 11, "# ABCDEF");
    text.replace(text.find("0 C0 9 "), 6, "0 " + std::string(40, 's') + " 9");
    myData.names[2][0] = 'Z';
    myData.names[2][1] = '\0';
    load({writeFile("longname", text)}, 1, 1, "x");
    EXPECT_STREQ(myData.names[0], "ABCDEF");
    EXPECT_STREQ(myData.names[1], "ABCDEF");  // the line end is cut off
    EXPECT_STREQ(myData.names[2], "Z");
    EXPECT_EQ(myData.samples[0][9], synth(0, 0, 9));
}

TEST(LoaderBounds, PathsOfAnyLengthAreSafe) {
    std::string dir = tempDir();
    for (int i = 0; i < 3; ++i) {
        dir += "/" + std::string(60, static_cast<char>('p' + i));
        mkdir(dir.c_str(), 0700);
    }
    std::string good = dir + "/trial";
    std::ofstream(good) << trialText('c', "# S1 obj", 1, 2);
    ASSERT_GT(good.size(), 180u);
    Load r = load({good}, 1, 1, "o");
    EXPECT_EQ(r.out[0], 99.0);
    EXPECT_EQ(r.out[2 + 9], synth(2, 0, 9));
    std::string bad = dir + "/bad";
    std::ofstream(bad) << "nothing\n";
    EXPECT_EQ(load({bad}, 1, 1, "o").printed, "not a correct file: " + bad + "\n");
    EXPECT_EQ(load({dir + "/" + std::string(5000, 'q')}, 1, 1, "o").printed, "can not open file\n");
}

TEST(LoaderBounds, DivergenceSelectOutsideTheFeaturesGivesNaN) {
    std::string f = writeFile("dsel", trialText('a', "# S1 obj", 64, 0));
    for (int select : {-1, 7, 255, 1000000}) {
        Load r = load({f}, 1, select, "d");
        EXPECT_EQ(r.out[2], 1.0);
        for (int c = 0; c < 64; ++c) ASSERT_TRUE(std::isnan(r.out[3 + c])) << select;
        EXPECT_EQ(r.out[67], 12345.0);
    }
}

// ---- the shared damaged folder ---------------------------------------------------

namespace {

// The one line the loader prints for each failing file of the folder (P: its path).
const std::map<std::string, std::string> kDamagedLines = {
    {"empty.rd.000", "not a correct file: P"},
    {"header-only.rd.000", "no channel block on line 5, no samples read: P"},
    {"truncated-mid-block.rd.000", "incomplete channel block on line 262: P"},
    {"short-block.rd.000", "incomplete channel block on line 5: P"},
    {"unparsable-value.rd.000", "unparsable sample line 23: P"},
    {"sample-index-out-of-range.rd.000", "unparsable sample line 23: P"},
    {"duplicate-sample-index.rd.000", "unparsable sample line 23: P"},
    {"nul-byte.rd.000", "unparsable sample line 23: P"},
    {"non-finite-value.rd.000", "unparsable sample line 23: P"},
    {"megabyte-line.rd.000.gz", "unparsable sample line 266: P"},
    {"not-a-trial.rd.000", "not a correct file: P"},
    {"wrong-group.rd.000", "not a correct alcohol EEG file"},
    {"missing-header-line.rd.000", "no channel block on line 5, no samples read: P"},
    {"no-channel-block.rd.000", "no channel block on line 5, no samples read: P"},
    {"damaged-gzip.rd.000.gz", "damaged gzip stream: P"},
    {"truncated-gzip.rd.000.gz", "gzip stream ends early: P"},
};

const std::map<std::string, int> kGoodConditions = {
    {"two-channels.rd.000", 1}, {"good.rd.000.gz", 1},     {"no-condition.rd.000", 0},
    {"long-condition-line.rd.000", 3}, {"error-trial.rd.000", 2}, {"crlf-line-ends.rd.000", 1}};

std::string gzipTo(const std::string& from, const std::string& name) {
    const std::string bytes = zemba_test::readBytes(from);
    const std::string path = tempDir() + "/" + name;
    gzFile f = gzopen(path.c_str(), "wb6");
    gzwrite(f, bytes.data(), static_cast<unsigned>(bytes.size()));
    gzclose(f);
    return path;
}

}  // namespace

TEST(LoaderDamagedFolder, EachFileLoadsOrFailsWithItsLineAndLeavesNoStaleCell) {
    const auto cut = zemba_reference::parseTrialText(zemba_test::readBytes(std::string(ZEMBA_DAMAGED_DIR) +
                                                                           "/two-channels.rd.000"));
    for (const auto& d : zemba_test::damagedFiles()) {
        fillTable(777.0);
        Load r = load({d.path()}, 1, 1, "x");
        if (d.loads) {
            EXPECT_EQ(r.out[0], 97.0) << d.file;
            EXPECT_EQ(r.out[1], kGoodConditions.at(d.file)) << d.file;
            EXPECT_EQ(r.printed.rfind("FP1\tFP2\t", 0), 0u) << d.file;
            for (int c = 0; c < 2; ++c)
                for (int s = 0; s < 256; ++s) ASSERT_EQ(myData.samples[c][s], cut.values[c][s]) << d.file;
            for (int c = 2; c < 65; ++c)
                for (int s = 0; s < 256; ++s) ASSERT_TRUE(std::isnan(myData.samples[c][s])) << d.file;
        } else {
            std::string want = kDamagedLines.count(d.file) ? kDamagedLines.at(d.file) : "";
            if (want.find('P') != std::string::npos) want.replace(want.find(": P") + 2, 1, d.path());
            EXPECT_EQ(r.printed, want + "\n") << d.file;
            EXPECT_EQ(r.out[0], -1.0) << d.file;
            EXPECT_EQ(r.out[1], 12345.0) << d.file;
            for (int c = 0; c < 65; ++c)
                for (int s = 0; s < 256; ++s) ASSERT_NE(myData.samples[c][s], 777.0) << d.file;
        }
        for (int c = 0; c < 65; ++c) ASSERT_EQ(myData.samples[c][256], 777.0) << d.file;
    }
    // The divergence option over a trial of two channels (rows 2..63 NaN).
    Load r = load({std::string(ZEMBA_DAMAGED_DIR) + "/good.rd.000.gz"}, 1, 0, "D");
    EXPECT_TRUE(std::isfinite(r.out[3]));
    EXPECT_TRUE(std::isfinite(r.out[4]));
}

// ---- things that are not regular files --------------------------------------------

TEST(LoaderNotRegular, DirectoryFifoAndDeviceFailAtOnceWithTheirName) {
    const std::string dir = tempDir() + "/dir.rd.000";
    const std::string fifo = tempDir() + "/fifo.rd.000";
    mkdir(dir.c_str(), 0700);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    alarm(60);  // a loader blocked on the FIFO ends the program instead of hanging
    for (const std::string& p : {dir, fifo, std::string("/dev/null")}) {
        fillTable(3.0);
        Load r = load({p}, 1, 1, "o");
        EXPECT_EQ(r.printed, "not a regular file: " + p + "\n");
        EXPECT_EQ(r.out[0], -1.0);
        EXPECT_TRUE(std::isnan(myData.samples[0][0]));
    }
    alarm(0);
}

// ---- gzip -------------------------------------------------------------------------

TEST(LoaderGzip, RealTrialsGzippedLoadExactlyAsPlain) {
    for (const char* f : {"co2a0000364.rd.007", "co2c0000340.rd.108"}) {
        Load plain = load({realPath(f)}, 1, 5, "o");
        std::vector<double> table(&myData.samples[0][0], &myData.samples[0][0] + 65 * 1024);
        Load zipped = load({gzipTo(realPath(f), std::string(f) + ".gz")}, 1, 5, "o");
        EXPECT_EQ(zipped.printed, plain.printed) << f;
        EXPECT_EQ(zipped.out, plain.out) << f;
        EXPECT_EQ(std::memcmp(table.data(), &myData.samples[0][0], table.size() * sizeof(double)), 0) << f;
    }
}
