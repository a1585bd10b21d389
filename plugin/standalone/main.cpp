// koralin: the instrument played without a DAW, as a JACK client with its editor in a window.
#include <cstdio>
#include <string>
#include <vector>

#include "plugin/standalone/app.h"
#include "plugin/standalone/options.h"

int main(int argc, char** argv) {
  Standalone::Options options;
  try {
    options = Standalone::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const Standalone::UsageError& e) {
    std::fprintf(stderr, "koralin: %s\n", e.what());
    return Standalone::kCannotStart;
  }
  if (options.help) {
    std::fputs(Standalone::helpText().c_str(), stdout);
    return 0;
  }
  return Standalone::App(options, argc > 0 ? argv[0] : "koralin").run();
}
