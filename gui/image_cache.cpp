// The process-wide picture caches: static owners, so the pictures go with the library's static objects.
#include "gui/image_cache.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "platform/system.h"

namespace Lattice {

namespace {

constexpr size_t kReportSize = 160;  // a report line, cut short if a resource name is very long

struct Caches {
  std::mutex lock;  // editors of several instances may open on different threads
  std::unique_ptr<Image> images[3 * kArtScales];
};

Caches& caches() {
  static Caches instance;  // destroyed when the library unloads (or the process ends)
  return instance;
}

const char* resourceName(CachedImage which, const char* name) {
  switch (which) {
    case CachedImage::Background: return name;
    case CachedImage::CommonTextures: return "commonTextures";
    case CachedImage::OldKnobs: return "oldKnobs";
  }
  return nullptr;
}

}  // namespace

int artScaleFor(float pixelScale) { return pixelScale > 1.0f ? 2 : 1; }

const Image* cachedImage(CachedImage which, const char* name, int artScale) {
  Caches& c = caches();
  std::lock_guard<std::mutex> guard(c.lock);
  const bool twice = artScale == 2;
  std::unique_ptr<Image>& slot = c.images[kArtScales * int(which) + (twice ? 1 : 0)];
  const char* base = resourceName(which, name);
  if (!slot && base) {
    const std::string named = twice ? std::string(base) + "_2x" : std::string(base);
    const char* resource = named.c_str();
    try {
      slot = VexBlit::loadPngResource(resource);
    } catch (const Image::Exception& failure) {
      // A picture that does not decode is drawn as if it were missing; the debugger output says why.
      char text[kReportSize];
      std::snprintf(text, sizeof text, "Koralin: picture \"%s\" does not load: %s.\r\n", resource, failure.what());
      Platform::debugOutput(text);
    }
  }
  return slot.get();
}

}  // namespace Lattice
