// The process-wide picture caches: static owners, so the pictures go with the library's static objects.
#include "gui/image_cache.h"

#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/system.h"

namespace Lattice {

namespace {

constexpr size_t kReportSize = 160;  // a report line, cut short if a resource name is very long

struct Caches {
  std::mutex lock;  // editors of several instances may open on different threads
  std::unique_ptr<Image> images[3];
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

const Image* cachedImage(CachedImage which, const char* name) {
  Caches& c = caches();
  std::lock_guard<std::mutex> guard(c.lock);
  std::unique_ptr<Image>& slot = c.images[int(which)];
  const char* resource = resourceName(which, name);
  if (!slot && resource) {
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
