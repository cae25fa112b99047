#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

TEST(SymbolEntropy, DistinctSymbolsGiveLogOfTheirNumber) {
    EXPECT_NEAR(calculateShannonEntropy({"a", "b"}), std::log(2.0), 1e-15);
    EXPECT_NEAR(calculateShannonEntropy({"x", "yy", "zzz"}), std::log(3.0), 1e-15);
}

TEST(SymbolEntropy, RepeatedSymbolsAreCountedTogether) {
    EXPECT_EQ(calculateShannonEntropy({"01", "01", "01", "01"}), 0.0);
    EXPECT_NEAR(calculateShannonEntropy({"a", "a", "b", "c"}),
                -(0.5 * std::log(0.5) + 2 * 0.25 * std::log(0.25)), 1e-15);
}

TEST(SymbolEntropy, EmptySequenceIsZero) { EXPECT_EQ(calculateShannonEntropy({}), 0.0); }

TEST(SymbolEntropy, SymbolsDifferByEveryByteAndLength) {
    std::vector<std::string> v = {std::string("a"), std::string("a\0", 2), std::string("A")};
    EXPECT_NEAR(calculateShannonEntropy(v), std::log(3.0), 1e-15);
}

TEST(SymbolEntropy, CallersSequenceIsUnchangedAndMatchesDirectCount) {
    std::mt19937 gen(2);
    std::uniform_int_distribution<int> u(0, 30);
    std::vector<std::string> v;
    for (int i = 0; i < 1000; ++i) v.push_back(std::to_string(u(gen) * u(gen)));
    const std::vector<std::string> copy = v;
    std::map<std::string, int> counts;
    for (const auto& s : v) counts[s]++;
    double h = 0;
    for (const auto& c : counts) h -= c.second / 1000.0 * std::log(c.second / 1000.0);
    EXPECT_NEAR(calculateShannonEntropy(v), h, 1e-12);
    EXPECT_EQ(v, copy);
}
