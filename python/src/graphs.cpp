// Visibility graphs of one series (degrees, directed degrees, edges with
// weights) and the irreversibility features of every series of an array.
#include "common.h"

#include <cmath>
#include <cstring>

namespace zpy {
namespace {

zemba_vg_options options(int kind, int direction, int weight, double lo, double hi) {
    zemba_vg_options o;
    zemba_vg_options_init(&o, kind);
    o.direction = direction;
    o.weight = weight;
    o.min_weight = lo;
    o.max_weight = hi;
    return o;
}

using Sizes = py::array_t<int64_t>;

// One graph: {"degrees", "in", "out"} and, unless only_degrees, {"from", "to", "weights"}.
py::dict graph(int kind, int direction, int weight, double lo, double hi, const py::handle& ts,
               const py::handle& xs, bool onlyDegrees) {
    Rows y = rows(ts, "ts");
    if (!y.lead.empty()) throw py::value_error("ts must be one series (1-D)");
    requireFinite(y, "ts");
    Rows t;
    const double* tp = nullptr;
    if (!xs.is_none()) {
        t = rows(xs, "xs");
        if (!t.lead.empty() || t.length != y.length) throw py::value_error("xs must be 1-D, as long as ts");
        requireFinite(t, "xs");
        tp = t.row(0);
    }
    const zemba_vg_options o = options(kind, direction, weight, lo, hi);
    const size_t n = y.length;
    std::vector<size_t> din(n), dout(n), from, to;
    std::vector<double> w;
    int s;
    {
        py::gil_scoped_release unlocked;
        s = zemba_vg_directed_degrees(&o, y.row(0), tp, n, din.data(), dout.data());
        if (s == ZEMBA_OK && !onlyDegrees) {
            size_t count = 0;
            s = zemba_vg_edge_count(&o, y.row(0), tp, n, &count);
            if (s == ZEMBA_OK) {
                from.resize(count); to.resize(count); w.resize(count);
                s = zemba_vg_edges(&o, y.row(0), tp, n, count, from.data(), to.data(), w.data(), &count);
            }
        }
    }
    if (s != ZEMBA_OK) raise(s, "visibility graph");
    auto sizes = [](const std::vector<size_t>& v) {
        Sizes a(static_cast<py::ssize_t>(v.size()));
        std::copy(v.begin(), v.end(), a.mutable_data());
        return a;
    };
    py::dict d;
    d["in"] = sizes(din);
    d["out"] = sizes(dout);
    if (!onlyDegrees) {
        d["from"] = sizes(from);
        d["to"] = sizes(to);
        py::array_t<double> wa(static_cast<py::ssize_t>(w.size()));
        std::copy(w.begin(), w.end(), wa.mutable_data());
        d["weights"] = wa;
    }
    return d;
}

// A new array holding p[0..n-1].
template <class T>
py::array_t<T> copyOf(const T* p, size_t n) {
    py::array_t<T> c(static_cast<py::ssize_t>(n));
    if (n) std::memcpy(c.mutable_data(), p, n * sizeof(T));
    return c;
}

// Degrees only, written straight into the int64 result; keep: (degrees, a
// copy of them for the caller's first read, copies of ts and xs (None when
// not given) for the directed degrees computed later).
py::object degrees(int kind, int direction, int weight, double lo, double hi, const py::handle& ts,
                   const py::handle& xs, bool keep) {
    static_assert(sizeof(size_t) == sizeof(int64_t), "degrees are written as size_t");
    Rows y = rows(ts, "ts");
    if (!y.lead.empty()) throw py::value_error("ts must be one series (1-D)");
    Rows t;
    const double* tp = nullptr;
    if (!xs.is_none()) {
        t = rows(xs, "xs");
        if (!t.lead.empty() || t.length != y.length) throw py::value_error("xs must be 1-D, as long as ts");
        tp = t.row(0);
    }
    const zemba_vg_options o = options(kind, direction, weight, lo, hi);
    Sizes out(static_cast<py::ssize_t>(y.length));
    int s;
    {
        py::gil_scoped_release unlocked;
        s = zemba_vg_degrees(&o, y.row(0), tp, y.length, reinterpret_cast<size_t*>(out.mutable_data()));
    }
    if (s == ZEMBA_E_NONFINITE) {  // the kernel checked; find the sample to name
        requireFinite(y, "ts");
        if (tp) requireFinite(t, "xs");
    }
    if (s != ZEMBA_OK) raise(s, "visibility graph");
    if (!keep) return std::move(out);
    const size_t n = y.length;
    return py::make_tuple(out, copyOf(out.data(), n), copyOf(y.row(0), n),
                          tp ? py::object(copyOf(tp, n)) : py::object(py::none()));
}

py::array_t<double> irreversibility(const py::handle& x, int kind, int weight, double lo, double hi) {
    Rows r = rows(x, "x");
    const zemba_vg_options o = options(kind, ZEMBA_VG_LEFT_TO_RIGHT, weight, lo, hi);
    auto out = shaped(r.lead, {7});
    eachRow(r, out.mutable_data(), 7, "hvg_irreversibility", [&](const double* y, size_t n, double* f) {
        return zemba_vg_irreversibility(&o, y, nullptr, n, f);
    });
    return out;
}

}  // namespace

void bindGraphs(py::module_& m) {
    m.def("vg_graph", &graph, py::arg("kind"), py::arg("direction"), py::arg("weight"), py::arg("min_weight"),
          py::arg("max_weight"), py::arg("ts"), py::arg("xs"), py::arg("only_degrees"));
    m.def("vg_degrees", &degrees, py::arg("kind"), py::arg("direction"), py::arg("weight"), py::arg("min_weight"),
          py::arg("max_weight"), py::arg("ts"), py::arg("xs"), py::arg("keep"));
    m.def("vg_irreversibility", &irreversibility, py::arg("x"), py::arg("kind"), py::arg("weight"),
          py::arg("min_weight"), py::arg("max_weight"));
}

}  // namespace zpy
