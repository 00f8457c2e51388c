// One conversion run: start zelc.exe, read its output protocol, report
// progress, collect the result and errors, clean up. Each run keeps its own
// state (pool, process, cancellation) so that the clean-up of a cancelled run
// never touches the pool or flags of a run started after it.
#include <nanobind/nanobind.h>
#include <nanobind/stl/string.h>

#include <string>

#include "../_glue/gc.hpp"
#include "../_glue/python.hpp"
#include "converter.hpp"

namespace nb = nanobind;
using namespace nb::literals;

namespace vorn::py {

struct ConversionRun {
  nb::object executor = nb::none();
  nb::object process = nb::none();
  bool cancelled = false;
};

// The pool and process a run holds can lead back to it (a pool's queued work
// holds the converter), so runs take part in garbage collection.
template <typename F>
void visit_objects(ConversionRun& r, F&& f) {
  f(r.executor);
  f(r.process);
}

namespace {

constexpr const char* kReinstall =
    "The application for Zel conversion, zelc.exe, did not function properly. Please reinstall "
    "the Vorn SDK. https://vorn.example.com/data-access";

// The run whose __execute the current pool thread is running.
thread_local nb::handle tls_run;

bool is_current(nb::handle self, nb::handle run) {
  return nb::getattr(self, "_ZelConverter__run", nb::none()).ptr() == run.ptr();
}

bool still_running(nb::handle process) { return process.attr("poll")().is_none(); }

// How long a program asked to stop may take to clean up (remove its
// temporary file) before it is killed.
constexpr double kGraceSeconds = 2.0;

// Asks the program to stop and kills it if it has not after the grace
// period; returns at once (the kill comes from a timer thread).
void stop_program(nb::handle process) {
  process.attr("terminate")();
  nb::object kill_if_running = nb::cpp_function([process = nb::borrow(process)]() {
    if (still_running(process)) process.attr("kill")();
  });
  nb::object timer =
      converter_name("threading").attr("Timer")(kGraceSeconds, kill_if_running);
  timer.attr("daemon") = true;
  timer.attr("start")();
}

// The same, waiting for the program to end.
void stop_program_and_wait(nb::handle process) {
  process.attr("terminate")();
  try {
    process.attr("wait")(kGraceSeconds);
  } catch (nb::python_error& e) {
    if (!e.matches(converter_name("subprocess").attr("TimeoutExpired"))) throw;
    process.attr("kill")();
    process.attr("wait")();
  }
}

[[noreturn]] void raise_converter_error(nb::handle message) {
  PyErr_SetObject(converter_name("ZelConverterException").ptr(), message.ptr());
  throw nb::python_error();
}

// The reading loop: marker lines switch the sections; progress lines go to the
// callback, result lines are kept as read.
nb::list read_output(nb::handle self, nb::handle process) {
  nb::list result;
  bool in_progress = false, in_result = false;
  nb::object stdout_pipe = process.attr("stdout");
  for (;;) {
    nb::object line = stdout_pipe.attr("readline")().attr("decode")("utf-8");
    if (PyUnicode_GET_LENGTH(line.ptr()) == 0) {
      // End of the output: wait for the program instead of polling it in a loop.
      process.attr("wait")();
      return result;
    }
    auto starts = [&](const char* marker) { return truth(line.attr("startswith")(marker)); };
    if (starts("### Start Progress")) {
      in_progress = true;
    } else if (starts("### End Progress")) {
      in_progress = false;
    } else if (starts("### Start ConversionResult")) {
      in_result = true;
    } else if (starts("### End ConversionResult")) {
      in_result = false;
    } else {
      if (in_progress) {
        try {
          nb::object text = line.attr("replace")("\r\n", "");
          nb::object value = nb::steal(PyFloat_FromString(text.ptr()));
          if (!value.is_valid()) throw nb::python_error();
          nb::object callback = self.attr("progress_report_callback");
          if (!is_none_eq(callback)) callback(value);
        } catch (nb::python_error& e) {
          if (!e.matches(PyExc_Exception)) throw;  // only errors are discarded
        }
      }
      if (in_result) result.append(line);
    }
  }
}

nb::list read_errors(nb::handle stderr_io) {
  nb::list errors;
  stderr_io.attr("seek")(0);
  for (;;) {
    nb::object raw = stderr_io.attr("readline")();
    if (PyBytes_GET_SIZE(raw.ptr()) == 0) return errors;
    errors.append(raw.attr("decode")("utf-8"));
  }
}

void delete_destination(nb::handle dest) {
  nb::object os = converter_name("os"), time = converter_name("time");
  for (int attempt = 0; attempt < 100; ++attempt) {
    try {
      os.attr("remove")(dest);
      return;
    } catch (nb::python_error& e) {
      if (!e.matches(PyExc_Exception)) throw;
    }
    time.attr("sleep")(0.1);
  }
}

// Clean-up, in order: idle, stop a running program (and delete a partial
// destination after a failure), discard the pool, report a cancellation.
void clean_up(nb::handle self, nb::handle run_object, ConversionRun& run, nb::handle process,
              int exit_code, nb::handle dest) {
  const bool current = is_current(self, run_object);
  if (current) nb::setattr(self, "_ZelConverter__is_converting", nb::bool_(false));
  if (still_running(process)) {
    // Stopped, not killed outright, so that it removes its temporary file;
    // waited for, so no zombie outlives the run.
    stop_program_and_wait(process);
    if (exit_code != 0) delete_destination(dest);
  }
  process.attr("stdout").attr("close")();  // the pipe is done with, whatever happened
  if (!run.executor.is_none()) {
    shut_down(run.executor);
    if (nb::getattr(self, "_ZelConverter__executor").ptr() == run.executor.ptr())
      nb::setattr(self, "_ZelConverter__executor", nb::none());
    run.executor = nb::none();
  }
  if (run.cancelled) {
    if (current) nb::setattr(self, "_ZelConverter__is_cancelled", nb::bool_(false));
    raise_converter_error(nb::str("Cancelled."));
  }
}

nb::object text_of_lines(nb::handle lines) {
  return converter_name("os").attr("linesep").attr("join")(lines);
}

nb::object run_program(nb::handle self, nb::handle run_object, ConversionRun& run, nb::handle cmd,
                       nb::handle dest, nb::handle stderr_io) {
  nb::object subprocess = converter_name("subprocess");
  nb::object process;
  try {
    process = subprocess.attr("Popen")(cmd, "stdout"_a = subprocess.attr("PIPE"),
                                       "stderr"_a = stderr_io);
  } catch (nb::python_error& e) {
    // A program that cannot be started leaves the converter idle and usable.
    if (is_current(self, run_object)) {
      nb::setattr(self, "_ZelConverter__is_converting", nb::bool_(false));
      nb::setattr(self, "_ZelConverter__is_cancelled", nb::bool_(false));
    }
    if (!run.executor.is_none()) {
      shut_down(run.executor);
      if (nb::getattr(self, "_ZelConverter__executor").ptr() == run.executor.ptr())
        nb::setattr(self, "_ZelConverter__executor", nb::none());
    }
    if (e.matches(PyExc_FileNotFoundError)) raise_converter_error(nb::str(kReinstall));
    throw;
  }
  nb::setattr(self, "_ZelConverter__process", process);
  run.process = process;
  if (run.cancelled) stop_program(process);  // cancelled before the program existed

  int exit_code = 0;
  nb::object pending;  // the exception leaving the guarded block, if any
  try {
    nb::list results = read_output(self, process);
    nb::list errors = read_errors(stderr_io);
    exit_code = nb::cast<int>(process.attr("returncode"));
    nb::setattr(self, "_ZelConverter__conversion_result", text_of_lines(results));
    if (nb::len(errors) > 0) raise_converter_error(text_of_lines(errors));
  } catch (nb::python_error& e) {
    if (e.matches(converter_name("ZelConverterException"))) {
      pending = nb::borrow(e.value());
    } else {
      exit_code = 1;
      nb::str message = nb::str(nb::str("Command interrupted. ") + nb::str(nb::handle(e.value())));
      PyErr_SetObject(converter_name("ZelConverterException").ptr(), message.ptr());
      nb::python_error replaced;
      pending = nb::borrow(replaced.value());
    }
  }
  clean_up(self, run_object, run, process, exit_code, dest);
  if (pending.is_valid()) {
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(pending.ptr())), pending.ptr());
    throw nb::python_error();
  }
  return nb::getattr(self, "_ZelConverter__conversion_result");
}

}  // namespace

nb::object start_run(nb::handle self, nb::handle executor, nb::handle cmd, nb::handle dest) {
  nb::object run = nb::cast(ConversionRun{nb::borrow(executor), nb::none(), false});
  nb::setattr(self, "_ZelConverter__run", run);
  nb::object me = nb::borrow(self), command = nb::borrow(cmd), destination = nb::borrow(dest);
  return nb::cpp_function([me, run, command, destination]() {
    nb::handle previous = tls_run;
    tls_run = run;
    try {
      nb::object result = me.attr("_ZelConverter__execute")(command, destination);
      tls_run = previous;
      return result;
    } catch (...) {
      tls_run = previous;
      throw;
    }
  });
}

nb::object execute_run(nb::handle self, nb::handle cmd, nb::handle dest) {
  // Called directly (not through the pool): a run of its own, not current.
  nb::object run_object =
      tls_run.is_valid() ? nb::borrow(tls_run) : nb::cast(ConversionRun{});
  ConversionRun& run = nb::cast<ConversionRun&>(run_object);
  nb::object stderr_io = converter_name("tempfile").attr("TemporaryFile")();
  try {
    nb::object result = run_program(self, run_object, run, cmd, dest, stderr_io);
    stderr_io.attr("close")();
    return result;
  } catch (...) {
    PyObject *type, *value, *trace;
    PyErr_Fetch(&type, &value, &trace);
    try {
      stderr_io.attr("close")();
    } catch (...) {
    }
    PyErr_Restore(type, value, trace);
    throw;
  }
}

void cancel_run(nb::handle self) {
  if (!truth(nb::getattr(self, "_ZelConverter__is_converting"))) return;
  nb::setattr(self, "_ZelConverter__is_converting", nb::bool_(false));
  nb::setattr(self, "_ZelConverter__is_cancelled", nb::bool_(true));
  nb::object run_object = nb::getattr(self, "_ZelConverter__run", nb::none());
  if (!run_object.is_none()) {
    ConversionRun& run = nb::cast<ConversionRun&>(run_object);
    run.cancelled = true;
    // This run's own process, asked to stop so that it can remove its
    // temporary file; a run that has not started its program stops it as
    // soon as it exists.
    if (!run.process.is_none() && still_running(run.process)) stop_program(run.process);
  }
  nb::object executor = nb::getattr(self, "_ZelConverter__executor");
  if (!executor.is_none()) {
    shut_down(executor);
    nb::setattr(self, "_ZelConverter__executor", nb::none());
  }
}

void shut_down(nb::handle executor) {
  nb::object version = converter_name("sys").attr("version_info");
  if (nb::cast<int>(version.attr("minor")) > 8)
    executor.attr("shutdown")("wait"_a = false, "cancel_futures"_a = true);
  else
    executor.attr("shutdown")("wait"_a = false);
}

void register_conversion_run(nb::module_& m) {
  nb::class_<ConversionRun>(m, "_ConversionRun", "The state of one conversion run.",
                            nb::type_slots(gc_slots<ConversionRun>()));
}

}  // namespace vorn::py
