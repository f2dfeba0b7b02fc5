// Compiled-in resources: generated tables (cmake/EmbedResources.cmake) register themselves with
// the running program's module before main. Type names compare without regard to case, as
// resource names do on Windows, and integer types are told from names by their value.
#include "platform/Resources.h"

#include <strings.h>

namespace kavrosa {
namespace {

ModuleObject& ProgramModule() {
  static ModuleObject module;  // built on first use, so initialisation order does not matter
  return module;
}

bool IsIntegerType(const char* type) {
  return reinterpret_cast<uintptr_t>(type) < 0x10000;
}

bool TypeMatches(const ResourceEntry& entry, const char* type) {
  if (IsIntegerType(type))
    return entry.typeName == nullptr &&
           entry.typeNumber == static_cast<uint16_t>(reinterpret_cast<uintptr_t>(type));
  return entry.typeName != nullptr && ::strcasecmp(entry.typeName, type) == 0;
}

}  // namespace

void ModuleObject::Add(const ResourceEntry* table, size_t count) {
  for (size_t i = 0; i < count; ++i) entries.push_back(&table[i]);
}

const ResourceEntry* ModuleObject::Find(uint16_t id, const char* type) const {
  for (const ResourceEntry* entry : entries)
    if (entry->id == id && TypeMatches(*entry, type)) return entry;
  return nullptr;
}

bool RegisterProgramResources(const ResourceEntry* table, size_t count) {
  ProgramModule().Add(table, count);
  return true;
}

ModuleHandle RunningModule() {
  return &ProgramModule();
}

std::optional<ResourceBytes> FindModuleResource(ModuleHandle module, uint16_t id,
                                                const char* type) {
  if (id == 0) return std::nullopt;
  const ModuleObject& owner = module != nullptr ? *module : ProgramModule();
  const ResourceEntry* entry =
      owner.Find(id, type != nullptr ? type : ResourceTypeNumber(kResourceTypeBitmap));
  if (entry == nullptr) return std::nullopt;
  return ResourceBytes{entry->data, entry->size};
}

}  // namespace kavrosa
