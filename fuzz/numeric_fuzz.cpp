// Fuzz target for the numerical routines: arbitrary lengths, parameters and
// values (NaN and infinities included), each routine called through the
// library's exported symbol with caller arrays of exactly the declared size.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>
#include <fcntl.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "guard.h"
#include "zemba.h"

using zemba_fuzz::fail;
using zemba_fuzz::Guarded;

namespace {

constexpr int kSeriesCap = ZEMBA_SERIES_CAP;
constexpr int kNodeCap = ZEMBA_NODE_CAP;

// Lengths: mostly small, sometimes medium, rarely at or just beyond a capacity,
// and now and then far outside it. Quadratic routines get a capacity-sized
// accepted length only once in a long while.
int pickLength(FuzzedDataProvider& p, int cap, bool heavy) {
    const uint8_t k = p.ConsumeIntegral<uint8_t>();
    if (k < 200) return k % 24;
    if (k < 236) return p.ConsumeIntegralInRange<int>(0, heavy ? 160 : 700);
    if (k < 250) {
        const int n = cap - 2 + (k % 5);  // cap-2 .. cap+2
        if (heavy && n <= cap && p.ConsumeIntegral<uint8_t>() != 0) return cap + 1;
        return n;
    }
    switch (k) {
        case 250: return -1;
        case 251: return INT_MIN;
        case 252: return INT_MAX;
        case 253: return cap + 1000;
        default: return p.ConsumeIntegralInRange<int>(-5, 5);
    }
}

double pickValue(FuzzedDataProvider& p, uint8_t style) {
    switch (style % 4) {
        case 0: return static_cast<double>(p.ConsumeIntegralInRange<int>(-4, 4));  // ties everywhere
        case 1: {
            uint64_t bits = p.ConsumeIntegral<uint64_t>();
            double v;
            std::memcpy(&v, &bits, sizeof v);
            return v;
        }
        case 2: {
            static const double special[] = {0.0, -0.0, 1.0, -1.0, 1e300, -1e300, 2147483648.0, -2147483649.0,
                                             std::numeric_limits<double>::infinity(),
                                             -std::numeric_limits<double>::infinity(),
                                             std::numeric_limits<double>::quiet_NaN(), 4.9e-324, 0.5, 12193.0};
            return special[p.ConsumeIntegral<uint8_t>() % (sizeof special / sizeof special[0])];
        }
        default: return p.ConsumeFloatingPointInRange<double>(-100.0, 100.0);
    }
}

// A caller's input array: exactly max(n, 1) cells (max(n,0) would leave no
// readable first element for n = 0), or one cell when n is outside [0, limit].
std::vector<double> series(FuzzedDataProvider& p, int n, int limit) {
    const size_t len = (n >= 1 && n <= limit) ? static_cast<size_t>(n) : 1;
    const uint8_t style = p.ConsumeIntegral<uint8_t>();
    std::vector<double> x(len);
    for (auto& v : x) v = pickValue(p, style);
    return x;
}

std::vector<int> ints(FuzzedDataProvider& p, int n, int limit, int lo, int hi) {
    const size_t len = (n >= 1 && n <= limit) ? static_cast<size_t>(n) : 1;
    std::vector<int> x(len);
    for (auto& v : x) v = p.ConsumeIntegralInRange<int>(lo, hi);
    return x;
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return std::memcmp(a.data(), b.data(), sizeof(double) * a.size()) == 0;
}

void expect(bool ok, const char* what, const char* routine) {
    if (!ok) fail(what, routine);
}

int smallParam(FuzzedDataProvider& p) {
    const uint8_t k = p.ConsumeIntegral<uint8_t>();
    if (k < 240) return static_cast<int>(k % 12) - 2;  // -2 .. 9
    if (k < 250) return p.ConsumeIntegralInRange<int>(-100, 200);
    return k == 250 ? INT_MIN : k == 251 ? INT_MAX : p.ConsumeIntegral<int>();
}

size_t square(int n) { return static_cast<size_t>(n) * static_cast<size_t>(n); }

void graphs(FuzzedDataProvider& p, uint8_t which) {
    switch (which % 11) {
        case 0: {  // Z_HVA
            int n = pickLength(p, kSeriesCap, true);
            int crit = smallParam(p);
            auto x = series(p, n, kSeriesCap + 2);
            Guarded<double> out(4);
            const double r = Z_HVA(x.data(), &n, &crit, out.data());
            out.check("Z_HVA");
            if (n < 0 || n > kSeriesCap) expect(r == 0.0 && out.untouched(), "rejected length wrote", "Z_HVA");
            else if (n >= 1)
                for (int i = 0; i < 4; ++i) expect(std::isfinite(out[i]), "non-finite average", "Z_HVA");
            break;
        }
        case 1: {  // Z_ZEMBA
            int n = pickLength(p, kSeriesCap, false);
            auto x = series(p, n, kSeriesCap + 2);
            const auto before = x;
            Guarded<double> out(6);
            const double r = Z_ZEMBA(x.data(), &n, out.data());
            out.check("Z_ZEMBA");
            expect(sameBits(before, x), "series modified", "Z_ZEMBA");
            if (n < 0 || n > kSeriesCap) expect(r == 0.0 && out.untouched(), "rejected length wrote", "Z_ZEMBA");
            else if (n >= 1)
                for (int i = 0; i < 6; ++i) expect(std::isfinite(out[i]), "non-finite average", "Z_ZEMBA");
            break;
        }
        case 2: {  // Z_DTW
            int n = pickLength(p, kNodeCap, true);
            auto x = series(p, n, kNodeCap + 2);
            Guarded<double> out(4);
            Z_DTW(x.data(), nullptr, &n, out.data());
            out.check("Z_DTW");
            if (n < 0 || n > kNodeCap) expect(out.untouched(), "rejected length wrote", "Z_DTW");
            break;
        }
        case 3: {  // getHVGAdjMatrix
            int mode = smallParam(p);
            const bool matrix = mode == 1 || mode == 3;
            int n = pickLength(p, kSeriesCap, matrix);
            if (matrix && n > 400 && n <= kSeriesCap) n = 400;
            auto x = series(p, n, kSeriesCap + 2);
            size_t size = 0;
            if (n >= 0 && n <= kSeriesCap) {
                if (matrix) size = std::max(square(n), static_cast<size_t>(n) + 2);
                else if (mode == 2 || mode == 4) size = 2 * static_cast<size_t>(n);
            }
            Guarded<int> out(size);
            getHVGAdjMatrix(x.data(), &n, &mode, out.data());
            out.check("getHVGAdjMatrix");
            if (n < 0 || n > kSeriesCap) expect(out.untouched(), "rejected length wrote", "getHVGAdjMatrix");
            break;
        }
        case 4: {  // degree distributions
            int n = pickLength(p, kSeriesCap, false);
            if (n < 0 || n > kSeriesCap + 2) n = p.ConsumeIntegralInRange<int>(-3, 3);
            int maxDegree = p.ConsumeIntegralInRange<int>(-3, 300);
            int mode = smallParam(p);
            const size_t classes = maxDegree >= 0 ? static_cast<size_t>(maxDegree) + 1 : 0;
            if (p.ConsumeBool()) {
                auto seq = ints(p, 2 * std::max(n, 0), 2 * (kSeriesCap + 2), -3, 320);
                Guarded<double> dist(classes);
                dist.fill(0.0);
                getDegreeDistribute_int(seq.data(), &n, &maxDegree, &mode, dist.data());
                dist.check("getDegreeDistribute_int");
            } else {
                auto degrees = series(p, n, kSeriesCap + 2);
                auto values = series(p, 2 * std::max(n, 0), 2 * (kSeriesCap + 2));
                Guarded<double> dist(classes);
                dist.fill(0.0);
                getDegreeClusterDistribute(degrees.data(), values.data(), &n, &maxDegree, &mode, dist.data());
                dist.check("getDegreeClusterDistribute");
            }
            break;
        }
        case 5: {  // getZEMBG_4features
            int n = pickLength(p, kSeriesCap, false);
            auto x = ints(p, n, kSeriesCap + 2, p.ConsumeBool() ? -3 : INT_MIN, p.ConsumeBool() ? 3 : INT_MAX);
            Guarded<double> out(6);
            getZEMBG_4features(x.data(), n, out.data());
            out.check("getZEMBG_4features");
            if (n > kSeriesCap) expect(out.untouched(), "rejected length wrote", "getZEMBG_4features");
            else if (n <= 1)
                for (int i = 0; i < 6; ++i) expect(out[i] == 0.0, "no edges but non-zero sums", "getZEMBG_4features");
            break;
        }
        case 6: {  // Z_ZEMBA_Entropy / Z_ZEMBA_KLD
            int n = pickLength(p, kSeriesCap, true);
            auto x = series(p, n, kNodeCap + 2);
            if (p.ConsumeBool()) {
                const int crit = smallParam(p);
                const double h = Z_ZEMBA_Entropy(x.data(), crit, n);
                if (n < 0 || n > kNodeCap) expect(h == 0.0, "rejected length gave a result", "Z_ZEMBA_Entropy");
            } else {
                Guarded<double> out(7);
                const double kl = Z_ZEMBA_KLD(x.data(), &n, out.data());
                out.check("Z_ZEMBA_KLD");
                if (n <= 0 || n > kSeriesCap) expect(kl == 0.0 && out.untouched(), "rejected length wrote", "Z_ZEMBA_KLD");
                else expect(std::isfinite(kl) && kl == out[0], "divergence not finite", "Z_ZEMBA_KLD");
            }
            break;
        }
        case 7:
        case 8: {  // natural visibility graphs
            const bool rev = which % 11 == 8;
            const int cap = rev ? kNodeCap : kSeriesCap;
            int mode = smallParam(p) == 1 ? 1 : 2;
            int tau = smallParam(p);
            int n = pickLength(p, cap, true);
            if (mode == 1 && n > 300 && n <= cap) n = 300;
            auto x = series(p, n, cap + 2);
            size_t size = 0;
            if (n >= 0 && n <= cap) {
                const size_t un = static_cast<size_t>(n);
                if (mode == 1) size = std::max(square(n), rev ? un + 2 : 2 * un + 3);
                else size = rev ? un + 1 : 2 * un;
            }
            Guarded<int> out(size);
            out.fill(0);
            const double r = rev ? getRevVGFast(x.data(), &n, &mode, &tau, out.data())
                                 : getVGFast(x.data(), &n, &mode, &tau, out.data());
            out.check(rev ? "getRevVGFast" : "getVGFast");
            if (n < 0 || n > cap) expect(r == 0.0, "rejected length gave a result", "getVGFast");
            break;
        }
        case 9:
        case 10: {  // recurrence networks
            int n = pickLength(p, kNodeCap, true);
            int m = smallParam(p);
            int tau = smallParam(p);
            // n - m*tau + 1 delay vectors; 32-bit overflow, a matrix beyond SlopMatrix
            // or a lag below 1 is rejected.
            const long long span = static_cast<long long>(m) * tau;
            const long long count = static_cast<long long>(n) - span + 1;
            const bool rejected = span > INT_MAX || span < INT_MIN || count > kNodeCap || count <= 0 ||
                                  m > kNodeCap || (m >= 1 && tau < 1);
            if (!rejected && count > 300) break;  // too large a matrix to fuzz with
            auto x = series(p, n, kNodeCap + 2);
            if (which % 11 == 9) {
                const int c = getRecurrenceMatrix(x.data(), n, m, tau);
                expect(c <= kNodeCap, "vector count beyond SlopMatrix", "getRecurrenceMatrix");
                if (rejected) expect(c <= 0, "rejected shape accepted", "getRecurrenceMatrix");
            } else {
                Guarded<double> out(rejected ? 1 : square(static_cast<int>(count)));
                getRecurrenceAdj(x.data(), &n, &m, &tau, out.data());
                out.check("getRecurrenceAdj");
                if (rejected) expect(out[0] == 0.0, "rejected shape without 0", "getRecurrenceAdj");
            }
            break;
        }
    }
}

void entropies(FuzzedDataProvider& p, uint8_t which) {
    switch (which % 7) {
        case 0: {  // calculateEntropy
            int n = pickLength(p, kSeriesCap, false);
            if (n < 0) n = p.ConsumeIntegralInRange<int>(-2, 0);
            if (n > 20000) n = 20000;
            const bool wide = p.ConsumeBool();
            auto data = ints(p, n, 20000, wide ? -5 : 0, wide ? INT_MAX : 40);
            int mode = smallParam(p);
            Guarded<double> result(1);
            calculateEntropy(data.data(), &n, &mode, result.data());
            result.check("calculateEntropy");
            break;
        }
        case 1:
        case 2:
        case 3:
        case 4: {  // permutation entropies: no capacity of their own, so the
                   // caller's series always holds n samples
            int n = pickLength(p, kSeriesCap, true);
            if (n > kSeriesCap + 2) n = kSeriesCap + 2;
            int m = smallParam(p);
            int tau = smallParam(p);
            int scale = smallParam(p);
            auto x = series(p, n, kSeriesCap + 2);
            const int m0 = m;
            Guarded<double> result(1);
            const char* name = "";
            switch (which % 7) {
                case 1: name = "calculatePermutationEntropy"; calculatePermutationEntropy(x.data(), &n, &m, result.data()); break;
                case 2: name = "calculateDelayPermutationEntropy"; calculateDelayPermutationEntropy(x.data(), &n, &m, &tau, result.data()); break;
                case 3: name = "MultiScale_DPE"; MultiScale_DPE(x.data(), &n, &m, &tau, &scale, result.data()); break;
                default: name = "DDPE"; DDPE(x.data(), &n, &m, &tau, result.data()); break;
            }
            result.check(name);
            if (which % 7 != 3 && (n < m0 || m0 <= 1)) expect(result[0] == -1.0, "rejected input without -1", name);
            break;
        }
        case 5: {  // HVG_Entropy
            int n = pickLength(p, kSeriesCap, false);
            int m = smallParam(p);
            if (p.ConsumeBool() && m < 1000) m += 60;
            int tau = smallParam(p);
            auto x = series(p, n, kSeriesCap + 2);
            Guarded<double> out(3);
            HVG_Entropy(x.data(), &n, &m, &tau, out.data());
            out.check("HVG_Entropy");
            if (n > kSeriesCap) expect(out.untouched(), "rejected length wrote", "HVG_Entropy");
            break;
        }
        default: {  // FastDPE: bounded by its window count, not by a series length
            int n = pickLength(p, kSeriesCap, false);
            if (n > 20000) n = 20000;
            int m = smallParam(p);
            int tau = smallParam(p);
            auto x = series(p, n, 20000);
            Guarded<double> result(1);
            FastDPE(x.data(), &n, &m, &tau, result.data());
            result.check("FastDPE");
            if (m >= 10 || m <= 1 || n < m) expect(result[0] == -1.0, "rejected input without -1", "FastDPE");
            expect(FREQ_LEN > 0 && FREQ_LEN <= ZEMBA_FREQ_LEN_CAP, "code space beyond its cap", "FastDPE");
            break;
        }
    }
}

void information(FuzzedDataProvider& p, uint8_t which) {
    int n = pickLength(p, ZEMBA_MI_CAP, false);
    auto a = series(p, n, ZEMBA_MI_CAP + 2);
    auto b = series(p, n, ZEMBA_MI_CAP + 2);
    switch (which % 5) {
        case 0: {
            Guarded<double> result(1);
            calculateMutualInformation(a.data(), b.data(), &n, result.data());
            result.check("calculateMutualInformation");
            if (n > ZEMBA_MI_CAP) expect(std::isnan(result[0]), "oversized series accepted", "calculateMutualInformation");
            break;
        }
        case 1: {
            const JointProbabilityResult r = p.ConsumeBool()
                ? calculateJointProbability(a.data(), b.data(), n)
                : calculateJointProbability(ints(p, n, ZEMBA_MI_CAP + 2, -40, 40).data(),
                                            ints(p, n, ZEMBA_MI_CAP + 2, INT_MIN, INT_MAX).data(), n);
            expect(r.jointProbabilities == jointStateProbs && r.firstProbabilities == firstStateProbs &&
                       r.secondProbabilities == secondStateProbs,
                   "result points outside the shared tables", "calculateJointProbability");
            expect(r.jointNumStates >= 0 && r.jointNumStates <= ZEMBA_MI_CAP && r.firstNumStates >= 0 &&
                       r.firstNumStates <= ZEMBA_MI_CAP && r.secondNumStates >= 0 &&
                       r.secondNumStates <= ZEMBA_MI_CAP,
                   "state count beyond the tables", "calculateJointProbability");
            break;
        }
        case 2: {
            if (n < 0 || n > ZEMBA_MI_CAP + 2) break;
            Guarded<int> out(static_cast<size_t>(n));
            if (p.ConsumeBool()) normaliseArray(a.data(), out.data(), n);
            else normaliseArray(ints(p, n, n, INT_MIN, INT_MAX).data(), out.data(), n);
            out.check("normaliseArray");
            break;
        }
        case 3: {
            if (n < 0 || n > ZEMBA_MI_CAP + 2) break;
            auto x = ints(p, n, n, INT_MIN, INT_MAX);
            auto y = ints(p, n, n, -3, 3);
            double mx = 0.0, my = 0.0;
            (void)CalculateVariane(x.data(), pickValue(p, 3), n);
            (void)Calculate_Covariance(x.data(), y.data(), n, mx, my);
            (void)Calculate_Correlation(x.data(), y.data(), n);
            break;
        }
        default:
            if (n < 0 || n > ZEMBA_MI_CAP + 2) break;
            (void)Calculate_Correlation_double(a.data(), b.data(), n);
            break;
    }
}

void regularity(FuzzedDataProvider& p, uint8_t which) {
    switch (which % 6) {
        case 0:
        case 1:
        case 2: {  // run-length sample entropies
            int n = pickLength(p, kSeriesCap, true);
            int M = smallParam(p);
            if (p.ConsumeIntegral<uint8_t>() < 20 && M < 1000) M += 120;
            double r = pickValue(p, p.ConsumeIntegral<uint8_t>());
            auto x = series(p, n, kSeriesCap + 2);
            const auto before = x;
            const int M0 = M;
            const bool basic = M < 0 || M >= ZEMBA_SAMPEN_M_CAP || n < 0 || n > kSeriesCap;
            const int v = which % 6;
            bool rejected = basic;
            if (v == 2 && !basic)
                rejected = 2L * (M + 1) * n > ZEMBA_SAMPEN_RUN_CAP || (M + 1) * (M + 2) > kSeriesCap;
            const size_t cells = M0 >= 0 && M0 < 1000 ? static_cast<size_t>(M0 + 1) * (v == 2 ? 2 : 1) : 1;
            Guarded<double> out(rejected ? 1 : cells);
            const char* name = v == 0 ? "sampen_1" : v == 1 ? "sampen" : "sampen2";
            if (v == 0) sampen_1(x.data(), &M, &r, &n, out.data());
            else if (v == 1) sampen(x.data(), &M, &r, &n, out.data());
            else sampen2(x.data(), &M, &r, &n, out.data());
            out.check(name);
            if (rejected) {
                expect(out[0] == -1.0, "rejected input without -1", name);
                expect(sameBits(before, x) && M == M0, "rejected input changed the caller's data", name);
            }
            break;
        }
        case 3: {  // SmEn, quadratic with no capacity of its own
            int n = p.ConsumeIntegralInRange<int>(-2, 120);
            int m = smallParam(p);
            double r = pickValue(p, p.ConsumeIntegral<uint8_t>());
            auto x = series(p, n, 200);
            Guarded<double> out(1);
            const double e = SmEn(x.data(), &m, &r, &n, out.data());
            out.check("SmEn");
            expect(std::memcmp(&e, &out[0], sizeof e) == 0, "returned value differs from stored", "SmEn");
            break;
        }
        case 4: {  // approximate entropy
            int n = p.ConsumeIntegralInRange<int>(-2, 150);
            int m = smallParam(p);
            double r = pickValue(p, p.ConsumeIntegral<uint8_t>());
            auto x = series(p, n, 200);
            if (p.ConsumeBool()) {
                Guarded<double> out(1);
                AppEn1(x.data(), &n, &m, &r, out.data());
                out.check("AppEn1");
            } else if (n >= 0) {
                (void)ApEn(x.data(), static_cast<unsigned>(n), static_cast<unsigned>(m), r, pickValue(p, 3));
            }
            break;
        }
        default: {
            int n = pickLength(p, kSeriesCap, false);
            if (n < 0 || n > kSeriesCap + 2) break;
            auto x = series(p, n, n);
            (void)normalize(x.data(), n);
            break;
        }
    }
}

void spectral(FuzzedDataProvider& p, uint8_t which) {
    switch (which % 3) {
        case 0: {  // memse
            int n = pickLength(p, kSeriesCap, false);
            double fs = p.ConsumeBool() ? 256.0 : pickValue(p, p.ConsumeIntegral<uint8_t>());
            auto x = series(p, n, kSeriesCap + 2);
            Guarded<double> out(5);
            memse(x.data(), &n, &fs, out.data());
            out.check("memse");
            const int32_t order = n >= 0 ? static_cast<int32_t>(std::sqrt(static_cast<double>(n)) + 0.5) : 0;
            if (n < 2 || order > ZEMBA_BURG_ORDER_CAP)
                for (int i = 0; i < 5; ++i) expect(std::isnan(out[i]), "rejected length without NaN", "memse");
            break;
        }
        case 1: {  // memcof and the spectrum
            int n = pickLength(p, kSeriesCap + 1, false);
            long m = p.ConsumeIntegralInRange<int>(-2, ZEMBA_BURG_ORDER_CAP + 3);
            auto x = series(p, n, kSeriesCap + 3);
            Guarded<double> d(m > 0 ? static_cast<size_t>(m) : 0);
            double xms = 0.0;
            memcof(x.data(), n, m, xms, d.data());
            d.check("memcof");
            if (m > 0 && m <= ZEMBA_BURG_ORDER_CAP + 1) {
                const double f = pickValue(p, p.ConsumeIntegral<uint8_t>());
                (void)evlmem(f, d.data(), m, xms);
                if (p.ConsumeIntegral<uint8_t>() < 16)
                    (void)band_power(p.ConsumeFloatingPointInRange<double>(-0.1, 0.6),
                                     p.ConsumeFloatingPointInRange<double>(-0.1, 0.6), d.data(), m, xms);
            }
            break;
        }
        default: {  // the integrator on its own
            long m = p.ConsumeIntegralInRange<int>(0, 8);
            std::vector<double> d(static_cast<size_t>(m) + 1);
            const uint8_t style = p.ConsumeIntegral<uint8_t>();
            for (auto& v : d) v = pickValue(p, style);
            const double pm = pickValue(p, 3);
            (void)integ(d.data(), m, pm, pickValue(p, style), pickValue(p, style), 1e-07);
            break;
        }
    }
}

void matching(FuzzedDataProvider& p, uint8_t which) {
    int n = pickLength(p, kNodeCap, false);
    const bool degrees = p.ConsumeBool();
    auto a = ints(p, n, kNodeCap + 2, degrees ? 0 : INT_MIN, degrees ? 6 : INT_MAX);
    auto b = ints(p, n, kNodeCap + 2, degrees ? 0 : INT_MIN, degrees ? 6 : INT_MAX);
    const bool rejected = n < 2 || n > kNodeCap;
    switch (which % 4) {
        case 0: {
            Guarded<double> out(2);
            const double s = Z_HVG_Match(a.data(), b.data(), &n, nullptr, nullptr, out.data());
            out.check("Z_HVG_Match");
            if (rejected) expect(s == 0.0 && out.untouched(), "rejected length wrote", "Z_HVG_Match");
            break;
        }
        case 1: {
            const double s = Z_HVG_Match(static_cast<const int*>(a.data()), static_cast<const int*>(b.data()), n);
            if (rejected) expect(s == 0.0, "rejected length gave a result", "Z_HVG_Match(int const*, int const*, int)");
            break;
        }
        case 2: {
            Guarded<double> out(3);
            Z_HVG_Match_back(a.data(), b.data(), &n, nullptr, nullptr, out.data());
            out.check("Z_HVG_Match_back");
            if (rejected) expect(out.untouched(), "rejected length wrote", "Z_HVG_Match_back");
            break;
        }
        default: {
            Guarded<double> out(4);
            double q = pickValue(p, 0), r = pickValue(p, 0);
            Z_HVGS(a.data(), b.data(), &n, &q, &r, out.data());
            out.check("Z_HVGS");
            if (rejected) expect(out.untouched(), "rejected length wrote", "Z_HVGS");
            break;
        }
    }
}

void framework(FuzzedDataProvider& p, uint8_t which) {
    switch (which % 3) {
        case 0: {  // the stack on a caller's record, pushed up to and past its capacity
            static stackT s;
            s.top = p.ConsumeIntegral<uint8_t>() < 240 ? -1 : p.ConsumeIntegralInRange<int>(-20, ZEMBA_SERIES_CAP + 20);
            const int start = s.top;
            const int pushes = p.ConsumeBool() ? p.ConsumeIntegralInRange<int>(0, 40)
                                               : p.ConsumeIntegralInRange<int>(ZEMBA_SERIES_CAP - 2, ZEMBA_SERIES_CAP + 3);
            for (int i = 0; i < pushes; ++i) StackPush(&s, i);
            if (start >= ZEMBA_SERIES_CAP) expect(s.top == start, "push changed a record beyond its items", "StackPush");
            else if (pushes > 0) expect(s.top >= 0 && s.top < ZEMBA_SERIES_CAP, "stack top outside its items", "StackPush");
            const int pops = p.ConsumeIntegralInRange<int>(0, 3);
            for (int i = 0; i < pops; ++i) (void)StackPop(&s);
            (void)StackTop(&s);
            (void)StackIsEmpty(&s);
            break;
        }
        case 1: {  // symbol strings
            std::vector<std::string> symbols(p.ConsumeIntegralInRange<size_t>(0, 40));
            for (auto& s : symbols) s = p.ConsumeRandomLengthString(8);
            const double h = calculateShannonEntropy(symbols);
            expect(std::isfinite(h), "entropy of symbols not finite", "calculateShannonEntropy");
            break;
        }
        default: {  // batch drivers over whatever the table holds
            int nch = p.ConsumeIntegralInRange<int>(-1, ZEMBA_CHANNELS + 1);
            int len = p.ConsumeBool() ? p.ConsumeIntegralInRange<int>(-1, 40)
                                      : p.ConsumeIntegralInRange<int>(250, ZEMBA_DEGREE_VALUE_CAP / 2 + 2);
            const bool mi = p.ConsumeBool();
            const bool rejected = nch < 1 || len < 0 ||
                                  (mi ? nch > ZEMBA_CHANNELS || len > ZEMBA_DEGREE_VALUE_CAP / 2
                                      : nch > ZEMBA_DEGREE_ROWS || len > ZEMBA_DEGREE_COLS);
            Guarded<double> out(rejected ? 1 : static_cast<size_t>(nch) + 1);
            double* r = mi ? RunMI(nch, len, out.data()) : RunHVGS(nch, len, out.data());
            out.check(mi ? "RunMI" : "RunHVGS");
            if (rejected) expect(r == nullptr && out.untouched(), "rejected shape wrote", mi ? "RunMI" : "RunHVGS");
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The routines print on every call; keep the fuzzer's own output readable.
    if (!std::getenv("ZEMBA_FUZZ_STDOUT")) {
        const int fd = open("/dev/null", O_WRONLY);
        if (fd >= 0) dup2(fd, 1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider p(data, size);
    const uint8_t family = p.ConsumeIntegral<uint8_t>();
    const uint8_t which = p.ConsumeIntegral<uint8_t>();
    switch (family % 7) {
        case 0: graphs(p, which); break;
        case 1: entropies(p, which); break;
        case 2: information(p, which); break;
        case 3: regularity(p, which); break;
        case 4: spectral(p, which); break;
        case 5: matching(p, which); break;
        default: framework(p, which); break;
    }
    std::fflush(stdout);
    return 0;
}
