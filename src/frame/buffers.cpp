// The shared work buffers of the library. Everything here is zero at load time
// except the two initialised integers; the zeroed objects live in .bss, so
// capacity that no routine touches costs no physical memory.
#include "zemba.h"

#include <cstddef>

extern "C" {
int32_t ForBiddenLen = 127;
int32_t FREQ_LEN = ZEMBA_FREQ_LEN_CAP;

double jointStateProbs[ZEMBA_MI_CAP];
double secondStateProbs[ZEMBA_MI_CAP];
double firstStateProbs[ZEMBA_MI_CAP];
int32_t jointStateCounts[ZEMBA_MI_CAP];
int32_t secondStateCounts[ZEMBA_MI_CAP];
int32_t firstStateCounts[ZEMBA_MI_CAP];
int32_t secondNormalisedVector[ZEMBA_MI_CAP];
int32_t firstNormalisedVector[ZEMBA_MI_CAP];
int32_t DPE_Sort[ZEMBA_DPE_CAP];
int32_t SaveInt[ZEMBA_SAVEINT_CAP];
int32_t PerList[ZEMBA_PERLIST_CAP];
double SlopMatrix[ZEMBA_NODE_CAP][ZEMBA_NODE_CAP];
stackT SortList1;
NodeRecord inSets[ZEMBA_NODE_CAP];
NodeRecord outSets[ZEMBA_NODE_CAP];
double wk2[ZEMBA_SERIES_CAP];
double wk1[ZEMBA_SERIES_CAP];
double wkm[ZEMBA_BURG_ORDER_CAP];
int32_t DegreeMatrix[ZEMBA_DEGREE_ROWS][ZEMBA_DEGREE_COLS];
int32_t DegreeValue[ZEMBA_DEGREE_VALUE_CAP];
AlcoholTable myData;
double myF[ZEMBA_SAMPEN_RUN_CAP];
double R2[ZEMBA_SAMPEN_RUN_CAP];
double R1[ZEMBA_SAMPEN_RUN_CAP];
double s1[ZEMBA_SAMPEN_M_CAP];
double v2[ZEMBA_SAMPEN_M_CAP];
double v1[ZEMBA_SAMPEN_M_CAP];
int32_t lastrun[ZEMBA_SERIES_CAP];
int32_t run1[ZEMBA_SERIES_CAP];
int32_t run[ZEMBA_SERIES_CAP];
double n2[ZEMBA_SAMPEN_M_CAP];
double n1[ZEMBA_SAMPEN_M_CAP];
double K[ZEMBA_SERIES_CAP];
double myF2[ZEMBA_SAMPEN_RUN_CAP];
double myF1[ZEMBA_SAMPEN_RUN_CAP];
}

// Hosts read these records byte by byte; their layout is part of the interface.
static_assert(sizeof(NodeRecord) == 16, "NodeRecord is 16 bytes");
static_assert(offsetof(NodeRecord, weight) == 8, "NodeRecord.weight at byte 8");
static_assert(sizeof(stackT) == 4 * (ZEMBA_SERIES_CAP + 1), "stackT is items then top");
static_assert(offsetof(stackT, top) == 4 * ZEMBA_SERIES_CAP, "stackT.top after the items");
static_assert(offsetof(AlcoholTable, group) == 0, "group letters at byte 0");
static_assert(offsetof(AlcoholTable, condition) == 4, "condition codes at byte 4");
static_assert(offsetof(AlcoholTable, names) == 12, "channel names at byte 12");
static_assert(offsetof(AlcoholTable, samples) == 472, "samples at byte 472");
static_assert(sizeof(AlcoholTable) == 472 + 8 * ZEMBA_CHANNELS * ZEMBA_TABLE_COLUMNS,
              "table ends after the samples");
