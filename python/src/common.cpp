// Shared plumbing of the Python extension (see common.h).
#include "common.h"

#include <new>
#include <sstream>

namespace zpy {

std::string position(const char* name, const std::vector<py::ssize_t>& lead, size_t row, size_t index) {
    std::vector<size_t> at(lead.size());
    for (size_t d = lead.size(); d-- > 0;) {
        at[d] = row % static_cast<size_t>(lead[d]);
        row /= static_cast<size_t>(lead[d]);
    }
    std::ostringstream s;
    s << name << '[';
    for (size_t v : at) s << v << ", ";
    s << index << ']';
    return s.str();
}

void raise(int status, const std::string& what) {
    std::string text = what + ": " + zemba_status_string(status);
    switch (status) {
        case ZEMBA_E_NO_MEMORY: throw std::bad_alloc();
        case ZEMBA_E_OPEN:
        case ZEMBA_E_NOT_REGULAR:
            PyErr_SetString(PyExc_OSError, text.c_str());
            throw py::error_already_set();
        default: throw py::value_error(text);
    }
}

Rows rows(const py::handle& x, const char* name) {
    Rows r;
    r.array = Series::ensure(x);
    if (!r.array) throw py::type_error(std::string(name) + " must be an array of numbers");
    if (r.array.ndim() == 0) throw py::value_error(std::string(name) + " must have at least one dimension (time)");
    for (py::ssize_t d = 0; d + 1 < r.array.ndim(); ++d) {
        r.lead.push_back(r.array.shape(d));
        r.count *= static_cast<size_t>(r.array.shape(d));
    }
    r.length = static_cast<size_t>(r.array.shape(r.array.ndim() - 1));
    return r;
}

void requireFinite(const Rows& r, const char* name) {
    for (size_t i = 0; i < r.count; ++i) {
        size_t at = 0;
        if (zemba_first_nonfinite(r.row(i), r.length, &at) == ZEMBA_E_NONFINITE)
            throw py::value_error(position(name, r.lead, i, at) + " is not finite");
    }
}

py::array_t<double> shaped(const std::vector<py::ssize_t>& lead, const std::vector<py::ssize_t>& tail) {
    std::vector<py::ssize_t> shape(lead);
    shape.insert(shape.end(), tail.begin(), tail.end());
    return py::array_t<double>(shape);
}

py::object scalarPerRow(const Rows& r, py::array_t<double> out) {
    if (r.lead.empty()) return py::float_(*out.data());
    return std::move(out);
}

}  // namespace zpy
