// The build-time describer: the product's names and the factory programs, in the parameter table's units.
#include "plugin/embed/describe.h"

#include "gui/plug_frame.h"
#include "tools/factory_bank/factory_programs.h"

namespace Embed {

const ProductInfo& product() {
  static const ProductInfo info{KoralinParams::kProductName, "Quillmarsh", Lattice::kMakerWebAddress, KORALIN_VERSION};
  return info;
}

std::vector<FactoryProgram> readFactoryPrograms(const std::string& path) {
  static_assert(bank::kParamCount == KoralinParams::kCount);
  std::vector<FactoryProgram> programs;
  for (const bank::Program& read : bank::readProgramsFile(path)) {
    FactoryProgram program{read.name, {}};
    for (int32_t i = 0; i < KoralinParams::kCount; ++i) program.steps[i] = read.steps[(size_t)i];
    programs.push_back(program);
  }
  return programs;
}

}  // namespace Embed
