// Resources of a Win32 module. LoadResource gives the bytes' address (LockResource only returns
// it again) and SizeofResource their count, which bounds every later read of them.
#include "platform/Resources.h"

#include <windows.h>

namespace kavrosa {

ModuleHandle RunningModule() {
  return reinterpret_cast<ModuleHandle>(::GetModuleHandleA(nullptr));
}

std::optional<ResourceBytes> FindModuleResource(ModuleHandle module, uint16_t id,
                                                const char* type) {
  if (id == 0) return std::nullopt;
  HMODULE instance =
      module != nullptr ? reinterpret_cast<HMODULE>(module) : ::GetModuleHandleA(nullptr);
  HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(id), type != nullptr ? type : RT_BITMAP);
  if (found == nullptr) return std::nullopt;
  HGLOBAL loaded = ::LoadResource(instance, found);
  if (loaded == nullptr) return std::nullopt;
  const void* data = ::LockResource(loaded);
  if (data == nullptr) return std::nullopt;
  return ResourceBytes{static_cast<const uint8_t*>(data), ::SizeofResource(instance, found)};
}

}  // namespace kavrosa
