// A conversion stopped by a signal (SIGINT, SIGTERM, SIGHUP, or SIGPIPE when
// the reader of its output went away) leaves no temporary file behind: the
// handlers remove every temporary file registered here, then let the signal
// end the program as it would have. SIGXFSZ is ignored, so that a file-size
// limit fails a write the way a full disk does.
#pragma once

#include <csignal>
#include <string>

namespace zelc {

// Makes room for `count` temporary files and installs the handlers. Call
// once, before the first add().
void install_interruption_handlers(size_t count);

// The error line written when reading a mapped source fails (SIGBUS: the
// file was cut short while it was read); the program then removes its
// temporary files and exits with status 1 like any other failure.
void set_read_failure_message(const std::string& line);

// Registers a temporary file to remove on a signal. A file that is later
// renamed or removed needs no unregistering: removing a name that is gone
// does nothing.
void add_temporary_file(const std::string& path);

// Holds the signals back for its lifetime (publishing files must not be cut
// in half); they are delivered when it ends.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace zelc
