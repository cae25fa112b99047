/* zemba core: eeg kernels (include zemba/core.h rather than this file). */
#ifndef ZEMBA_CORE_EEG_H
#define ZEMBA_CORE_EEG_H

#include "zemba/core.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
