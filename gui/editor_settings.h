// The editor's own settings file beside the user's defaults: the panel's size the person chose from the frame menu.
// A file of its own, so the defaults file stays exactly what every build of the instrument reads.
#pragma once

#include <string>

namespace Lattice {

// "Koralin.editor" beside "Koralin.defaults": the defaults file's path with its extension replaced; empty for none.
std::string editorSettingsPath(const std::string& defaultsPath);

// The chosen scale in the file (its line "size 150" in percent, 100 to 200), or 0 when there is none or it is
// unreadable.
float readChosenScale(const std::string& path);
// Writes the choice (its folder made if needed); false when it could not be written.
bool writeChosenScale(const std::string& path, float scale);

// The file's text for a scale, and the scale a text holds (0 for none), as above.
std::string chosenScaleText(float scale);
float parseChosenScale(const std::string& text);

}  // namespace Lattice
