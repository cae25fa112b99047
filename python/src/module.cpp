// The compiled core as the Python module zemba._core: one binding file per
// subsystem, each adding its functions to the module.
#include "common.h"

namespace py = pybind11;

PYBIND11_MODULE(_core, m) {
    m.doc() = "Reentrant kernels of zemba's core (use the functions of the zemba package).";
    m.def("version", [] { return std::string(zemba_version()); }, "Version of the compiled core.");
    m.def("status_string", [](int s) { return std::string(zemba_status_string(s)); });
}
