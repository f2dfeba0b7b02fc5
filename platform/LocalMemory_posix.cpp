// LocalBlock on the C heap. Blocks do not move here, but the lock count is still kept so
// that tests can see that every lock is paired with an unlock.
#include "platform/LocalMemory.h"

#include <cassert>
#include <cstdlib>
#include <utility>

namespace kavrosa {
namespace {

struct HeapBlock {
  int lockCount = 0;
  // Pixel bytes follow the header; max_align_t keeps them aligned for any use.
  alignas(std::max_align_t) uint8_t bytes[1];
};

HeapBlock* AsHeapBlock(void* handle) {
  return static_cast<HeapBlock*>(handle);
}

}  // namespace

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
  if (bytes > SIZE_MAX - sizeof(HeapBlock)) return block;
  block.handle_ = std::calloc(1, sizeof(HeapBlock) + bytes);
  if (block.handle_ != nullptr) block.size_ = bytes;
  return block;
}

void LocalBlock::Free() {
  if (handle_ != nullptr) {
    assert(AsHeapBlock(handle_)->lockCount == 0 && "block freed while locked");
    std::free(handle_);
    handle_ = nullptr;
    size_ = 0;
  }
}

uint8_t* LocalBlock::Lock() {
  if (handle_ == nullptr) return nullptr;
  HeapBlock* block = AsHeapBlock(handle_);
  ++block->lockCount;
  return block->bytes;
}

void LocalBlock::Unlock() {
  --AsHeapBlock(handle_)->lockCount;
}

}  // namespace kavrosa
