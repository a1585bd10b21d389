// The build-time describer: what a format's description says of the product, its parameters and its factory
// programs (LV2's .ttl files, CLAP's descriptor and presets), read from the instrument's own tables and the factory
// programs' text, never kept by hand a second time. It makes no instrument; the parameters are KoralinParams.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "instrument/koralin_params.h"

namespace Embed {

struct ProductInfo {
  const char* name;     // the instrument's name, as hosts list it
  const char* vendor;   // the maker
  const char* url;      // the maker's web address for the product
  const char* version;  // the project's version, "MAJOR.MINOR.PATCH"
};
const ProductInfo& product();

// One factory program as the bank the instrument embeds holds it.
struct FactoryProgram {
  std::string name;
  uint32_t steps[KoralinParams::kCount];  // each value as its whole number of the 64000 steps

  float normalized(int32_t index) const { return KoralinParams::normalizedOfStep(steps[index]); }
  // In the units a musician reads (and an LV2 port or a CLAP parameter carries).
  double plain(int32_t index) const { return KoralinParams::plainOf(index, normalized(index)); }
};

// Reads the factory programs' text (resources/factory_programs.txt) with the reader the bank maker uses. Throws
// std::runtime_error naming the file and line of anything wrong.
std::vector<FactoryProgram> readFactoryPrograms(const std::string& path);

}  // namespace Embed
