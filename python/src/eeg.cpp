// The shared trial-file reader: (status, error line, fields) for Python to
// turn into a trial or a TrialFileError.
#include "common.h"

#include <memory>

namespace zpy {

void bindEeg(py::module_& m) {
    m.def("read_trial", [](const std::string& path) {
        auto t = std::make_unique<zemba_trial>();
        size_t line = 0;
        int s;
        {
            py::gil_scoped_release unlocked;
            s = zemba_read_trial(path.c_str(), t.get(), &line);
        }
        if (s != ZEMBA_OK) return py::make_tuple(s, line, py::none());
        const py::ssize_t c = t->channels;
        py::array_t<double> data({c, static_cast<py::ssize_t>(ZEMBA_TRIAL_LENGTH)});
        std::copy(&t->samples[0][0], &t->samples[0][0] + c * ZEMBA_TRIAL_LENGTH, data.mutable_data());
        py::list names;
        for (py::ssize_t i = 0; i < c; ++i) names.append(py::str(t->names[i]));
        py::dict d;
        d["data"] = data;
        d["channels"] = names;
        d["group"] = std::string(1, t->group);
        d["condition"] = t->condition;
        d["error"] = t->error != 0;
        d["trial"] = t->trial;
        d["subject"] = std::string(t->subject);
        return py::make_tuple(s, line, d);
    });
}

}  // namespace zpy
