// The instruction-set dispatcher: the ZEMBA_ISA cap, and every per-width
// operation at every width this machine offers against the scalar expression
// it stands for, bit for bit, on signed zeros, NaN, infinities, subnormals and
// the edges of the int32 range; the float lanes too.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "core/frame/dispatch.h"

using zemba::core::Isa;

namespace {

uint64_t bitsOf(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

uint32_t bitsOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// The values every operation is tried on (pairs a[i], b[i] for the binary ones).
std::vector<double> probeValues() {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    const double tiny = std::numeric_limits<double>::denorm_min();
    std::vector<double> v = {0.0,         -0.0,         1.0,           -1.0,          2.5,          -2.5,
                             0.1,         -0.7,         inf,           -inf,          nan,          -nan,
                             tiny,        -tiny,        1e300,         -1e-300,       2147483647.5, 2147483648.0,
                             -2147483648.0, -2147483648.5, -2147483649.0, 4e9,         -4e9,         3.0,
                             1e-10,       123456.789,   -0.5,          0.5,           7.0,          -7.25};
    // and some ordinary values, so that every lane of every width sees a mix
    for (int i = 0; i < 34; ++i) v.push_back(std::ldexp(static_cast<double>((i * 37) % 23) - 11.0, i % 7 - 3));
    return v;
}

struct Results {
    explicit Results(size_t n)
        : bcast(n), iota(n), arith(n), root(n), mn(n), mx(n), ab(n), fl(n), t32(n), gt(n), gtDirect(n), sums(n), isums(n),
          streamStorage(n + 8), rounded(n), fmn(n), fmx(n), fab(n), fgt(n), widened(n), kept(n), wbcast(n), wiota(n) {
        streamed = streamStorage.data();  // streamed stores need whole-vector alignment
        while (reinterpret_cast<uintptr_t>(streamed) % 64) ++streamed;
    }
    std::vector<double> bcast, iota, arith, root, mn, mx, ab, fl;
    std::vector<int32_t> t32;
    std::vector<unsigned> gt, gtDirect;
    std::vector<double> sums;
    std::vector<int64_t> isums;
    std::vector<double> streamStorage;
    double* streamed;
    // the float lanes: doubles rounded, then min, max, abs, a > b and int32
    // lanes widened; a kept load, an int32 broadcast and the int32 lane numbers
    std::vector<float> rounded, fmn, fmx, fab;
    std::vector<unsigned> fgt;
    std::vector<int64_t> widened;
    std::vector<float> kept;
    std::vector<int32_t> wbcast, wiota;
};

// Runs every operation over a and b (n a multiple of 8) into r.
struct Probe {
    template <class V>
    static ZEMBA_KERNEL int run(const double* a, const double* b, const int64_t* c, const float* fb,
                                const int32_t* c32, size_t n, Results& r) {
        typedef typename V::vd vd;
        typedef typename V::vi vi;
        constexpr int W = V::W;
        vd x, y, t;
        typename V::vi32 k;
        for (size_t i = 0; i < n; i += W) {
            V::load(x, a + i);
            V::load(y, b + i);
            V::broadcast(t, a[i]);
            V::store(&r.bcast[i], t);
            V::iota(t);
            V::store(&r.iota[i], t);
            t = (x - y) * x / y + y;
            V::store(&r.arith[i], t);
            t = x;
            V::sqrt(t);
            V::store(&r.root[i], t);
            t = x;
            V::min(t, y);
            V::store(&r.mn[i], t);
            t = x;
            V::max(t, y);
            V::store(&r.mx[i], t);
            t = x;
            V::abs(t);
            V::store(&r.ab[i], t);
            t = x;
            V::floor(t);
            V::store(&r.fl[i], t);
            V::trunc32(k, x);
            V::store(&r.t32[i], k);
            V::stream(r.streamed + i, x);
            r.gt[i / W] = V::bits(x > y);
            r.gtDirect[i / W] = V::bitsGreater(x, y);
            r.sums[i / W] = V::sum(x);
            vi m;
            V::load(m, c + i);
            r.isums[i / W] = V::sum(m);
        }
        V::fence();
        // n is a multiple of 16, so of every F
        for (size_t i = 0; i < n; i += W) {
            V::load(x, a + i);
            V::toFloat(&r.rounded[i], x);
        }
        typename V::vf f, g;
        for (size_t i = 0; i < n; i += V::F) {
            V::load(f, &r.rounded[i]);
            V::load(g, fb + i);
            typename V::vf h = f;
            V::min(h, g);
            V::store(&r.fmn[i], h);
            h = f;
            V::max(h, g);
            V::store(&r.fmx[i], h);
            h = f;
            V::abs(h);
            V::store(&r.fab[i], h);
            r.fgt[i / V::F] = V::bitsF(f > g);
            typename V::vw m32;
            V::load(m32, c32 + i);
            vi lo, hi;
            V::widen(lo, hi, m32);
            V::store(&r.widened[i], lo);
            V::store(&r.widened[i + W], hi);
            V::loadKept(h, fb + i);
            V::store(&r.kept[i], h);
            V::broadcast(m32, c32[i]);
            V::store(&r.wbcast[i], m32);
            V::iotaF(m32);
            V::store(&r.wiota[i], m32);
        }
        return W;
    }
};

std::vector<Isa> offered() {
    std::vector<Isa> out;
    for (int w = 0; w <= static_cast<int>(zemba::core::detectedIsa()); ++w) out.push_back(static_cast<Isa>(w));
    return out;
}

}  // namespace

TEST(Dispatch, IsaCapLowersTheChoiceAndNeverRaisesIt) {
    using zemba::core::capIsa;
    for (Isa best : {Isa::sse2, Isa::avx2, Isa::avx512}) {
        EXPECT_EQ(capIsa(best, nullptr), best);
        EXPECT_EQ(capIsa(best, "avx512"), best);
        EXPECT_EQ(capIsa(best, "AVX2"), best);  // names are lower case
        EXPECT_EQ(capIsa(best, ""), best);
        EXPECT_EQ(capIsa(best, "sse2"), Isa::sse2);
        EXPECT_EQ(capIsa(best, "avx2"), best == Isa::sse2 ? Isa::sse2 : Isa::avx2);
    }
    EXPECT_EQ(zemba::core::isa(), capIsa(zemba::core::detectedIsa(), std::getenv("ZEMBA_ISA")));
    EXPECT_EQ(zemba::core::isa(), zemba::core::isa());
}

TEST(Dispatch, EveryOperationAtEveryWidthIsTheScalarExpressionBitForBit) {
    const std::vector<double> values = probeValues();
    // every value against every other one, 8-aligned
    std::vector<double> a, b;
    for (size_t i = 0; i < values.size(); ++i)
        for (size_t j = 0; j < values.size(); j += 3) {
            a.push_back(values[i]);
            b.push_back(values[(i + j) % values.size()]);
        }
    while (a.size() % 16) {
        a.push_back(1.0);
        b.push_back(-1.0);
    }
    const size_t n = a.size();
    std::vector<int64_t> c(n);
    std::vector<float> fb(n);
    std::vector<int32_t> c32(n);
    for (size_t i = 0; i < n; ++i) {
        c[i] = static_cast<int64_t>(i % 13) - 6;
        fb[i] = static_cast<float>(b[i]);
        c32[i] = i % 3 ? static_cast<int32_t>(c[i]) : (i % 2 ? INT32_MIN : INT32_MAX);
    }
    for (Isa which : offered()) {
        SCOPED_TRACE(static_cast<int>(which));
        Results rr(n);
        const int W = zemba::core::dispatchAt<Probe>(which, a.data(), b.data(), c.data(), fb.data(), c32.data(), n, rr);
        ASSERT_EQ(W, 2 << static_cast<int>(which));
        for (size_t i = 0; i < n; ++i) {
            const double x = a[i], y = b[i];
            const size_t lane = i % W, first = i - lane;
            EXPECT_EQ(bitsOf(rr.bcast[i]), bitsOf(a[first])) << i;
            EXPECT_EQ(rr.iota[i], static_cast<double>(lane));
            const double arith = (x - y) * x / y + y;
            if (std::isnan(arith)) EXPECT_TRUE(std::isnan(rr.arith[i])) << x << " " << y;
            else EXPECT_EQ(bitsOf(rr.arith[i]), bitsOf(arith)) << x << " " << y;
            if (std::isnan(x)) {
                EXPECT_TRUE(std::isnan(rr.root[i]));
                EXPECT_TRUE(std::isnan(rr.fl[i]));
            } else {
                EXPECT_EQ(bitsOf(rr.root[i]), bitsOf(std::sqrt(x))) << x;
                EXPECT_EQ(bitsOf(rr.fl[i]), bitsOf(std::floor(x))) << x;
            }
            // std::min / std::max keep the first argument unless the second is
            // strictly smaller / greater: NaN and equal zeros included.
            EXPECT_EQ(bitsOf(rr.mn[i]), bitsOf(y < x ? y : x)) << x << " " << y;
            EXPECT_EQ(bitsOf(rr.mx[i]), bitsOf(x < y ? y : x)) << x << " " << y;
            EXPECT_EQ(bitsOf(rr.ab[i]), bitsOf(x) & ~(uint64_t{1} << 63)) << x;
            const int32_t want = x > -2147483649.0 && x < 2147483648.0 ? static_cast<int32_t>(x) : INT32_MIN;
            EXPECT_EQ(rr.t32[i], want) << x;
            EXPECT_EQ(bitsOf(rr.streamed[i]), bitsOf(x));
            EXPECT_EQ((rr.gt[i / W] >> lane) & 1u, x > y ? 1u : 0u) << x << " " << y;
            EXPECT_EQ((rr.gtDirect[i / W] >> lane) & 1u, x > y ? 1u : 0u) << x << " " << y;
            const float fx = rr.rounded[i], fy = fb[i];
            if (std::isnan(x)) EXPECT_TRUE(std::isnan(fx)) << x;
            else EXPECT_EQ(bitsOf(fx), bitsOf(static_cast<float>(x))) << x;
            EXPECT_EQ(bitsOf(rr.fmn[i]), bitsOf(fy < fx ? fy : fx)) << x << " " << y;
            EXPECT_EQ(bitsOf(rr.fmx[i]), bitsOf(fx < fy ? fy : fx)) << x << " " << y;
            EXPECT_EQ(bitsOf(rr.fab[i]), bitsOf(fx) & ~(uint32_t{1} << 31)) << x;
            EXPECT_EQ((rr.fgt[i / (2 * W)] >> (i % (2 * W))) & 1u, fx > fy ? 1u : 0u) << x << " " << y;
            EXPECT_EQ(rr.widened[i], c32[i]) << i;
            const size_t fLane = i % (2 * W);
            EXPECT_EQ(bitsOf(rr.kept[i]), bitsOf(fy)) << i;
            EXPECT_EQ(rr.wbcast[i], c32[i - fLane]) << i;
            EXPECT_EQ(rr.wiota[i], static_cast<int32_t>(fLane)) << i;
            if (lane == 0) {
                double s = a[i];
                int64_t is = c[i];
                for (int l = 1; l < W; ++l) {
                    s += a[i + l];
                    is += c[i + l];
                }
                if (std::isnan(s)) EXPECT_TRUE(std::isnan(rr.sums[i / W]));
                else EXPECT_EQ(bitsOf(rr.sums[i / W]), bitsOf(s)) << i;
                EXPECT_EQ(rr.isums[i / W], is) << i;
            }
        }
    }
}
