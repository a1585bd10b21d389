// The editor's settings file: one line, "size" and the chosen scale in percent.
#include "gui/editor_settings.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/files.h"

namespace Lattice {

namespace {
constexpr size_t kLargestFile = 4096;  // a settings file is a line or two: anything larger is not ours
}

std::string editorSettingsPath(const std::string& defaultsPath) {
  const size_t dot = defaultsPath.rfind(".defaults");
  if (defaultsPath.empty() || dot == std::string::npos) return {};
  return defaultsPath.substr(0, dot) + ".editor";
}

std::string chosenScaleText(float scale) { return "size " + std::to_string(int(std::lround(scale * 100))) + "\n"; }

float parseChosenScale(const std::string& text) {
  for (size_t line = 0; line < text.size();) {
    size_t end = text.find('\n', line);
    if (end == std::string::npos) end = text.size();
    if (text.compare(line, 5, "size ") == 0) {
      const std::string value = text.substr(line + 5, end - line - 5);
      char* rest = nullptr;
      const long percent = std::strtol(value.c_str(), &rest, 10);
      const bool whole = rest && (*rest == 0 || *rest == '\r' || *rest == ' ');
      return whole && percent >= 100 && percent <= 200 ? float(percent) / 100.0f : 0.0f;
    }
    line = end + 1;
  }
  return 0;
}

float readChosenScale(const std::string& path) {
  if (path.empty()) return 0;
  std::vector<unsigned char> bytes;
  if (Platform::readWholeFile(path, kLargestFile, bytes) != Platform::ReadResult::Ok) return 0;
  return parseChosenScale(std::string(bytes.begin(), bytes.end()));
}

bool writeChosenScale(const std::string& path, float scale) {
  if (path.empty()) return false;
  const size_t cut = path.find_last_of(Platform::pathSeparator());
  if (cut != std::string::npos && !Platform::createFolder(path.substr(0, cut))) return false;
  const std::string text = chosenScaleText(scale);
  return Platform::writeFileReplacing(path, text.data(), text.size());
}

}  // namespace Lattice
