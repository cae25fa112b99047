// Burg spectra and band powers: against scipy.integrate.quad of the same
// spectrum (golden.txt), the term-by-term spectrum and the model variance in
// closed form; band and frequency checks, defaults and statuses.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/spectral/golden.h"
#include "reference/spectral.h"
#include "support/series.h"
#include "zemba/core.h"

namespace {

std::vector<double> bandPowers(const std::vector<double>& x, double sfreq, size_t order,
                               const std::vector<double>& bands, int relative) {
    std::vector<double> out(bands.size() / 2, -1.0);
    EXPECT_EQ(zemba_band_powers(x.data(), x.size(), sfreq, order, bands.data(), out.size(), relative, out.data(),
                                nullptr),
              ZEMBA_OK);
    return out;
}

std::vector<double> modelPowers(const std::vector<double>& a, double var, double sfreq,
                                const std::vector<double>& bands, int relative) {
    std::vector<double> out(bands.size() / 2, -1.0);
    EXPECT_EQ(zemba_ar_band_powers(a.data(), a.size(), var, sfreq, bands.data(), out.size(), relative, out.data(),
                                   nullptr),
              ZEMBA_OK);
    return out;
}

void expectRelative(const std::vector<double>& got, const std::vector<double>& want, const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-9 * std::fabs(want[i])) << what << i;
}

struct Sample {
    std::string name;
    std::vector<double> x;
    double sfreq;
};

// White noise, a random walk and two tones under noise 1e-8 of their power.
std::vector<Sample> samples() {
    std::vector<double> tones = zemba_test::series(4000, 24, 0, 1.0);
    for (size_t i = 0; i < tones.size(); ++i) tones[i] = 1e-8 * tones[i] + std::sin(0.2 * i) + 0.3 * std::sin(1.7 * i);
    return {{"white", zemba_test::series(1000, 21, 0, 1.0), 256.0},
            {"walk", zemba_test::series(3000, 22, 1, 1.0), 173.61},
            {"tones", tones, 100.0}};
}

}  // namespace

TEST(CoreBandPowers, AgreeWithScipyQuad) {
    int series = 0;
    for (const auto& c : zemba_test::goldenCases()) {
        if (c.sfreq == 0.0) continue;
        // statsmodels' model integrated here, and the whole path from the series.
        expectRelative(modelPowers(c.coefs, c.variance, c.sfreq, c.bands, 0), c.power, c.name);
        expectRelative(modelPowers(c.coefs, c.variance, c.sfreq, c.bands, 1), c.relative, c.name + " relative");
        if (c.model) continue;
        expectRelative(bandPowers(c.x, c.sfreq, c.order, c.bands, 0), c.power, c.name + " series");
        expectRelative(bandPowers(c.x, c.sfreq, c.order, c.bands, 1), c.relative, c.name + " series relative");
        std::vector<double> psd(c.freqs.size());
        EXPECT_EQ(zemba_burg_psd(c.x.data(), c.x.size(), c.sfreq, c.order, c.freqs.data(), c.freqs.size(), psd.data(),
                                 nullptr),
                  ZEMBA_OK);
        expectRelative(psd, c.psd, c.name + " psd");
        ++series;
    }
    EXPECT_GE(series, 6);
}

TEST(CoreBandPowers, SpectrumAndItsIntegralMatchClosedForms) {
    for (const Sample& s : samples())
        for (size_t order : {1u, 2u, 8u, 16u, 40u}) {
            std::vector<double> a(order);
            double var = 0;
            ASSERT_EQ(zemba_burg(s.x.data(), s.x.size(), order, 1, a.data(), &var, nullptr), ZEMBA_OK);
            const std::string what = s.name + " order " + std::to_string(order);
            // The density against its terms summed in long double.
            std::vector<double> freqs, psd(201);
            for (int i = 0; i <= 200; ++i) freqs.push_back(s.sfreq / 2 * i / 200);
            ASSERT_EQ(zemba_ar_psd(a.data(), order, var, s.sfreq, freqs.data(), 201, psd.data(), nullptr), ZEMBA_OK);
            const std::vector<long double> al(a.begin(), a.end());
            for (size_t i = 0; i < freqs.size() && s.name != "tones"; ++i) {
                const double want = static_cast<double>(zemba_reference::arPsd(freqs[i], al, var, s.sfreq));
                EXPECT_NEAR(psd[i], want, 1e-11 * want) << what << " f=" << freqs[i];
            }
            // Up to Nyquist: var / prod (1 - r^2) of these coefficients,
            // stepped down in quad precision (the tones' peaks are 1e-15 wide).
            const double want = static_cast<double>(zemba_reference::arModelVariance<__float128>(a, var));
            const double whole = modelPowers(a, var, s.sfreq, {0.0, s.sfreq / 2}, 0)[0];
            EXPECT_NEAR(whole, want, 1e-9 * want) << what;
            EXPECT_EQ(bandPowers(s.x, s.sfreq, order, {0.0, s.sfreq / 2}, 0)[0], whole) << what;
        }
    for (double r : {0.99, 0.9999999})
        for (double w : {0.01, 1.3, 3.1}) {
            zemba_reference::Ar2 ar(r, w);
            const double total = modelPowers({ar.d[0], ar.d[1]}, 0.5, 100.0, {0.0, 50.0}, 0)[0];
            EXPECT_NEAR(total, 0.5 * ar.variance, 0.5e-9 * ar.variance) << r << " " << w;
        }
}

TEST(CoreBandPowers, RelativePowersOfAPartitionSumToOne) {
    for (const Sample& s : samples()) {
        const double nyq = s.sfreq / 2;
        const std::vector<double> bands = {0.0, 0.5, 0.5, 4, 4, 8, 8, 13, 13, 30, 30, 45, 45, nyq};
        const std::vector<double> rel = bandPowers(s.x, s.sfreq, 16, bands, 1);
        const std::vector<double> abs = bandPowers(s.x, s.sfreq, 16, bands, 0);
        const double total = bandPowers(s.x, s.sfreq, 16, {0.0, nyq}, 0)[0];
        double sum = 0;
        for (size_t i = 0; i < rel.size(); ++i) {
            sum += rel[i];
            EXPECT_EQ(rel[i], abs[i] / total) << s.name << " " << i;
        }
        EXPECT_NEAR(sum, 1.0, 2e-9) << s.name;  // each band and the total to 1e-9
    }
}

TEST(CoreBandPowers, BandsAndFrequenciesMayEndAtNyquistAndNotBeyond) {
    const auto x = zemba_test::series(400, 30, 0, 1.0);
    const std::vector<double> a(8, 0.05);
    double out[3] = {7, 7, 7};
    size_t bad = 99;
    const double ok[] = {1, 2, 0, 50, 25, 50};
    EXPECT_EQ(zemba_band_powers(x.data(), 400, 100.0, 8, ok, 3, 0, out, &bad), ZEMBA_OK);
    EXPECT_EQ(bad, 3u);
    const double above = std::nextafter(50.0, 100.0), nan = std::nan("");
    const struct {
        double edges[6];
        size_t index;
    } rejected[] = {{{1, 2, 0, above, 3, 4}, 1}, {{1, 2, 3, 4, 60, 70}, 2}, {{-1e-9, 2, 3, 4, 5, 6}, 0},
                    {{1, 2, 4, 3, 5, 6}, 1},     {{1, 2, 3, nan, 5, 6}, 1}, {{1, 2, 3, HUGE_VAL, 5, 6}, 1}};
    for (const auto& r : rejected) {
        double o[3] = {7, 7, 7};
        EXPECT_EQ(zemba_band_powers(x.data(), 400, 100.0, 8, r.edges, 3, 0, o, &bad), ZEMBA_E_ARGUMENT);
        EXPECT_EQ(bad, r.index);
        EXPECT_EQ(zemba_ar_band_powers(a.data(), 8, 1.0, 100.0, r.edges, 3, 1, o, &bad), ZEMBA_E_ARGUMENT);
        EXPECT_EQ(bad, r.index);
        EXPECT_EQ(o[0], 7.0);
    }
    // The default gamma band (30-45 Hz) needs a rate of 90 Hz.
    EXPECT_EQ(zemba_band_powers(x.data(), 400, 80.0, ZEMBA_ORDER_AUTO, nullptr, 5, 0, out, &bad), ZEMBA_E_ARGUMENT);
    EXPECT_EQ(bad, 4u);
    double five[5];
    EXPECT_EQ(zemba_band_powers(x.data(), 400, 90.0, ZEMBA_ORDER_AUTO, nullptr, 5, 0, five, &bad), ZEMBA_OK);
    const double freqs[] = {0, 50, 51};
    EXPECT_EQ(zemba_burg_psd(x.data(), 400, 100.0, 8, freqs, 3, out, &bad), ZEMBA_E_ARGUMENT);
    EXPECT_EQ(bad, 2u);
    EXPECT_EQ(zemba_ar_psd(a.data(), 8, 1.0, 100.0, freqs, 2, out, &bad), ZEMBA_OK);
    EXPECT_EQ(bad, 2u);
    for (double fs : {0.0, -1.0, nan, HUGE_VAL}) {
        EXPECT_EQ(zemba_band_powers(x.data(), 400, fs, 4, ok, 1, 0, out, &bad), ZEMBA_E_ARGUMENT) << fs;
        EXPECT_EQ(bad, 1u);
        EXPECT_EQ(zemba_ar_psd(a.data(), 8, 1.0, fs, freqs, 1, out, nullptr), ZEMBA_E_ARGUMENT) << fs;
    }
}

TEST(CoreBandPowers, DefaultsOrderAndZeroVariance) {
    const char* names[] = {"delta", "theta", "alpha", "beta", "gamma"};
    const double edges[] = {0.5, 4, 4, 8, 8, 13, 13, 30, 30, 45};
    for (size_t i = 0; i < 5; ++i) {
        const char* name = nullptr;
        double lo = 0, hi = 0;
        EXPECT_EQ(zemba_default_band(i, &name, &lo, &hi), ZEMBA_OK);
        EXPECT_STREQ(name, names[i]);
        EXPECT_EQ(lo, edges[2 * i]);
        EXPECT_EQ(hi, edges[2 * i + 1]);
    }
    EXPECT_EQ(zemba_default_band(5, nullptr, nullptr, nullptr), ZEMBA_E_ARGUMENT);
    // NULL bands are the defaults; the automatic order is trunc(sqrt(700) + 0.5).
    const auto x = zemba_test::series(700, 31, 1, 1.0);
    double a[5], b[5];
    EXPECT_EQ(zemba_band_powers(x.data(), 700, 256.0, ZEMBA_ORDER_AUTO, nullptr, 5, 0, a, nullptr), ZEMBA_OK);
    EXPECT_EQ(bandPowers(x, 256.0, 26, std::vector<double>(edges, edges + 10), 0), std::vector<double>(a, a + 5));
    EXPECT_EQ(zemba_band_powers(x.data(), 700, 256.0, 26, nullptr, 3, 0, b, nullptr), ZEMBA_E_ARGUMENT);
    EXPECT_EQ(zemba_burg_psd(x.data(), 700, 256.0, ZEMBA_ORDER_AUTO, edges + 2, 1, a, nullptr), ZEMBA_OK);
    EXPECT_EQ(zemba_burg_psd(x.data(), 700, 256.0, 26, edges + 2, 1, b, nullptr), ZEMBA_OK);
    EXPECT_EQ(a[0], b[0]);
    // A flat series: no power, relative powers undefined, a zero density.
    const std::vector<double> flat(100, 3.25);
    EXPECT_EQ(bandPowers(flat, 100.0, 4, {0, 10, 10, 50}, 0), std::vector<double>(2, 0.0));
    EXPECT_TRUE(std::isnan(bandPowers(flat, 100.0, 4, {0, 10}, 1)[0]));
    EXPECT_EQ(zemba_burg_psd(flat.data(), 100, 100.0, 4, edges, 1, a, nullptr), ZEMBA_OK);
    EXPECT_EQ(a[0], 0.0);
    // Order 0: a flat density 2 var / sfreq.
    EXPECT_EQ(zemba_burg_psd(std::vector<double>{1.0, 3.0}.data(), 2, 10.0, 0, edges, 1, a, nullptr), ZEMBA_OK);
    EXPECT_EQ(a[0], 0.2);
}

TEST(CoreBandPowers, Statuses) {
    auto x = zemba_test::series(64, 32, 0, 1.0);
    const double bands[] = {1, 2}, f[] = {1};
    double out[1] = {7}, a[3] = {0.1, 0.2, 0.1};
    // order >= n; the automatic order reaches n at n = 1.
    EXPECT_EQ(zemba_band_powers(x.data(), 8, 10.0, 8, bands, 1, 0, out, nullptr), ZEMBA_E_TOO_SHORT);
    EXPECT_EQ(zemba_band_powers(x.data(), 1, 10.0, ZEMBA_ORDER_AUTO, bands, 1, 0, out, nullptr), ZEMBA_E_TOO_SHORT);
    EXPECT_EQ(zemba_band_powers(x.data(), 0, 10.0, ZEMBA_ORDER_AUTO, bands, 1, 0, out, nullptr), ZEMBA_E_TOO_SHORT);
    EXPECT_EQ(zemba_burg_psd(x.data(), 3, 10.0, 3, f, 1, out, nullptr), ZEMBA_E_TOO_SHORT);
    EXPECT_EQ(zemba_band_powers(x.data(), 2, 10.0, ZEMBA_ORDER_AUTO, bands, 1, 0, out, nullptr), ZEMBA_OK);
    // Non-finite samples, coefficients and variances; negative variance.
    x[40] = std::nan("");
    out[0] = 7;
    EXPECT_EQ(zemba_band_powers(x.data(), 64, 10.0, 4, bands, 1, 0, out, nullptr), ZEMBA_E_NONFINITE);
    EXPECT_EQ(zemba_burg_psd(x.data(), 64, 10.0, 4, f, 1, out, nullptr), ZEMBA_E_NONFINITE);
    a[1] = HUGE_VAL;
    EXPECT_EQ(zemba_ar_band_powers(a, 3, 1.0, 10.0, bands, 1, 0, out, nullptr), ZEMBA_E_NONFINITE);
    EXPECT_EQ(zemba_ar_psd(a, 3, 1.0, 10.0, f, 1, out, nullptr), ZEMBA_E_NONFINITE);
    a[1] = 0.2;
    EXPECT_EQ(zemba_ar_band_powers(a, 3, std::nan(""), 10.0, bands, 1, 0, out, nullptr), ZEMBA_E_NONFINITE);
    EXPECT_EQ(zemba_ar_band_powers(a, 3, -1.0, 10.0, bands, 1, 0, out, nullptr), ZEMBA_E_ARGUMENT);
    EXPECT_EQ(out[0], 7.0);
    // Null pointers; empty requests need none.
    EXPECT_EQ(zemba_band_powers(nullptr, 64, 10.0, 4, bands, 1, 0, out, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_band_powers(x.data(), 64, 10.0, 4, bands, 1, 0, nullptr, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_ar_band_powers(nullptr, 3, 1.0, 10.0, bands, 1, 0, out, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_ar_psd(a, 3, 1.0, 10.0, nullptr, 1, out, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_ar_psd(nullptr, 0, 1.0, 10.0, nullptr, 0, nullptr, nullptr), ZEMBA_OK);
    EXPECT_EQ(zemba_ar_band_powers(nullptr, 0, 1.0, 10.0, bands, 0, 0, nullptr, nullptr), ZEMBA_OK);
}
