// The standalone's options and its help text.
#include "plugin/standalone/options.h"

namespace Standalone {
namespace {

bool takesValue(const std::string& name) {
  return name == "-n" || name == "--name" || name == "--program" || name == "--state";
}

void applyFlag(Options& o, const std::string& name) {
  if (name == "--no-connect") o.connect = false;
  else if (name == "--alsa-midi") o.alsaMidi = true;
  else if (name == "--no-gui") o.gui = false;
  else if (name == "--fresh") o.fresh = true;
  else if (name == "-v" || name == "--verbose") o.verbose = true;
  else if (name == "-h" || name == "--help") o.help = true;
  else throw UsageError("unknown option \"" + name + "\" (koralin --help lists them)");
}

void applyValue(Options& o, const std::string& name, const std::string& value) {
  if (value.empty()) throw UsageError(name + " needs a value");
  if (name == "-n" || name == "--name") o.clientName = value;
  else if (name == "--program") o.program = value;
  else o.statePath = value;
}

}  // namespace

Options parseOptions(const std::vector<std::string>& args) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    const size_t eq = name.find('=');
    const bool joined = name.rfind("--", 0) == 0 && eq != std::string::npos;
    std::string value;
    if (joined) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    if (takesValue(name)) {
      if (!joined) {
        if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
        value = args[++i];
      }
      applyValue(o, name, value);
    } else if (joined) {
      throw UsageError(name + " takes no value");
    } else if (name.empty() || name[0] != '-') {
      throw UsageError("koralin takes no file or other argument (\"" + name + "\"); see koralin --help");
    } else {
      applyFlag(o, name);
    }
  }
  return o;
}

std::string helpText() {
  return R"(Usage: koralin [options]

Koralin, the monophonic bassline synthesizer, played without a DAW: a JACK client (PipeWire desktops run it through
pipewire-jack) with a MIDI input and two audio outputs, and its editor in a window of its own.

Options:
  -n, --name NAME      the JACK client's name (default "Koralin"; JACK adds a number when it is taken)
      --no-connect     leave the outputs unconnected (by default they go to the first two physical playback ports)
      --alsa-midi      also take MIDI from the ALSA sequencer, at a port "Koralin" any keyboard can be connected to
      --no-gui         run without the window
      --program N|NAME start with a factory program, by its number from 1 or its name; after the saved state
      --state FILE     keep the whole state in FILE (made when missing) instead of Koralin.state beside the
                       defaults file ($XDG_CONFIG_HOME/Quillmarsh, by default ~/.config/Quillmarsh)
      --fresh          start from the factory programs: neither the saved state nor your defaults file is read
                       (the state is still saved when koralin ends)
  -v, --verbose        say on stdout what it connected, the server's rate and period, and every program change
  -h, --help           this text

In the window: Page Down steps to the next program, Page Up to the one before; the title names the program.
Closing the window, Ctrl+C or SIGTERM end koralin and save the state. Under a session manager (NSM_URL set) the
session keeps the state instead, and the manager shows and hides the window.

Exit status: 0 when it ended as asked, 1 when the JACK server shut it down, 2 for a usage error or when it could
not start (no JACK server, an unreadable state file, an unknown program).
)";
}

}  // namespace Standalone
