// The standalone's command line: options as "--name VALUE" or "--name=VALUE", and the help text that lists them.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace Standalone {

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Options {
  std::string clientName = "Koralin";  // the JACK client's name; a session manager gives its own
  bool connect = true;                 // outputs to the first two physical playback ports
  bool alsaMidi = false;               // also a port of the ALSA sequencer
  bool gui = true;
  std::string program;    // a factory program by its number from 1 or its name, after the state; empty: none
  std::string statePath;  // empty: the default file beside the defaults file
  bool fresh = false;     // neither the saved state nor the user's defaults file
  bool verbose = false;   // status lines on stdout
  bool help = false;
};

// Reads the arguments after the program's name. Throws UsageError.
Options parseOptions(const std::vector<std::string>& args);

// Every option with what it does, and the keys of the window.
std::string helpText();

}  // namespace Standalone
