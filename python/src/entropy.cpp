// Permutation entropies and the regularity entropies (sample, approximate),
// one value per series; tolerance NaN means 0.2 x each series' SD.
#include "common.h"

#include <pybind11/stl.h>

#include <cmath>

namespace zpy {
namespace {

double tolerance(const double* x, size_t n, double given, int* s) {
    if (!std::isnan(given)) return given;
    double r = 0;
    *s = zemba_default_tolerance(x, n, &r);
    return r;
}

}  // namespace

void bindEntropy(py::module_& m) {
    m.def("perm_entropy", [](const py::handle& x, size_t order, size_t delay, unsigned flags) {
        Rows r = rows(x, "x");
        auto out = shaped(r.lead, {});
        eachRow(r, out.mutable_data(), 1, "perm_entropy", [&](const double* p, size_t n, double* o) {
            return zemba_perm_entropy(p, n, order, delay, flags, o);
        });
        return scalarPerRow(r, out);
    });
    m.def("multiscale_perm_entropy", [](const py::handle& x, std::vector<size_t> scales, size_t order, size_t delay,
                                        unsigned flags) {
        Rows r = rows(x, "x");
        const size_t k = scales.size();
        auto out = shaped(r.lead, {static_cast<py::ssize_t>(k)});
        eachRow(r, out.mutable_data(), k, "multiscale_perm_entropy", [&](const double* p, size_t n, double* o) {
            return zemba_multiscale_perm_entropy(p, n, scales.data(), k, order, delay, flags, o);
        });
        return out;
    });
    m.def("sample_entropy", [](const py::handle& x, size_t order, double tol, bool withSe) {
        Rows r = rows(x, "x");
        auto out = shaped(r.lead, {2});
        eachRow(r, out.mutable_data(), 2, "sample_entropy", [&](const double* p, size_t n, double* o) {
            int s = ZEMBA_OK;
            double t = tolerance(p, n, tol, &s);
            if (s != ZEMBA_OK) return s;
            o[1] = NAN;
            return zemba_sample_entropy_ex(p, n, order, t, o, withSe ? o + 1 : nullptr, nullptr, nullptr);
        });
        return out;
    });
    m.def("app_entropy", [](const py::handle& x, size_t order, double tol) {
        Rows r = rows(x, "x");
        auto out = shaped(r.lead, {});
        eachRow(r, out.mutable_data(), 1, "app_entropy", [&](const double* p, size_t n, double* o) {
            int s = ZEMBA_OK;
            double t = tolerance(p, n, tol, &s);
            if (s != ZEMBA_OK) return s;
            return zemba_approximate_entropy(p, n, order, t, o);
        });
        return scalarPerRow(r, out);
    });
}

}  // namespace zpy
