// The process-wide picture caches: static owners, so the pictures go with the library's static objects.
#include "gui/image_cache.h"

#include <memory>
#include <mutex>

namespace Lattice {

namespace {

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
      slot.reset(VexBlit::loadPngResource(resource));
    } catch (const Image::Exception&) {
      // A picture that does not decode is drawn as if it were missing.
    }
  }
  return slot.get();
}

}  // namespace Lattice
