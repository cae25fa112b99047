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

// Degrees only, written straight into the int64 result; keep: (degrees,
// copies of ts and xs (None when not given) for what is computed later).
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
    return py::make_tuple(out, copyOf(y.row(0), n), tp ? py::object(copyOf(tp, n)) : py::object(py::none()));
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

// vg_degrees(kind, 0, 0, -inf, inf, ts, None, keep) for the common graph
// (unweighted, undirected, index times), called without the general
// argument conversions: on short series they cost as much as the kernel.
PyObject* degreesPlain(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
    try {
        if (nargs != 3) throw py::type_error("vg_degrees_plain(kind, ts, keep) takes 3 arguments");
        const long kind = PyLong_AsLong(args[0]);
        if (kind == -1 && PyErr_Occurred()) throw py::error_already_set();
        const int keep = PyObject_IsTrue(args[2]);
        if (keep < 0) throw py::error_already_set();
        return degrees(static_cast<int>(kind), ZEMBA_VG_UNDIRECTED, ZEMBA_VG_UNWEIGHTED, -HUGE_VAL, HUGE_VAL,
                       py::handle(args[1]), py::none(), keep != 0)
            .release()
            .ptr();
    } catch (py::error_already_set& e) {
        e.restore();
    } catch (const py::builtin_exception& e) {
        e.set_error();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_RuntimeError, e.what());
    }
    return nullptr;
}

PyMethodDef plainDef = {"vg_degrees_plain", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(degreesPlain)),
                        METH_FASTCALL, "vg_degrees(kind, 0, 0, -inf, inf, ts, None, keep), called directly."};

}  // namespace

void bindGraphs(py::module_& m) {
    PyObject* plain = PyCFunction_NewEx(&plainDef, nullptr, m.attr("__name__").ptr());
    if (!plain) throw py::error_already_set();
    m.add_object("vg_degrees_plain", py::reinterpret_steal<py::object>(plain));
    m.def("vg_graph", &graph, py::arg("kind"), py::arg("direction"), py::arg("weight"), py::arg("min_weight"),
          py::arg("max_weight"), py::arg("ts"), py::arg("xs"), py::arg("only_degrees"));
    m.def("vg_degrees", &degrees, py::arg("kind"), py::arg("direction"), py::arg("weight"), py::arg("min_weight"),
          py::arg("max_weight"), py::arg("ts"), py::arg("xs"), py::arg("keep"));
    m.def("vg_irreversibility", &irreversibility, py::arg("x"), py::arg("kind"), py::arg("weight"),
          py::arg("min_weight"), py::arg("max_weight"));
}

}  // namespace zpy
