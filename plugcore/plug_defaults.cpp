// Plug's factory settings, the optional embedded factory bank, and the per-user defaults file.
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/resources.h"
#include "plugcore/fx_container.h"
#include "plugcore/plug.h"

namespace PlugCore {
namespace {

constexpr size_t kDefaultsFileLimit = 1048576;

// The embedded bank's problem, as the user reads it, or null when its chunk can be loaded.
const char* factoryBankProblem(const FxContainer& bank) {
  if (bank.fileSize < 12 || bank.problem == FxProblem::NotContainer) return "Bad chunk magic in factory bank!";
  if (bank.type != "FBCh") return "Invalid chunk type in factory bank!";
  if (bank.fileSize < 160 || bank.problem != FxProblem::None) return "Truncated or corrupt factory bank!";
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
  const Platform::Resource resource = Platform::findResource("FactoryBank", "FXB");
  if (!resource) return;
  const FxContainer bank = readFxContainer(resource.data, resource.size);
  if (const char* problem = factoryBankProblem(bank)) {
    Platform::showError(name_, problem);
    return;
  }
  loadChunk(bank.chunk, bank.chunkSize);
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
