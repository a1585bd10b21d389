// The standalone's state file: the instrument's whole state (the bank form of its chunk) kept between runs, read
// before JACK starts and written through a temporary file beside it, as the defaults file is.
#pragma once

#include <string>

#include "plugin/embed/instance.h"

namespace Standalone {

// Koralin.state beside the user's defaults file ($XDG_CONFIG_HOME/Quillmarsh); empty when there is no such folder.
std::string defaultStatePath();

// Loads the file into the instance. A missing file is no error (false, reason empty: the state starts as made);
// an unreadable, oversized, damaged or foreign one is (false, with the reason), and the instance is untouched.
bool loadStateFile(Embed::Instance& instance, const std::string& path, std::string& reason);

// Writes the instance's state to path, making its folder when missing; false with the reason when it cannot.
bool saveStateFile(const Embed::Instance& instance, const std::string& path, std::string& reason);

}  // namespace Standalone
