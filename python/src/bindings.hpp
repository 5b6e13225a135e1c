// Pieces of the Python extension _tessivar: each file binds one part and
// registers it on the module.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <stdexcept>
#include <string>

namespace tessivar::python {

namespace py = pybind11;

// A refused call of the library: becomes tessivar.TessivarError with the
// function, its return code and the log line it printed.
class CallError : public std::runtime_error {
public:
    CallError(std::string function, int code, std::string logLine)
        : std::runtime_error(function + " returned " + std::to_string(code) +
                             (logLine.empty() ? std::string() : ": " + logLine)),
          function(std::move(function)), code(code), logLine(std::move(logLine))
    {
    }
    std::string function;
    int code;
    std::string logLine;
};

// True while a Monitor is open (the library's log is then its own).
bool monitorOpen();

void bindMonitor(py::module_ &m);
void bindModules(py::module_ &m);
void bindRecords(py::module_ &m);

}  // namespace tessivar::python
