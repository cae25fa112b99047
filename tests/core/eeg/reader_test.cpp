// Core trial reader, by input class: the shared damaged folder (driven by its
// manifest), things that are not regular files, the twelve real trials plain
// and gzipped, and files the folder does not hold.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "reference/trial.h"
#include "support/damaged.h"
#include "zemba/core.h"

using zemba_test::damagedFiles;
using zemba_test::readBytes;

namespace {

const char* const kReal[] = {"co2a0000364.rd.000", "co2a0000364.rd.007", "co2a0000364.rd.009", "co2a0000365.rd.103",
                             "co2a0000368.rd.000", "co2a0000368.rd.091", "co2c0000337.rd.000", "co2c0000337.rd.017",
                             "co2c0000337.rd.021", "co2c0000340.rd.108", "co2c0000341.rd.026", "co2c0000342.rd.004"};

std::unique_ptr<zemba_trial> blankTrial() {
    auto t = std::make_unique<zemba_trial>();
    std::memset(t.get(), 0xA5, sizeof *t);  // canary: must survive every failed read
    return t;
}

struct Read {
    int status;
    size_t line;
    std::unique_ptr<zemba_trial> trial;
};

Read readPath(const std::string& path) {
    Read r{-1, 12345, blankTrial()};
    r.status = zemba_read_trial(path.c_str(), r.trial.get(), &r.line);
    return r;
}

Read parseText(const std::string& bytes) {
    Read r{-1, 12345, blankTrial()};
    r.status = zemba_parse_trial(bytes.data(), bytes.size(), r.trial.get(), &r.line);
    return r;
}

bool untouched(const zemba_trial& t) {
    const auto* b = reinterpret_cast<const unsigned char*>(&t);
    for (size_t i = 0; i < sizeof t; ++i)
        if (b[i] != 0xA5) return false;
    return true;
}

int statusOfReason(const std::string& reason) {
    static const std::map<std::string, int> m = {{"open", ZEMBA_E_OPEN},
                                                 {"not-regular", ZEMBA_E_NOT_REGULAR},
                                                 {"format", ZEMBA_E_FORMAT},
                                                 {"unparsable-line", ZEMBA_E_FORMAT},
                                                 {"incomplete", ZEMBA_E_INCOMPLETE}};
    return m.at(reason);
}

// Every value, name and header field of t against the naive reference.
void expectMatches(const zemba_trial& t, const zemba_reference::Trial& ref, const std::string& what) {
    ASSERT_EQ(t.channels, static_cast<int>(ref.names.size())) << what;
    EXPECT_EQ(t.group, ref.group) << what;
    EXPECT_EQ(t.condition, ref.condition) << what;
    EXPECT_EQ(t.trial, ref.trial) << what;
    EXPECT_EQ(std::string(t.subject), ref.subject) << what;
    for (int c = 0; c < ZEMBA_TRIAL_CHANNEL_CAP; ++c) {
        if (c < t.channels) {
            EXPECT_EQ(std::string(t.names[c]), ref.names[c]) << what << " block " << c;
            for (int s = 0; s < ZEMBA_TRIAL_LENGTH; ++s)
                ASSERT_EQ(t.samples[c][s], ref.values[c][s]) << what << " block " << c << " sample " << s;
        } else {
            EXPECT_STREQ(t.names[c], "") << what;
            for (int s = 0; s < ZEMBA_TRIAL_LENGTH; ++s) ASSERT_TRUE(std::isnan(t.samples[c][s])) << what;
        }
    }
}

std::string tempDir() {
    static const std::string dir = [] {
        std::string tmpl = testing::TempDir() + "zemba_reader_XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        const char* made = mkdtemp(buf.data());
        return made ? std::string(made) : std::string("/tmp");
    }();
    return dir;
}

std::string gzipBytes(const std::string& text) {
    const std::string path = tempDir() + "/member.gz";
    gzFile f = gzopen(path.c_str(), "wb9");
    gzwrite(f, text.data(), static_cast<unsigned>(text.size()));
    gzclose(f);
    return readBytes(path);
}

std::string writeFile(const std::string& name, const std::string& bytes) {
    const std::string path = tempDir() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

}  // namespace

// ---- the shared damaged folder ----------------------------------------------

TEST(ReaderDamagedFolder, EveryFileGivesTheManifestsOutcomeFromPathAndFromMemory) {
    const auto files = damagedFiles();
    ASSERT_GE(files.size(), 20u);
    const auto cut = zemba_reference::parseTrialText(readBytes(std::string(ZEMBA_DAMAGED_DIR) + "/two-channels.rd.000"));
    ASSERT_EQ(cut.names.size(), 2u);
    // What line 4 of each good file says.
    const std::map<std::string, std::pair<int, int>> conditionAndError = {
        {"two-channels.rd.000", {1, 0}}, {"good.rd.000.gz", {1, 0}},      {"no-condition.rd.000", {0, 0}},
        {"long-condition-line.rd.000", {3, 0}}, {"error-trial.rd.000", {2, 1}}, {"crlf-line-ends.rd.000", {1, 0}}};
    for (const auto& d : files) {
        Read fromPath = readPath(d.path());
        Read fromMemory = parseText(readBytes(d.path()));
        for (const Read* r : {&fromPath, &fromMemory}) {
            const std::string what = d.file + (r == &fromPath ? " (path)" : " (memory)");
            if (d.loads) {
                ASSERT_EQ(r->status, ZEMBA_OK) << what;
                EXPECT_EQ(r->line, 0u) << what;
                auto ref = cut;
                ref.condition = conditionAndError.at(d.file).first;
                ref.trial = 0;
                expectMatches(*r->trial, ref, what);
                EXPECT_EQ(r->trial->error, conditionAndError.at(d.file).second) << what;
            } else {
                EXPECT_EQ(r->status, statusOfReason(d.reason)) << what << ": " << zemba_status_string(r->status);
                if (d.reason == "unparsable-line") {
                    EXPECT_EQ(r->line, d.line) << what;
                } else if (d.reason == "format") {
                    EXPECT_EQ(r->line, 0u) << what;
                }
                EXPECT_TRUE(untouched(*r->trial)) << what;
            }
        }
    }
}

TEST(ReaderDamagedFolder, IncompleteBlocksAreNamedByTheirHeaderLine) {
    EXPECT_EQ(readPath(std::string(ZEMBA_DAMAGED_DIR) + "/short-block.rd.000").line, 5u);
    EXPECT_EQ(readPath(std::string(ZEMBA_DAMAGED_DIR) + "/truncated-mid-block.rd.000").line, 262u);
    EXPECT_EQ(readPath(std::string(ZEMBA_DAMAGED_DIR) + "/header-only.rd.000").line, 0u);
}

// ---- paths that are not regular files ------------------------------------------

TEST(ReaderNotRegular, DirectoryFifoAndDeviceAreRejectedAtOnce) {
    const std::string dir = tempDir() + "/a-directory.rd.000";
    const std::string fifo = tempDir() + "/a-fifo.rd.000";
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    alarm(60);  // a reader blocked on the FIFO ends the program instead of hanging
    for (const std::string& p : {dir, fifo, std::string("/dev/null")}) {
        Read r = readPath(p);
        EXPECT_EQ(r.status, ZEMBA_E_NOT_REGULAR) << p;
        EXPECT_TRUE(untouched(*r.trial)) << p;
    }
    alarm(0);
    EXPECT_EQ(readPath(tempDir() + "/missing.rd.000").status, ZEMBA_E_OPEN);
    EXPECT_EQ(readPath(std::string(5000, 'x')).status, ZEMBA_E_OPEN);
}

TEST(ReaderNotRegular, NullArgumentsAreRejected) {
    auto t = blankTrial();
    size_t line = 7;
    EXPECT_EQ(zemba_read_trial(nullptr, t.get(), &line), ZEMBA_E_NULL);
    EXPECT_EQ(line, 0u);
    EXPECT_EQ(zemba_read_trial("x", nullptr, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_parse_trial(nullptr, 3, t.get(), nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_parse_trial(nullptr, 0, t.get(), nullptr), ZEMBA_E_INCOMPLETE);
    EXPECT_TRUE(untouched(*t));
}

// ---- the twelve real trials ---------------------------------------------------------

TEST(ReaderRealTrials, PlainGzipAndMemoryGiveTheSameTrialAsTheReference) {
    for (const char* name : kReal) {
        const std::string path = std::string(ZEMBA_DATA_DIR) + "/" + name;
        const std::string text = readBytes(path);
        const auto ref = zemba_reference::parseTrialText(text);
        ASSERT_EQ(ref.names.size(), 64u);
        Read plain = readPath(path);
        ASSERT_EQ(plain.status, ZEMBA_OK) << name;
        expectMatches(*plain.trial, ref, name);
        EXPECT_EQ(plain.trial->error, 0);
        for (char b : plain.trial->reserved) EXPECT_EQ(b, 0);

        const std::string gz = gzipBytes(text);
        Read zipped = readPath(writeFile(std::string(name) + ".gz", gz));
        Read memory = parseText(gz);
        // Two members, split mid-line, read as one text.
        const size_t half = text.size() / 2 + 3;
        Read members = parseText(gzipBytes(text.substr(0, half)) + gzipBytes(text.substr(half)));
        for (const Read* r : {&zipped, &memory, &members}) {
            ASSERT_EQ(r->status, ZEMBA_OK) << name;
            EXPECT_EQ(std::memcmp(r->trial.get(), plain.trial.get(), sizeof(zemba_trial)), 0) << name;
        }
    }
}

TEST(ReaderRealTrials, ConcurrentReadsAgree) {
    const std::string path = std::string(ZEMBA_DATA_DIR) + "/co2c0000342.rd.004";
    Read once = readPath(path);
    ASSERT_EQ(once.status, ZEMBA_OK);
    std::vector<std::unique_ptr<zemba_trial>> got(4);
    std::vector<int> status(4, 0);
    std::vector<std::thread> threads;
    for (int k = 0; k < 4; ++k) {
        got[k] = blankTrial();
        threads.emplace_back([&, k] {
            for (int i = 0; i < 5; ++i) status[k] |= zemba_read_trial(path.c_str(), got[k].get(), nullptr) << i;
        });
    }
    for (auto& t : threads) t.join();
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(status[k], 0);
        EXPECT_EQ(std::memcmp(got[k].get(), once.trial.get(), sizeof(zemba_trial)), 0);
    }
}

// ---- rules the folder does not exercise ------------------------------------------

TEST(ReaderRules, BlockCountBlankLinesAndWideNames) {
    const std::string real = readBytes(std::string(ZEMBA_DATA_DIR) + "/co2a0000364.rd.000");
    // A 65th block does not fit the trial.
    const std::string extra = real + "# EXTRA chan 64\n";
    Read r = parseText(extra);
    EXPECT_EQ(r.status, ZEMBA_E_FORMAT);
    EXPECT_EQ(r.line, 0u);
    // Blank lines anywhere after the header are ignored; a 20-byte name is cut to 15.
    std::string text = readBytes(std::string(ZEMBA_DAMAGED_DIR) + "/two-channels.rd.000");
    text.insert(text.find("0 FP1 100 "), "\n  \t\n");
    text.replace(text.find("# FP2"), 5, "# ABCDEFGHIJKLMNOPQRST");
    r = parseText(text + "\n\n");
    ASSERT_EQ(r.status, ZEMBA_OK);
    EXPECT_STREQ(r.trial->names[1], "ABCDEFGHIJKLMNO");
    EXPECT_EQ(r.trial->samples[0][100], zemba_reference::parseTrialText(real).values[0][100]);
    // Text after a complete gzip member is ignored; a lone gzip magic is a stream cut short.
    EXPECT_EQ(parseText(gzipBytes(real) + "trailing").status, ZEMBA_OK);
    EXPECT_EQ(parseText(std::string("\x1f\x8b", 2)).status, ZEMBA_E_INCOMPLETE);
}

TEST(ReaderRules, EverySpellingOfASampleGivesTheCorrectlyRoundedValue) {
    // The real trial with its values respelled: few and many digits on either
    // side of the point (past 15 significant digits and past 2^53), leading
    // zeros, signs, exponents, a bare point on either side, negative zero.
    std::mt19937_64 g(3);
    auto digits = [&](int k) {
        std::string s;
        for (int i = 0; i < k; ++i) s += static_cast<char>('0' + g() % 10);
        return s;
    };
    auto spelling = [&]() -> std::string {
        const std::string sign = g() % 3 == 0 ? "-" : (g() % 9 == 0 ? "+" : "");
        switch (g() % 6) {
            case 0: return sign + digits(1 + g() % 4) + "." + digits(1 + g() % 4);
            case 1: return sign + digits(1 + g() % 9) + "." + digits(1 + g() % 12);  // around 15 digits
            case 2: return sign + digits(1 + g() % 20);
            case 3: return sign + digits(1 + g() % 3) + "." + digits(g() % 4) + (g() % 2 ? "e-" : "E") + digits(1);
            case 4: return sign + (g() % 2 ? "." + digits(1 + g() % 3) : digits(1 + g() % 3) + ".");
            default: return sign + "0" + digits(g() % 3) + "." + std::string(g() % 4, '0');
        }
    };
    const std::string real = readBytes(std::string(ZEMBA_DATA_DIR) + "/co2a0000364.rd.000");
    std::string text;
    size_t at = 0;
    while (at < real.size()) {
        size_t end = real.find('\n', at);
        end = end == std::string::npos ? real.size() : end + 1;
        std::string line = real.substr(at, end - at);
        if (line[0] != '#') line = line.substr(0, line.find_last_of(' ') + 1) + spelling() + "\n";
        text += line;
        at = end;
    }
    const Read r = parseText(text);
    ASSERT_EQ(r.status, ZEMBA_OK);
    expectMatches(*r.trial, zemba_reference::parseTrialText(text), "respelled");
}
