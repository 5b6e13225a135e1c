// The extension module _tessivar: the front end as a Monitor object, the
// exported signal filter and R-peak finder on arrays, and the recording
// reader, resampler and beat comparison of the command-line program. The
// package tessivar builds its Python interface on top of it.
#include "bindings.hpp"

#include <tessivar/ecg_preprocess.h>

#include "records/wfdb.hpp"

namespace tessivar::python {
namespace {

// The exception classes, created once at import and kept for the life of
// the interpreter.
struct Exceptions {
    PyObject *callError = nullptr;
    PyObject *recordError = nullptr;
};
Exceptions g_exceptions;

void translate(std::exception_ptr p)
{
    try {
        if (p) std::rethrow_exception(p);
    } catch (const CallError &e) {
        py::object cls = py::reinterpret_borrow<py::object>(g_exceptions.callError);
        py::object error = cls(e.what());
        error.attr("function") = e.function;
        error.attr("code") = e.code;
        error.attr("log") = e.logLine;
        PyErr_SetObject(g_exceptions.callError, error.ptr());
    } catch (const records::RecordError &e) {
        PyErr_SetString(g_exceptions.recordError, e.what());
    }
}

}  // namespace
}  // namespace tessivar::python

PYBIND11_MODULE(_tessivar, m)
{
    namespace tp = tessivar::python;
    namespace py = pybind11;
    m.doc() = "tessivar ECG front end: native part of the tessivar package";
    tp::g_exceptions.callError = PyErr_NewExceptionWithDoc(
        "tessivar.TessivarError",
        "A call of the library was refused: .function, .code (its return value) and .log (its log line).",
        PyExc_RuntimeError, nullptr);
    tp::g_exceptions.recordError =
        PyErr_NewExceptionWithDoc("tessivar.RecordError", "A recording could not be read or converted.",
                                  PyExc_ValueError, nullptr);
    m.attr("TessivarError") = py::handle(tp::g_exceptions.callError);
    m.attr("RecordError") = py::handle(tp::g_exceptions.recordError);
    py::register_exception_translator(tp::translate);
    m.attr("library_version") = ecgPreprocessVersion();
    tp::bindMonitor(m);
    tp::bindModules(m);
    tp::bindRecords(m);
}
