// Burg AR models, their spectra and band powers, per series of an array.
#include "common.h"

namespace zpy {

void bindSpectral(py::module_& m) {
    m.def("burg", [](const py::handle& x, size_t order, bool demean) {
        Rows r = rows(x, "x");
        auto coefs = shaped(r.lead, {static_cast<py::ssize_t>(order)});
        auto var = shaped(r.lead, {});
        double* c = coefs.mutable_data();
        double* v = var.mutable_data();
        eachRow(r, v, 1, "burg", [&](const double* p, size_t n, double* o) {
            return zemba_burg(p, n, order, demean ? 1 : 0, c + (o - v) * order, o, nullptr);
        });
        return py::make_tuple(coefs, scalarPerRow(r, var));
    });
    m.def("default_order", [](size_t n) {
        size_t o = 0;
        zemba_burg_default_order(n, &o);
        return o;
    });
    m.def("burg_psd", [](const py::handle& x, double sfreq, size_t order, const py::handle& f) {
        Rows r = rows(x, "x");
        Series freqs = Series::ensure(f);
        const size_t k = static_cast<size_t>(freqs.size());
        auto out = shaped(r.lead, {static_cast<py::ssize_t>(k)});
        size_t bad = k;
        eachRow(r, out.mutable_data(), k, "burg_psd", [&](const double* p, size_t n, double* o) {
            return zemba_burg_psd(p, n, sfreq, order, freqs.data(), k, o, &bad);
        });
        return out;
    });
    m.def("band_powers", [](const py::handle& x, double sfreq, size_t order, const py::handle& b, bool relative) {
        Rows r = rows(x, "x");
        Series bands = Series::ensure(b);
        const size_t k = static_cast<size_t>(bands.size() / 2);
        auto out = shaped(r.lead, {static_cast<py::ssize_t>(k)});
        size_t bad = k;
        eachRow(r, out.mutable_data(), k, "band_powers", [&](const double* p, size_t n, double* o) {
            return zemba_band_powers(p, n, sfreq, order, bands.data(), k, relative ? 1 : 0, o, &bad);
        });
        return out;
    });
}

}  // namespace zpy
