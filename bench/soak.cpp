// Soak: plays the instrument through its entry point for a given time (default one hour) with random playing,
// automation of every parameter, program changes, chunk loads and new sample rates and block sizes; reports the
// samples rendered, non-finite samples, the peak, block times and resident memory, and fails on a fault.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "bench/soak_session.h"

namespace {

void usage() {
  std::fprintf(stderr,
               "usage: soak [--seconds S] [--seed N] [--module PATH] [--progress S] [--margin-kb K]\n"
               "  --seconds S    playing time after the warm-up (default 3600)\n"
               "  --seed N       random seed (default: from the clock; printed, so a run can be repeated)\n"
               "  --module PATH  the plug-in module (default: the one built with this program)\n"
               "  --progress S   a progress line every S seconds (default 300; 0: none)\n"
               "  --margin-kb K  resident memory may grow this much after the warm-up (default 2048)\n");
}

bool parse(int argc, char** argv, Soak::Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    char* end = nullptr;
    if (name == "--seconds") options.seconds = std::strtod(value, &end);
    else if (name == "--seed") options.seed = std::strtoull(value, &end, 10);
    else if (name == "--module") options.module = value, end = (char*)value + std::strlen(value);
    else if (name == "--progress") options.progress = std::strtod(value, &end);
    else if (name == "--margin-kb") options.marginKb = std::strtol(value, &end, 10);
    else return false;
    if (!end || *end || end == value) return false;
  }
  return options.seconds > 0 && options.progress >= 0 && options.marginKb >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  Soak::Options options;
  options.module = KORALIN_MODULE;
  options.seed = (uint64_t)std::time(nullptr);
  if (!parse(argc, argv, options)) {
    usage();
    return 2;
  }
  try {
    Soak::Session session(options);
    session.warmUp();
    session.play();
    return session.report() ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "soak: %s\n", error.what());
    return 2;
  }
}
