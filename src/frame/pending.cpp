// Temporary weak placeholders so the library links while routines are being
// written; each real definition overrides its placeholder. Removed once every
// routine exists.
#include "zemba.h"

#define WEAK __attribute__((weak))

extern "C" {
WEAK double Z_HVA(double*, int*, int*, double*) { return 0; }
WEAK double Z_ZEMBA(double*, int*, double*) { return 0; }
WEAK void getHVGAdjMatrix(double*, int*, int*, int*) {}
WEAK double* getDegreeDistribute_int(int*, int*, int*, int*, double* d) { return d; }
WEAK double* getDegreeClusterDistribute(double*, double*, int*, int*, int*, double* d) { return d; }
WEAK void getZEMBG_4features(int*, int, double*) {}
WEAK double Z_ZEMBA_Entropy(double*, int, int) { return 0; }
WEAK double Z_ZEMBA_KLD(double*, int*, double*) { return 0; }
WEAK double getVGFast(double*, int*, int*, int*, int*) { return 0; }
WEAK double getRevVGFast(double*, int*, int*, int*, int*) { return 0; }
WEAK void getRecurrenceAdj(double*, int*, int*, int*, double*) {}
WEAK void Z_DTW(double*, void*, int*, double*) {}
WEAK void calculatePermutationEntropy(double*, int*, int*, double*) {}
WEAK void calculateDelayPermutationEntropy(double*, int*, int*, int*, double*) {}
WEAK void MultiScale_DPE(double*, int*, int*, int*, int*, double*) {}
WEAK void DDPE(double*, int*, int*, int*, double*) {}
WEAK void HVG_Entropy(double*, int*, int*, int*, double*) {}
WEAK void calculateMutualInformation(double*, double*, int*, double*) {}
WEAK double Calculate_Correlation(int*, int*, int) { return 0; }
WEAK void sampen_1(double*, int*, double*, int*, double*) {}
WEAK void AppEn1(double*, int*, int*, double*, double*) {}
WEAK void memse(double*, int*, double*, double*) {}
WEAK double Z_HVG_Match(int*, int*, int*, void*, void*, double*) { return 0; }
WEAK double Z_HVG_Match_back(int*, int*, int*, void*, void*, double*) { return 0; }
WEAK double Z_HVGS(int*, int*, int*, double*, double*, double*) { return 0; }
WEAK void LoadAlcoholFile(char**, int*, int*, void*, char**, void*, double*) {}
}

WEAK double Z_HVG_Match(int const*, int const*, int) { return 0; }
WEAK void FastDPE(double const*, int const*, int const*, int const*, double*) {}
WEAK int normaliseArray(double*, int*, int) { return 0; }
WEAK int normaliseArray(int const*, int*, int) { return 0; }
WEAK JointProbabilityResult calculateJointProbability(double*, double*, int) { return {}; }
WEAK JointProbabilityResult calculateJointProbability(int const*, int const*, int) { return {}; }
WEAK double CalculateVariane(int const*, double, int) { return 0; }
WEAK double Calculate_Covariance(int const*, int const*, int, double&, double&) { return 0; }
WEAK double Calculate_Correlation_double(double const*, double const*, int) { return 0; }
WEAK double evlmem(double, double*, long, double) { return 0; }
WEAK double integ(double*, long, double, double, double, double) { return 0; }
WEAK double band_power(double, double, double*, long, double) { return 0; }
WEAK int memcof(double const*, long, long, double&, double*) { return 0; }
WEAK double* RunHVGS(int, int, double*) { return nullptr; }
WEAK double* RunMI(int, int, double*) { return nullptr; }
WEAK int getRecurrenceMatrix(double const*, int, int, int) { return 0; }
WEAK double normalize(double*, int) { return 0; }
WEAK void sampen2(double const*, int const*, double const*, int const*, double*) {}
WEAK void sampen(double const*, int*, double const*, int const*, double*) {}
WEAK double SmEn(double const*, int const*, double const*, int const*, double*) { return 0; }
WEAK double ApEn(double const*, unsigned int, unsigned int, double, double) { return 0; }
