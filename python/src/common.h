// Shared plumbing of the Python extension: arrays of shape (..., n_times) in,
// one kernel call per series with the interpreter lock released, statuses
// turned into Python exceptions that name the bad value.
#ifndef ZEMBA_PY_COMMON_H
#define ZEMBA_PY_COMMON_H

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "zemba/core.h"

namespace zpy {

namespace py = pybind11;
using Series = py::array_t<double, py::array::c_style | py::array::forcecast>;

// "x[2, 5]"-style position of flat sample `index` of series `row` in `x`.
std::string position(const char* name, const std::vector<py::ssize_t>& lead, size_t row, size_t index);

// Raises the Python exception for a failed status (ValueError for bad
// arguments and values, MemoryError, OSError for files); `what` names the call.
[[noreturn]] void raise(int status, const std::string& what);

// The series view of x: its leading shape, the number of series and their length.
struct Rows {
    Series array;
    std::vector<py::ssize_t> lead;
    size_t count = 1;
    size_t length = 0;
    const double* row(size_t r) const { return array.data() + r * length; }
};
Rows rows(const py::handle& x, const char* name);

// Checks every series of x for NaN and infinity; raises ValueError naming the
// first bad sample ("x[1, 37] is nan").
void requireFinite(const Rows& r, const char* name);

// A float64 array of shape lead + tail.
py::array_t<double> shaped(const std::vector<py::ssize_t>& lead, const std::vector<py::ssize_t>& tail);

// Runs kernel(row pointer, length, out pointer) -> status for each series with
// the interpreter lock released; `per` outputs per series. The first failure
// is raised once the lock is held again.
template <class Kernel>
void eachRow(const Rows& r, double* out, size_t per, const char* what, Kernel&& kernel) {
    int status = ZEMBA_OK;
    size_t failed = 0;
    {
        py::gil_scoped_release unlocked;
        for (size_t i = 0; i < r.count && status == ZEMBA_OK; ++i) {
            status = kernel(r.row(i), r.length, out + i * per);
            failed = i;
        }
    }
    if (status == ZEMBA_E_NONFINITE) {
        size_t at = 0;
        zemba_first_nonfinite(r.row(failed), r.length, &at);
        throw py::value_error(std::string(what) + ": " + position("x", r.lead, failed, at) +
                              " is not finite");
    }
    if (status != ZEMBA_OK) raise(status, what);
}

// One value per series: a float for 1-D input, else an array of the leading shape.
py::object scalarPerRow(const Rows& r, py::array_t<double> out);

}  // namespace zpy

#endif
