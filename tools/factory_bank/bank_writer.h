// The factory bank as the plug-in reads it: its state chunk for a bank, wrapped in a bank file.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/factory_bank/factory_programs.h"

namespace bank {

// The chunk the plug-in writes for a bank holding these programs with the first one current and no bindings.
std::vector<uint8_t> bankChunk(const std::vector<Program>& programs);

// The bank file ("CcnK", "FBCh") around that chunk, with the instrument's ID and version.
std::vector<uint8_t> bankFile(const std::vector<Program>& programs);

}  // namespace bank
