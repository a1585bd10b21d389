// A host's URID map for the suites that drive the bundle without lilv: each URI gets the next number from 1 the
// first time it is asked for, and keeps it.
#pragma once

#include <lv2/urid/urid.h>

#include <string>
#include <vector>

namespace Lv2Test {

inline LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
  static std::vector<std::string> uris;
  for (size_t i = 0; i < uris.size(); ++i)
    if (uris[i] == uri) return (LV2_URID)(i + 1);
  uris.emplace_back(uri);
  return (LV2_URID)uris.size();
}

}  // namespace Lv2Test
