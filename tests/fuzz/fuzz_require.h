// The fuzz targets' one check: a broken property stops the process with its name, and libFuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace FuzzRig {

inline void require(bool ok, const char* property) {
  if (ok) return;
  std::fprintf(stderr, "fuzz: property broken: %s\n", property);
  std::abort();
}

}  // namespace FuzzRig
