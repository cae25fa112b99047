// .Call entry points of the R package: each takes series as the columns of a
// numeric matrix (R passes t(rows)), calls a core kernel per column and
// returns freshly allocated R vectors. Arguments are checked in R first; a
// kernel status other than ZEMBA_OK stops with its text. Scratch memory comes
// from R_alloc, so nothing leaks when Rf_error jumps out.
#define R_NO_REMAP
#include <R.h>
#include <Rinternals.h>
#include <string.h>

#include "zemba/core.h"

namespace {

void fail(const char* what, int status, R_xlen_t column) {
    Rf_error("%s failed on series %ld: %s", what, (long)column + 1, zemba_status_string(status));
}

size_t series_len(SEXP x) { return Rf_isMatrix(x) ? (size_t)Rf_nrows(x) : (size_t)XLENGTH(x); }
R_xlen_t series_count(SEXP x) { return Rf_isMatrix(x) ? (R_xlen_t)Rf_ncols(x) : 1; }

zemba_vg_options vg_options(SEXP kind, SEXP direction, SEXP weight) {
    zemba_vg_options o;
    zemba_vg_options_init(&o, Rf_asInteger(kind) == 1 ? ZEMBA_VG_NATURAL : ZEMBA_VG_HORIZONTAL);
    if (direction != R_NilValue) o.direction = Rf_asInteger(direction);
    if (weight != R_NilValue) o.weight = Rf_asInteger(weight);
    return o;
}

}  // namespace

extern "C" {

SEXP zr_perm_entropy(SEXP x, SEXP order, SEXP delay, SEXP flags) {
    size_t n = series_len(x);
    R_xlen_t m = series_count(x);
    SEXP out = PROTECT(Rf_allocVector(REALSXP, m));
    for (R_xlen_t j = 0; j < m; ++j) {
        int s = zemba_perm_entropy(REAL(x) + j * n, n, (size_t)Rf_asInteger(order), (size_t)Rf_asInteger(delay),
                                   (unsigned)Rf_asInteger(flags), REAL(out) + j);
        if (s != ZEMBA_OK) fail("perm_entropy", s, j);
    }
    UNPROTECT(1);
    return out;
}

// kind 0: sample entropy, 1: approximate entropy; r holds one tolerance per series.
SEXP zr_regularity(SEXP x, SEXP order, SEXP r, SEXP kind) {
    size_t n = series_len(x);
    R_xlen_t m = series_count(x);
    int approximate = Rf_asInteger(kind);
    SEXP out = PROTECT(Rf_allocVector(REALSXP, m));
    for (R_xlen_t j = 0; j < m; ++j) {
        const double* xj = REAL(x) + j * n;
        int s = approximate ? zemba_approximate_entropy(xj, n, (size_t)Rf_asInteger(order), REAL(r)[j], REAL(out) + j)
                            : zemba_sample_entropy(xj, n, (size_t)Rf_asInteger(order), REAL(r)[j], REAL(out) + j);
        if (s != ZEMBA_OK) fail(approximate ? "approx_entropy" : "sample_entropy", s, j);
    }
    UNPROTECT(1);
    return out;
}

// Degrees (direction undirected) or in/out degrees: an n x m (x 2) real array.
SEXP zr_vg_degrees(SEXP x, SEXP kind, SEXP direction) {
    size_t n = series_len(x);
    R_xlen_t m = series_count(x);
    zemba_vg_options o = vg_options(kind, direction, R_NilValue);
    int directed = o.direction != ZEMBA_VG_UNDIRECTED;
    SEXP out = PROTECT(Rf_allocVector(REALSXP, (R_xlen_t)n * m * (directed ? 2 : 1)));
    size_t* a = (size_t*)R_alloc(n ? n : 1, sizeof(size_t));
    size_t* b = (size_t*)R_alloc(n ? n : 1, sizeof(size_t));
    for (R_xlen_t j = 0; j < m; ++j) {
        const double* xj = REAL(x) + j * n;
        int s = directed ? zemba_vg_directed_degrees(&o, xj, NULL, n, a, b) : zemba_vg_degrees(&o, xj, NULL, n, a);
        if (s != ZEMBA_OK) fail("visibility graph", s, j);
        double* dst = REAL(out) + (R_xlen_t)j * n;
        for (size_t i = 0; i < n; ++i) dst[i] = (double)a[i];
        if (directed) {
            double* dst2 = REAL(out) + (R_xlen_t)n * m + (R_xlen_t)j * n;
            for (size_t i = 0; i < n; ++i) dst2[i] = (double)b[i];
        }
    }
    UNPROTECT(1);
    return out;
}

// Edge list of one series: list(from, to, weight), vertices from 1.
SEXP zr_vg_edges(SEXP x, SEXP kind, SEXP direction, SEXP weight, SEXP bounds) {
    size_t n = (size_t)XLENGTH(x);
    zemba_vg_options o = vg_options(kind, direction, weight);
    o.min_weight = REAL(bounds)[0];
    o.max_weight = REAL(bounds)[1];
    size_t count = 0;
    int s = zemba_vg_edge_count(&o, REAL(x), NULL, n, &count);
    if (s != ZEMBA_OK) fail("vg_edges", s, 0);
    size_t cap = count ? count : 1;
    size_t* from = (size_t*)R_alloc(cap, sizeof(size_t));
    size_t* to = (size_t*)R_alloc(cap, sizeof(size_t));
    SEXP w = PROTECT(Rf_allocVector(REALSXP, (R_xlen_t)count));
    double* wbuf = count ? REAL(w) : (double*)R_alloc(1, sizeof(double));
    s = zemba_vg_edges(&o, REAL(x), NULL, n, cap, from, to, wbuf, &count);
    if (s != ZEMBA_OK) fail("vg_edges", s, 0);
    SEXP f = PROTECT(Rf_allocVector(REALSXP, (R_xlen_t)count));
    SEXP t = PROTECT(Rf_allocVector(REALSXP, (R_xlen_t)count));
    for (size_t e = 0; e < count; ++e) {
        REAL(f)[e] = (double)from[e] + 1;
        REAL(t)[e] = (double)to[e] + 1;
    }
    SEXP out = PROTECT(Rf_allocVector(VECSXP, 3));
    SET_VECTOR_ELT(out, 0, f);
    SET_VECTOR_ELT(out, 1, t);
    SET_VECTOR_ELT(out, 2, w);
    UNPROTECT(4);
    return out;
}

// Seven irreversibility features per series: a 7 x m matrix (column-major).
SEXP zr_irreversibility(SEXP x, SEXP kind, SEXP weight) {
    size_t n = series_len(x);
    R_xlen_t m = series_count(x);
    zemba_vg_options o = vg_options(kind, R_NilValue, weight);
    SEXP out = PROTECT(Rf_allocVector(REALSXP, 7 * m));
    for (R_xlen_t j = 0; j < m; ++j) {
        int s = zemba_vg_irreversibility(&o, REAL(x) + j * n, NULL, n, REAL(out) + 7 * j);
        if (s != ZEMBA_OK) fail("hvg_irreversibility", s, j);
    }
    UNPROTECT(1);
    return out;
}

SEXP zr_mutual_information(SEXP x, SEXP y, SEXP bins) {
    size_t n = series_len(x);
    R_xlen_t m = series_count(x);
    size_t b = (size_t)Rf_asReal(bins);
    SEXP out = PROTECT(Rf_allocVector(REALSXP, m));
    for (R_xlen_t j = 0; j < m; ++j) {
        int s = zemba_mutual_information(REAL(x) + j * n, REAL(y) + j * n, n, b, b, REAL(out) + j);
        if (s != ZEMBA_OK) fail("mutual_information", s, j);
    }
    UNPROTECT(1);
    return out;
}

// Burg fit of one series: list(coefficients, variance, reflection).
SEXP zr_burg(SEXP x, SEXP order, SEXP demean) {
    size_t n = (size_t)XLENGTH(x);
    size_t p = (size_t)Rf_asInteger(order);
    SEXP a = PROTECT(Rf_allocVector(REALSXP, (R_xlen_t)p));
    SEXP k = PROTECT(Rf_allocVector(REALSXP, (R_xlen_t)p));
    SEXP v = PROTECT(Rf_allocVector(REALSXP, 1));
    double one = 0, onek = 0;
    int s = zemba_burg(REAL(x), n, p, Rf_asLogical(demean), p ? REAL(a) : &one, REAL(v), p ? REAL(k) : &onek);
    if (s != ZEMBA_OK) fail("burg", s, 0);
    SEXP out = PROTECT(Rf_allocVector(VECSXP, 3));
    SET_VECTOR_ELT(out, 0, a);
    SET_VECTOR_ELT(out, 1, v);
    SET_VECTOR_ELT(out, 2, k);
    UNPROTECT(4);
    return out;
}

// Band powers: nbands x m. bands is NULL (default bands) or a 2 x nbands matrix; order < 0 is automatic.
SEXP zr_band_powers(SEXP x, SEXP sfreq, SEXP bands, SEXP order, SEXP relative) {
    size_t n = series_len(x);
    R_xlen_t m = series_count(x);
    const double* b = bands == R_NilValue ? NULL : REAL(bands);
    size_t nb = bands == R_NilValue ? ZEMBA_DEFAULT_BAND_COUNT : (size_t)XLENGTH(bands) / 2;
    int ord = Rf_asInteger(order);
    size_t p = ord < 0 ? ZEMBA_ORDER_AUTO : (size_t)ord;
    SEXP out = PROTECT(Rf_allocVector(REALSXP, (R_xlen_t)nb * m));
    for (R_xlen_t j = 0; j < m; ++j) {
        size_t bad = 0;
        int s = zemba_band_powers(REAL(x) + j * n, n, Rf_asReal(sfreq), p, b, nb, Rf_asLogical(relative),
                                  REAL(out) + (R_xlen_t)nb * j, &bad);
        if (s == ZEMBA_E_ARGUMENT && bad < nb) Rf_error("band_powers: band %ld is outside [0, sfreq / 2] or has low > high", (long)bad + 1);
        if (s != ZEMBA_OK) fail("band_powers", s, j);
    }
    UNPROTECT(1);
    return out;
}

// Names and edges of the default bands: list(names, low, high).
SEXP zr_default_bands(void) {
    SEXP nm = PROTECT(Rf_allocVector(STRSXP, ZEMBA_DEFAULT_BAND_COUNT));
    SEXP lo = PROTECT(Rf_allocVector(REALSXP, ZEMBA_DEFAULT_BAND_COUNT));
    SEXP hi = PROTECT(Rf_allocVector(REALSXP, ZEMBA_DEFAULT_BAND_COUNT));
    for (size_t i = 0; i < ZEMBA_DEFAULT_BAND_COUNT; ++i) {
        const char* name = "";
        zemba_default_band(i, &name, REAL(lo) + i, REAL(hi) + i);
        SET_STRING_ELT(nm, (R_xlen_t)i, Rf_mkChar(name));
    }
    SEXP out = PROTECT(Rf_allocVector(VECSXP, 3));
    SET_VECTOR_ELT(out, 0, nm);
    SET_VECTOR_ELT(out, 1, lo);
    SET_VECTOR_ELT(out, 2, hi);
    UNPROTECT(4);
    return out;
}

// One trial file: list(samples (channels x 256), names, subject, group, condition, trial, error).
SEXP zr_read_trial(SEXP path) {
    zemba_trial* t = (zemba_trial*)R_alloc(1, sizeof(zemba_trial));
    size_t line = 0;
    const char* p = Rf_translateChar(STRING_ELT(path, 0));
    int s = zemba_read_trial(p, t, &line);
    if (s != ZEMBA_OK) {
        if (line > 0) Rf_error("read_trial: %s: %s (line %ld)", p, zemba_status_string(s), (long)line);
        Rf_error("read_trial: %s: %s", p, zemba_status_string(s));
    }
    int c = t->channels;
    SEXP samples = PROTECT(Rf_allocMatrix(REALSXP, c, ZEMBA_TRIAL_LENGTH));
    for (int i = 0; i < c; ++i)
        for (int k = 0; k < ZEMBA_TRIAL_LENGTH; ++k) REAL(samples)[i + (R_xlen_t)k * c] = t->samples[i][k];
    SEXP names = PROTECT(Rf_allocVector(STRSXP, c));
    for (int i = 0; i < c; ++i) SET_STRING_ELT(names, i, Rf_mkChar(t->names[i]));
    char group[2] = {t->group, 0};
    SEXP out = PROTECT(Rf_allocVector(VECSXP, 7));
    SET_VECTOR_ELT(out, 0, samples);
    SET_VECTOR_ELT(out, 1, names);
    SET_VECTOR_ELT(out, 2, Rf_mkString(t->subject));
    SET_VECTOR_ELT(out, 3, Rf_mkString(group));
    SET_VECTOR_ELT(out, 4, Rf_ScalarInteger(t->condition));
    SET_VECTOR_ELT(out, 5, Rf_ScalarInteger(t->trial));
    SET_VECTOR_ELT(out, 6, Rf_ScalarLogical(t->error != 0));
    UNPROTECT(3);
    return out;
}

SEXP zr_version(void) { return Rf_mkString(zemba_version()); }

}  // extern "C"
