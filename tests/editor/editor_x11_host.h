// A host's side of the editor under the test display: its window, the screen read back, its own X error handler,
// and what a knob on the screen should look like for a value.
#pragma once

#include <cstdint>
#include <vector>

struct _XDisplay;

namespace EditorTest {

using XDisplay = ::_XDisplay;

// Keeps the GL driver and the module loaded until the process ends, so the leak checker can name what it finds.
void keepLibrariesLoaded(const char* module);
// The GL driver alone (for a test that unloads the module).
void keepGlDriverLoaded();

// Installs the host's own error handler (before any editor opens) and counts what reaches it.
void installHostErrorHandler();
int hostErrorCount();

// A mapped top-level window at (x, y) on the screen, as a host's editor window; its id.
unsigned long makeHostWindow(XDisplay* display, int x, int y, int width, int height);
void destroyHostWindow(XDisplay* display, unsigned long window);

// The size of the one window inside window (the editor's in the host's); false unless there is exactly one.
bool onlyChildSize(XDisplay* display, unsigned long window, int& width, int& height);

// The screen's pixels (0xRRGGBB) in a rectangle.
std::vector<uint32_t> screenRect(XDisplay* display, int x, int y, int width, int height);

// Pixels of the 40 x 40 knob body on the screen that differ (by more than a rounding) from the film strip's
// frames for value, crossfaded and tinted as the editor draws them (tint 0xE0, or 0xFF under the pointer);
// only the strip's opaque pixels count. opaque receives how many there were.
int knobMismatches(const std::vector<uint32_t>& body, float value, uint32_t tint, int& opaque, int art = 1);

// Sets the server's resource database (the root window's RESOURCE_MANAGER) for as long as the object lives, as a
// desktop's settings do, and puts back what was there.
class ServerResources {
 public:
  ServerResources(XDisplay* display, const char* resources);
  ~ServerResources();
  ServerResources(const ServerResources&) = delete;
  ServerResources& operator=(const ServerResources&) = delete;

 private:
  XDisplay* display;
  bool had = false;
  std::vector<unsigned char> previous;
};

}  // namespace EditorTest
