// Plug's factory settings, the optional embedded factory bank, and the per-user defaults file.
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/resources.h"
#include "plugcore/chunk_codec.h"
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

// The defaults into every value and program (names stay), then the embedded bank's records over them, stored as
// one state; learnt controllers stay as they are unless the bank itself binds some.
void Plug::loadFactorySettings() {
  const Platform::Resource resource = Platform::findResource("FactoryBank", "FXB");
  const char* problem = nullptr;
  ChunkReading bank;  // no bank: the defaults alone
  if (resource) {
    const FxContainer container = readFxContainer(resource.data, resource.size);
    problem = factoryBankProblem(container);
    if (!problem) bank = readChunk(container.chunk, container.chunkSize);
  }
  loadState(bank, LoadStart::Defaults, LoadMappings::Keep, false);
  if (problem) Platform::showError(name_, problem);
}

void Plug::loadUserDefaults() {
  const std::string path = defaultsFilePath();
  if (path.empty()) return;
  std::vector<unsigned char> bytes;
  if (Platform::readWholeFile(path, kDefaultsFileLimit, bytes) != Platform::ReadResult::Ok) return;
  loadState(readChunk(bytes.data(), bytes.size()), LoadStart::Current, LoadMappings::FromChunk, true);
}

void Plug::loadFactoryState() {
  {
    ProgramsHeld held(*this);
    for (int32_t i = 0; i < params_.count(); ++i) {
      params_[i].defaultValue = productDefaults_[(size_t)i];
      params_[i].controllerKey = kNoController;
    }
  }
  learnTarget_.store(-1);
  loadFactorySettings();
}

void Plug::saveUserDefaults() {
  // A chunk of its own: the host may still be reading the one getChunk handed it. The values saved are the ones
  // that become the defaults, whatever moves while the file is written.
  std::vector<uint8_t> chunk;
  std::vector<float> saved((size_t)params_.count());
  {
    ProgramsHeld held(*this);
    buildChunk(false, chunk);
    for (int32_t i = 0; i < params_.count(); ++i) saved[(size_t)i] = params_[i].value;
  }
  const std::string folder = Platform::appDataFolder();
  if (folder.empty()) return;
  if (!Platform::createFolder(folder + Platform::pathSeparator() + "Quillmarsh")) return;
  if (!Platform::writeFileReplacing(defaultsFilePath(), chunk.data(), chunk.size())) return;
  for (int32_t i = 0; i < params_.count(); ++i) params_[i].defaultValue = saved[(size_t)i];
}

}  // namespace PlugCore
