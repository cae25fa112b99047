// Status texts, the version string and the finiteness scan shared by every kernel.
#include <cmath>

#include "core/frame/checks.h"
#include "zemba/core.h"

extern "C" const char* zemba_status_string(int status) {
    switch (status) {
        case ZEMBA_OK: return "success";
        case ZEMBA_E_NULL: return "a required pointer is NULL";
        case ZEMBA_E_ARGUMENT: return "a parameter is out of its range";
        case ZEMBA_E_NONFINITE: return "the input holds a NaN or infinite value";
        case ZEMBA_E_TOO_SHORT: return "the series is too short for the parameters";
        case ZEMBA_E_NO_MEMORY: return "out of memory";
        case ZEMBA_E_CAPACITY: return "the output is too small";
        case ZEMBA_E_OPEN: return "the file could not be opened or read";
        case ZEMBA_E_NOT_REGULAR: return "not a regular file";
        case ZEMBA_E_FORMAT: return "the file is not of the expected form";
        case ZEMBA_E_INCOMPLETE: return "the file ends before every value is read";
        case ZEMBA_E_UNSUPPORTED: return "not supported by this build";
        default: return "unknown status";
    }
}

extern "C" const char* zemba_version(void) { return ZEMBA_VERSION_STRING; }

extern "C" int zemba_first_nonfinite(const double* x, size_t n, size_t* index) {
    if (!x && n) return ZEMBA_E_NULL;
    size_t i = zemba::core::firstNonfinite(x, n);
    if (index) *index = i;
    return i < n ? ZEMBA_E_NONFINITE : ZEMBA_OK;
}
