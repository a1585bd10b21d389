// Plug's factory settings, the optional embedded factory bank, and the per-user defaults file.
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/resources.h"
#include "plugcore/plug.h"

namespace PlugCore {
namespace {

constexpr size_t kDefaultsFileLimit = 1048576;

uint32_t bigEndian32(const uint8_t* p) {
  return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

// Checks the embedded bank's layout; returns the problem's text or null when the chunk can be loaded.
const char* checkFactoryBank(const Platform::Resource& bank) {
  if (bank.size < 12 || bigEndian32(bank.data) != 0x43636E4B) return "Bad chunk magic in factory bank!";  // CcnK
  if (bigEndian32(bank.data + 8) != 0x46424368) return "Invalid chunk type in factory bank!";          // FBCh
  if (bank.size < 160) return "Truncated or corrupt factory bank!";
  const uint64_t byteSize = bigEndian32(bank.data + 4);
  const uint64_t chunkSize = bigEndian32(bank.data + 156);
  if (bank.size < byteSize + 8 || bank.size < chunkSize + 160) return "Truncated or corrupt factory bank!";
  return nullptr;
}

}  // namespace

std::string Plug::defaultsFilePath() const {
  const std::string folder = Platform::appDataFolder();
  if (folder.empty()) return {};
  const char sep = Platform::pathSeparator();
  return folder + sep + "Quillmarsh" + sep + name_ + ".defaults";
}

void Plug::loadFactorySettings() {
  ProgramsHeld held(*this);
  for (int32_t i = 0; i < params_.count(); ++i) setParameterAutomated(i, params_[i].defaultValue);
  for (int32_t p = 0; p < programCount(); ++p) storeCurrentIntoProgram(p);
  const Platform::Resource bank = Platform::findResource("FactoryBank", "FXB");
  if (!bank) return;
  if (const char* problem = checkFactoryBank(bank)) {
    Platform::showError(name_, problem);
    return;
  }
  const uint32_t chunkSize = bigEndian32(bank.data + 156);
  loadChunk(bank.data + 160, chunkSize);
}

void Plug::loadUserDefaults() {
  const std::string path = defaultsFilePath();
  if (path.empty()) return;
  std::vector<unsigned char> bytes;
  if (Platform::readWholeFile(path, kDefaultsFileLimit, bytes) != Platform::ReadResult::Ok) return;
  ProgramsHeld held(*this);
  loadChunk(bytes.data(), bytes.size());
  storeDefaults();
}

void Plug::saveUserDefaults() {
  // A chunk of its own: the host may still be reading the one getChunk handed it.
  std::vector<uint8_t> chunk;
  {
    ProgramsHeld held(*this);
    buildChunk(false, chunk);
  }
  const std::string folder = Platform::appDataFolder();
  if (folder.empty()) return;
  if (!Platform::createFolder(folder + Platform::pathSeparator() + "Quillmarsh")) return;
  if (!Platform::writeFileReplacing(defaultsFilePath(), chunk.data(), chunk.size())) return;
  storeDefaults();
}

}  // namespace PlugCore
