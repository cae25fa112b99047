// The compiled core as the Python module zemba._core: one binding file per
// subsystem, each adding its functions to the module.
#include "common.h"

namespace py = pybind11;

namespace zpy {
void bindGraphs(py::module_& m);
void bindInfo(py::module_& m);
void bindEntropy(py::module_& m);
void bindSpectral(py::module_& m);
void bindEeg(py::module_& m);
}  // namespace zpy

PYBIND11_MODULE(_core, m) {
    m.doc() = "Reentrant kernels of zemba's core (use the functions of the zemba package).";
    m.def("version", [] { return std::string(zemba_version()); }, "Version of the compiled core.");
    m.def("status_string", [](int s) { return std::string(zemba_status_string(s)); });
    zpy::bindGraphs(m);
    zpy::bindInfo(m);
    zpy::bindEntropy(m);
    zpy::bindSpectral(m);
    zpy::bindEeg(m);
}
