/* zemba core: entropy kernels (include zemba/core.h rather than this file). */
#ifndef ZEMBA_CORE_ENTROPY_H
#define ZEMBA_CORE_ENTROPY_H

#include "zemba/core.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
