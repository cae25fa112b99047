/* zemba core: graphs kernels (include zemba/core.h rather than this file). */
#ifndef ZEMBA_CORE_GRAPHS_H
#define ZEMBA_CORE_GRAPHS_H

#include "zemba/core.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
