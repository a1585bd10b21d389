// The module's embedded resources, found by name and type; names and types compare without case.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Platform {

struct Resource {
  const uint8_t* data = nullptr;
  size_t size = 0;
  explicit operator bool() const { return data != nullptr; }
};

// Returns an empty Resource when the module has none of that name and type.
Resource findResource(const char* name, const char* type);

// One entry of a module's resource table (the Linux build embeds these at build time).
struct ResourceEntry {
  const char* name;
  const char* type;
  const uint8_t* data;
  size_t size;
};

}  // namespace Platform
