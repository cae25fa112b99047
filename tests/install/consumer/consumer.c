/* Built against an installed zemba (CMake package or pkg-config): the core's
 * status text, version and finiteness scan, and with WITH_ORIGINAL one routine
 * of the original interface. Exits 0 when every check holds. */
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <zemba/core.h>
#ifdef WITH_ORIGINAL
#include <zemba.h>
#endif

static int failures = 0;

static void check(int ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "failed: %s\n", what);
        ++failures;
    }
}

int main(void) {
    check(strcmp(zemba_status_string(ZEMBA_OK), "success") == 0, "status text of ZEMBA_OK");
    check(strcmp(zemba_status_string(ZEMBA_E_NONFINITE), zemba_status_string(ZEMBA_OK)) != 0,
          "status texts differ");
#ifdef EXPECTED_VERSION
    check(strcmp(zemba_version(), EXPECTED_VERSION) == 0, "library version is the package version");
#endif

    const double x[5] = {0.5, -1.0, NAN, 2.0, INFINITY};
    size_t at = 99;
    check(zemba_first_nonfinite(x, 5, &at) == ZEMBA_E_NONFINITE && at == 2, "first non-finite index");
    check(zemba_first_nonfinite(x, 2, &at) == ZEMBA_OK && at == 2, "finite prefix");

#ifdef WITH_ORIGINAL
    /* Horizontal visibility of 3 1 2 1 3: the four neighbour pairs, 0-2, 2-4
     * and 0-4 (everything between lower than both ends): 7 edges. */
    double series[5] = {3.0, 1.0, 2.0, 1.0, 3.0};
    double out[6];
    int n = 5;
    check(Z_ZEMBA(series, &n, out) == 14.0, "degree sum of the original interface");
#endif
    if (failures == 0) printf("consumer: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
