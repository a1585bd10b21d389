// Linux resources: a table of files under resources/ embedded into the shared object when it is built.
#include <strings.h>

#include "platform/resources.h"

// Defined by the generated resource file of the module being built (an empty table where none is linked).
extern const Platform::ResourceEntry koralinResourceTable[];
extern const size_t koralinResourceCount;

namespace Platform {

Resource findResource(const char* name, const char* type) {
  if (!name || !type) return {};
  for (size_t i = 0; i < koralinResourceCount; ++i) {
    const ResourceEntry& entry = koralinResourceTable[i];
    if (strcasecmp(entry.name, name) == 0 && strcasecmp(entry.type, type) == 0) return {entry.data, entry.size};
  }
  return {};
}

}  // namespace Platform
