/*
 * zemba core — reentrant kernels for nonlinear and information-theoretic
 * features of time series, with a plain C interface.
 *
 * Every function:
 *   - returns a zemba_status (ZEMBA_OK = 0 on success; zemba_status_string()
 *     turns any status into one line of text);
 *   - takes lengths as size_t and has no limit on them but memory;
 *   - writes only into outputs the caller owns and sized as its comment says
 *     (where the size depends on the data, a count call comes first);
 *   - keeps no state between calls, prints nothing and is safe to call from
 *     any number of threads at once;
 *   - rejects NaN and infinite samples with ZEMBA_E_NONFINITE before it writes
 *     anything (zemba_first_nonfinite() names the first such index).
 * On any status other than ZEMBA_OK the outputs are left untouched unless the
 * function says otherwise.
 *
 * Link with -lzemba-core (pkg-config zemba-core; CMake: find_package(zemba
 * CONFIG), target zemba::core).
 */
#ifndef ZEMBA_CORE_H
#define ZEMBA_CORE_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(ZEMBA_CORE_BUILD) || defined(ZEMBA_CORE_STATIC)
#define ZEMBA_CORE_API
#else
#define ZEMBA_CORE_API __declspec(dllimport)
#endif
#else
#define ZEMBA_CORE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef enum zemba_status {
    ZEMBA_OK = 0,
    ZEMBA_E_NULL = 1,          /* a required pointer is NULL */
    ZEMBA_E_ARGUMENT = 2,      /* a parameter is out of its range */
    ZEMBA_E_NONFINITE = 3,     /* a sample is NaN or infinite */
    ZEMBA_E_TOO_SHORT = 4,     /* the series is too short for the parameters */
    ZEMBA_E_NO_MEMORY = 5,     /* working memory could not be allocated */
    ZEMBA_E_CAPACITY = 6,      /* the caller's output is too small */
    ZEMBA_E_OPEN = 7,          /* a file could not be opened or read */
    ZEMBA_E_NOT_REGULAR = 8,   /* a path names a directory, FIFO or device */
    ZEMBA_E_FORMAT = 9,        /* a file's content is not of the expected form */
    ZEMBA_E_INCOMPLETE = 10,   /* a file ends before delivering every value */
    ZEMBA_E_UNSUPPORTED = 11   /* not available in this build (e.g. gzip) */
} zemba_status;

/* One line describing status (never NULL; unknown codes read "unknown status"). */
ZEMBA_CORE_API const char* zemba_status_string(int status);

/* Version of the core as "MAJOR.MINOR.PATCH". */
ZEMBA_CORE_API const char* zemba_version(void);

/* Index of the first NaN or infinite value of x[0..n) in *index, and
 * ZEMBA_E_NONFINITE; ZEMBA_OK (and *index = n) when every value is finite. */
ZEMBA_CORE_API int zemba_first_nonfinite(const double* x, size_t n, size_t* index);

#ifdef __cplusplus
}
#endif

#include "zemba/core/graphs.h"
#include "zemba/core/entropy.h"
#include "zemba/core/info.h"
#include "zemba/core/regularity.h"
#include "zemba/core/spectral.h"
#include "zemba/core/similarity.h"
#include "zemba/core/eeg.h"

#endif
