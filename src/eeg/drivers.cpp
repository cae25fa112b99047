// Channel-pair drivers over the loaded EEG table: every pair of channels is
// compared through the horizontal visibility degree sequences of their first
// trial, by graph matching (RunHVGS) or by mutual information (RunMI).
// out[0] = mean over the pairs, out[1 + c] = pair sum of channel c / nch.
#include <cstdio>

#include "frame/diag.h"
#include "frame/arith.h"
#include "zemba.h"

namespace {

constexpr int kMaxRunMIChannels = ZEMBA_CHANNELS;
constexpr int kMaxRunMILength = ZEMBA_DEGREE_VALUE_CAP / 2;  // degrees and weights in DegreeValue

// Degree sequence of channel c (first len samples) into DegreeValue.
void degreesOf(int c, int len, int mode) {
    int n = len;
    int m = mode;
    getHVGAdjMatrix(myData.samples[c], &n, &m, DegreeValue);
}

}  // namespace

double* RunHVGS(int nch, int len, double* out) {
    if (nch < 1 || nch > ZEMBA_DEGREE_ROWS || len < 0 || len > ZEMBA_DEGREE_COLS) return nullptr;
    for (int c = 0; c < nch; ++c) {
        degreesOf(c, len, 2);
        for (int i = 0; i < len; ++i) DegreeMatrix[c][i] = DegreeValue[i];
    }
    double acc[ZEMBA_CHANNELS] = {};
    double sum = 0.0;
    for (int a = 0; a < nch - 1; ++a) {
        for (int b = a + 1; b < nch; ++b) {
            const double s = Z_HVG_Match(static_cast<const int*>(DegreeMatrix[a]),
                                         static_cast<const int*>(DegreeMatrix[b]), len);
            sum += s;
            acc[a] += s;
            acc[b] += s;
        }
    }
    out[0] = sum / static_cast<double>(zemba::wrapMul(nch, nch - 1));
    for (int c = 0; c < nch; ++c) out[1 + c] = acc[c] / nch;
    zemba::diag::printf("sum=%6.1f, r[%d]=%7.5f\n", out[0], nch, out[nch]);
    return out;
}

double* RunMI(int nch, int len, double* out) {
    if (nch < 1 || nch > kMaxRunMIChannels || len < 0 || len > kMaxRunMILength) return nullptr;
    for (int c = 0; c < nch; ++c) {
        degreesOf(c, len, 4);
        for (int i = 0; i < len; ++i) SlopMatrix[c][i] = static_cast<double>(DegreeValue[i]);
    }
    double acc[ZEMBA_CHANNELS] = {};
    double sum = 0.0;
    for (int a = 0; a < nch - 1; ++a) {
        for (int b = a + 1; b < nch; ++b) {
            double s = 0.0;
            int n = len;
            calculateMutualInformation(SlopMatrix[a], SlopMatrix[b], &n, &s);
            sum += s;
            acc[a] += s;
            acc[b] += s;
        }
    }
    out[0] = sum / static_cast<double>(zemba::wrapMul(nch, nch - 1));
    zemba::diag::printf("sum=%6.1f\n", out[0]);
    for (int c = 0; c < nch; ++c) out[1 + c] = acc[c] / nch;
    return out;
}
