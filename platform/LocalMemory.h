// Movable, zero-filled memory blocks that are addressable only while locked: LocalAlloc with
// LMEM_MOVEABLE | LMEM_ZEROINIT on Windows, a heap block with the same discipline elsewhere.
// LocalBlock owns the block; BlockLock is the only way to reach its bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kavrosa {

class LocalBlock {
 public:
  LocalBlock() = default;
  ~LocalBlock() { Free(); }
  LocalBlock(LocalBlock&& other) noexcept;
  LocalBlock& operator=(LocalBlock&& other) noexcept;
  LocalBlock(const LocalBlock&) = delete;
  LocalBlock& operator=(const LocalBlock&) = delete;

  // A zero-filled block of `bytes` bytes (at least 1 byte is reserved for an empty request);
  // an empty LocalBlock when the memory cannot be had.
  static LocalBlock Allocate(size_t bytes);

  explicit operator bool() const { return handle_ != nullptr; }
  // The byte count asked for when the block was allocated; 0 for no block.
  size_t Size() const { return size_; }
  void Free();

 private:
  friend class BlockLock;
  uint8_t* Lock();
  void Unlock();

  void* handle_ = nullptr;
  size_t size_ = 0;
};

// Locks a block for the lifetime of this object. data() is null for an empty block.
class BlockLock {
 public:
  explicit BlockLock(LocalBlock& block) : block_(block), data_(block.Lock()) {}
  ~BlockLock() {
    if (data_ != nullptr) block_.Unlock();
  }
  BlockLock(const BlockLock&) = delete;
  BlockLock& operator=(const BlockLock&) = delete;

  uint8_t* data() const { return data_; }
  size_t size() const { return data_ != nullptr ? block_.Size() : 0; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  LocalBlock& block_;
  uint8_t* data_;
};

}  // namespace kavrosa
