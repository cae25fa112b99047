/* Registers the package's .Call routines; no symbol is looked up by name. */
#include <R.h>
#include <Rinternals.h>
#include <R_ext/Rdynload.h>

SEXP zr_perm_entropy(SEXP, SEXP, SEXP, SEXP);
SEXP zr_regularity(SEXP, SEXP, SEXP, SEXP);
SEXP zr_vg_degrees(SEXP, SEXP, SEXP);
SEXP zr_vg_edges(SEXP, SEXP, SEXP, SEXP, SEXP);
SEXP zr_irreversibility(SEXP, SEXP, SEXP);
SEXP zr_mutual_information(SEXP, SEXP, SEXP);
SEXP zr_burg(SEXP, SEXP, SEXP);
SEXP zr_band_powers(SEXP, SEXP, SEXP, SEXP, SEXP);
SEXP zr_default_bands(void);
SEXP zr_read_trial(SEXP);
SEXP zr_version(void);

static const R_CallMethodDef calls[] = {
    {"zr_perm_entropy", (DL_FUNC)&zr_perm_entropy, 4},
    {"zr_regularity", (DL_FUNC)&zr_regularity, 4},
    {"zr_vg_degrees", (DL_FUNC)&zr_vg_degrees, 3},
    {"zr_vg_edges", (DL_FUNC)&zr_vg_edges, 5},
    {"zr_irreversibility", (DL_FUNC)&zr_irreversibility, 3},
    {"zr_mutual_information", (DL_FUNC)&zr_mutual_information, 3},
    {"zr_burg", (DL_FUNC)&zr_burg, 3},
    {"zr_band_powers", (DL_FUNC)&zr_band_powers, 5},
    {"zr_default_bands", (DL_FUNC)&zr_default_bands, 0},
    {"zr_read_trial", (DL_FUNC)&zr_read_trial, 1},
    {"zr_version", (DL_FUNC)&zr_version, 0},
    {NULL, NULL, 0}};

void R_init_zemba(DllInfo* dll) {
    R_registerRoutines(dll, NULL, calls, NULL, NULL);
    R_useDynamicSymbols(dll, FALSE);
    R_forceSymbols(dll, TRUE);
}
