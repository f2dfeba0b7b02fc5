// LocalBlock over the Win32 local heap: movable, zero-initialised blocks.
#include "platform/LocalMemory.h"

#include <windows.h>

#include <utility>

namespace kavrosa {

LocalBlock::LocalBlock(LocalBlock&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), size_(std::exchange(other.size_, 0)) {}

LocalBlock& LocalBlock::operator=(LocalBlock&& other) noexcept {
  if (this != &other) {
    Free();
    handle_ = std::exchange(other.handle_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

LocalBlock LocalBlock::Allocate(size_t bytes) {
  LocalBlock block;
  block.handle_ = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, bytes == 0 ? 1 : bytes);
  if (block.handle_ != nullptr) block.size_ = bytes;
  return block;
}

void LocalBlock::Free() {
  if (handle_ != nullptr) {
    LocalFree(static_cast<HLOCAL>(handle_));
    handle_ = nullptr;
    size_ = 0;
  }
}

uint8_t* LocalBlock::Lock() {
  return handle_ != nullptr ? static_cast<uint8_t*>(LocalLock(static_cast<HLOCAL>(handle_)))
                            : nullptr;
}

void LocalBlock::Unlock() {
  LocalUnlock(static_cast<HLOCAL>(handle_));
}

}  // namespace kavrosa
