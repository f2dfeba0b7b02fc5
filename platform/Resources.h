// The seam to a module's resources. On Windows they are the module's own resource section
// (FindResourceA, LoadResource, SizeofResource); elsewhere a module is a table of resources
// compiled into the program from the same resource scripts. The size travels with the bytes:
// nothing may read a resource past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Types.h"

namespace kavrosa {

// Integer resource types as Win32 numbers them.
constexpr uint16_t kResourceTypeBitmap = 2;   // RT_BITMAP
constexpr uint16_t kResourceTypeRcData = 10;  // RT_RCDATA

// One resource's bytes in memory, valid as long as the module is.
struct ResourceBytes {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// The resource `id` of `type` in `module`. type is a type name ("IMGDAT"), an integer type made
// with ResourceTypeNumber, or null for RT_BITMAP; module null means the running program.
// nullopt when it is not there or cannot be loaded; an id of 0 is never found.
std::optional<ResourceBytes> FindModuleResource(ModuleHandle module, uint16_t id, const char* type);

// The running program's own module (GetModuleHandleA(nullptr) on Windows).
ModuleHandle RunningModule();

// An integer resource type in the form FindModuleResource takes (MAKEINTRESOURCEA).
inline const char* ResourceTypeNumber(uint16_t number) {
  return reinterpret_cast<const char*>(static_cast<uintptr_t>(number));
}

#ifndef _WIN32
// One compiled-in resource: type by number (typeName null) or by name (typeNumber 0).
struct ResourceEntry {
  uint16_t typeNumber;
  const char* typeName;
  uint16_t id;
  const uint8_t* data;
  size_t size;
};

// A module stands for the resource tables linked into it. Tables are added by static
// initialisers before main, so lookups need no lock.
struct ModuleObject {
  std::vector<const ResourceEntry*> entries;
  void Add(const ResourceEntry* table, size_t count);
  const ResourceEntry* Find(uint16_t id, const char* type) const;
};

// Adds a generated table to the running program's module; returns true so that a generated
// file can call it from the initialiser of a namespace-scope constant.
bool RegisterProgramResources(const ResourceEntry* table, size_t count);
#endif

}  // namespace kavrosa
