"""One conversion run of ``ZelConverter``: start the converter program, read
its output protocol, report progress, collect the result and errors, clean up.

The converter module (C++) builds the argument list and keeps the converter's
fields; this module drives the interpreter's ``subprocess``, ``tempfile``,
``threading`` and ``concurrent.futures`` for it. Those are reached through the
converter module's own names when used, so that a stand-in put there is the
one a run uses.

Each run keeps its own state (pool, process, cancellation) so that the
clean-up of a cancelled run never touches the pool or flags of a run started
after it.
"""

from __future__ import annotations

import importlib
import threading

REINSTALL = (
    "The application for Zel conversion, zelc.exe, did not function properly. Please "
    "reinstall the Vorn SDK. https://vorn.example.com/data-access"
)

# How long a program asked to stop may take to clean up (remove its
# temporary file) before it is killed.
GRACE_SECONDS = 2.0

# The run whose work the current pool thread is doing.
_thread = threading.local()


class ConversionRun:
    """The state of one conversion run."""

    __slots__ = ("executor", "process", "cancelled")

    def __init__(self, executor=None):
        self.executor = executor
        self.process = None
        self.cancelled = False


def _names():
    """The converter module, whose names (standard modules, the exception)
    a run uses."""
    return importlib.import_module("vorn_data_access.converter")


def _is_none(value) -> bool:
    # Tests against None are equality tests: a value equal to None is missing.
    return value is None or bool(value == None)  # noqa: E711


def _converter_error(message):
    return _names().ZelConverterException(message)


def _is_current(converter, run) -> bool:
    return getattr(converter, "_ZelConverter__run", None) is run


def _still_running(process) -> bool:
    return process.poll() is None


def shut_down(executor) -> None:
    """Shuts a pool down without waiting (it may be the calling thread's own),
    cancelling queued work where the interpreter can."""
    if _names().sys.version_info.minor > 8:
        executor.shutdown(wait=False, cancel_futures=True)
    else:
        executor.shutdown(wait=False)


def _stop_program(process) -> None:
    """Asks the program to stop and kills it if it has not after the grace
    period; returns at once (the kill comes from a timer thread)."""
    process.terminate()

    def kill_if_running():
        if _still_running(process):
            process.kill()

    timer = _names().threading.Timer(GRACE_SECONDS, kill_if_running)
    timer.daemon = True
    timer.start()


def _stop_program_and_wait(process) -> None:
    process.terminate()
    try:
        process.wait(GRACE_SECONDS)
    except _names().subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def _read_output(converter, process) -> list[str]:
    """The reading loop: marker lines switch the sections; progress lines go
    to the callback, result lines are kept as read."""
    result = []
    in_progress = in_result = False
    stdout = process.stdout
    while True:
        line = stdout.readline().decode("utf-8")
        if len(line) == 0:
            # End of the output: wait for the program instead of polling it in a loop.
            process.wait()
            return result
        if line.startswith("### Start Progress"):
            in_progress = True
        elif line.startswith("### End Progress"):
            in_progress = False
        elif line.startswith("### Start ConversionResult"):
            in_result = True
        elif line.startswith("### End ConversionResult"):
            in_result = False
        else:
            if in_progress:
                try:
                    value = float(line.replace("\r\n", ""))
                    callback = converter.progress_report_callback
                    if not _is_none(callback):
                        callback(value)
                except Exception:  # only errors are discarded
                    pass
            if in_result:
                result.append(line)


def _read_errors(stderr_io) -> list[str]:
    errors = []
    stderr_io.seek(0)
    while True:
        raw = stderr_io.readline()
        if len(raw) == 0:
            return errors
        errors.append(raw.decode("utf-8"))


def _delete_destination(dest) -> None:
    names = _names()
    for _ in range(100):
        try:
            names.os.remove(dest)
            return
        except Exception:
            pass
        names.time.sleep(0.1)


def _clean_up(converter, run, process, exit_code, dest) -> None:
    """Clean-up, in order: idle, stop a running program (and delete a partial
    destination after a failure), discard the pool, report a cancellation."""
    current = _is_current(converter, run)
    if current:
        converter._ZelConverter__is_converting = False
    if _still_running(process):
        # Stopped, not killed outright, so that it removes its temporary file;
        # waited for, so no zombie outlives the run.
        _stop_program_and_wait(process)
        if exit_code != 0:
            _delete_destination(dest)
    process.stdout.close()  # the pipe is done with, whatever happened
    if run.executor is not None:
        shut_down(run.executor)
        if converter._ZelConverter__executor is run.executor:
            converter._ZelConverter__executor = None
        run.executor = None
    if run.cancelled:
        if current:
            converter._ZelConverter__is_cancelled = False
        raise _converter_error("Cancelled.")


def _text_of_lines(lines) -> str:
    return _names().os.linesep.join(lines)


def _run_program(converter, run, cmd, dest, stderr_io):
    names = _names()
    subprocess = names.subprocess
    try:
        process = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=stderr_io)
    except BaseException as e:
        # A program that cannot be started leaves the converter idle and usable.
        if _is_current(converter, run):
            converter._ZelConverter__is_converting = False
            converter._ZelConverter__is_cancelled = False
        if run.executor is not None:
            shut_down(run.executor)
            if converter._ZelConverter__executor is run.executor:
                converter._ZelConverter__executor = None
        if isinstance(e, FileNotFoundError):
            raise _converter_error(REINSTALL) from None
        raise
    converter._ZelConverter__process = process
    run.process = process
    if run.cancelled:
        _stop_program(process)  # cancelled before the program existed

    exit_code = 0
    pending = None  # the exception leaving the guarded block, if any
    try:
        results = _read_output(converter, process)
        errors = _read_errors(stderr_io)
        exit_code = process.returncode
        converter._ZelConverter__conversion_result = _text_of_lines(results)
        if len(errors) > 0:
            raise _converter_error(_text_of_lines(errors))
    except BaseException as e:
        if isinstance(e, names.ZelConverterException):
            pending = e
        else:
            exit_code = 1
            pending = _converter_error("Command interrupted. " + str(e))
    _clean_up(converter, run, process, exit_code, dest)
    if pending is not None:
        raise pending
    return converter._ZelConverter__conversion_result


def execute(converter, cmd, dest):
    """The run (``__execute``): in the pool's thread the run that ``submit``
    made, called directly a run of its own that is not the current one."""
    run = getattr(_thread, "run", None)
    if run is None:
        run = ConversionRun()
    stderr_io = _names().tempfile.TemporaryFile()
    try:
        result = _run_program(converter, run, cmd, dest, stderr_io)
    except BaseException:
        try:
            stderr_io.close()
        except BaseException:
            pass  # the run's own exception is the one to report
        raise
    stderr_io.close()
    return result


def submit(converter, cmd, dest):
    """Hands a new run, current from now on, to the converter's one-thread
    pool (made when there is none); returns the pool's future."""
    executor = converter._ZelConverter__executor
    if executor is None:
        executor = _names().concurrent.futures.ThreadPoolExecutor(max_workers=1)
        converter._ZelConverter__executor = executor
    run = ConversionRun(executor)
    converter._ZelConverter__run = run

    def work():
        previous = getattr(_thread, "run", None)
        _thread.run = run
        try:
            return converter._ZelConverter__execute(cmd, dest)
        finally:
            _thread.run = previous

    return executor.submit(work)


def cancel(converter) -> None:
    """``cancel()``: stops the current run's program (asked to stop, killed
    after the grace period) and discards the pool; does not wait."""
    if not converter._ZelConverter__is_converting:
        return
    converter._ZelConverter__is_converting = False
    converter._ZelConverter__is_cancelled = True
    run = getattr(converter, "_ZelConverter__run", None)
    if run is not None:
        run.cancelled = True
        # This run's own process, asked to stop so that it can remove its
        # temporary file; a run that has not started its program stops it as
        # soon as it exists.
        if run.process is not None and _still_running(run.process):
            _stop_program(run.process)
    executor = converter._ZelConverter__executor
    if executor is not None:
        shut_down(executor)
        converter._ZelConverter__executor = None
