// Mutual information (histogram bins) of paired series of two equal-shaped arrays.
#include "common.h"

namespace zpy {

void bindInfo(py::module_& m) {
    m.def("mutual_information", [](const py::handle& x, const py::handle& y, size_t bx, size_t by) {
        Rows a = rows(x, "x"), b = rows(y, "y");
        if (a.lead != b.lead || a.length != b.length)
            throw py::value_error("x and y must have the same shape");
        requireFinite(a, "x");
        requireFinite(b, "y");
        auto out = shaped(a.lead, {});
        double* o = out.mutable_data();
        int s = ZEMBA_OK;
        {
            py::gil_scoped_release unlocked;
            for (size_t i = 0; i < a.count && s == ZEMBA_OK; ++i)
                s = zemba_mutual_information(a.row(i), b.row(i), a.length, bx, by, o + i);
        }
        if (s != ZEMBA_OK) raise(s, "mutual_information");
        return scalarPerRow(a, out);
    });
}

}  // namespace zpy
