// The renderer's consistency check: one debugger line with the check's number, then the renderer's Exception.
#include <cstddef>
#include <cstdio>

#include "platform/system.h"
#include "render/gl/base.h"

namespace VexBlit {

namespace {

constexpr size_t kReportSize = 124;  // the longest report line and its terminator

}  // namespace

void checkFailed(int line) {
  char text[kReportSize];
  std::snprintf(text, sizeof text, "Quillmarsh GL: check failed at line %d (please report this bug).\r\n", line);
  Platform::debugOutput(text);
  throw Exception();
}

}  // namespace VexBlit
