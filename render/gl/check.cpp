// The renderer's consistency check: one debugger line with the check's number, then the renderer's Exception.
#include <cstdio>

#include "platform/system.h"
#include "render/gl/base.h"

namespace VexBlit {

void checkFailed(int line) {
  char text[124];  // at most 123 characters and the terminator
  std::snprintf(text, sizeof text, "Quillmarsh GL: check failed at line %d (please report this bug).\r\n", line);
  Platform::debugOutput(text);
  throw Exception();
}

}  // namespace VexBlit
