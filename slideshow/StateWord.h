// The hand-over word between the controller and its prefetch thread: one atomic 32-bit integer
// (0 wait, positive go, negative quit). It lives in shared ownership so that a folder worker the
// controller had to let go of can still read it safely after the controller is gone.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace kavrosa {

class StateWord {
 public:
  explicit StateWord(int32_t initial) : word_(std::make_shared<std::atomic<int32_t>>(initial)) {}
  int32_t load() const { return word_->load(); }
  void store(int32_t value) { word_->store(value); }
  // A co-owner's view of the same word, for a worker that may outlive this object.
  std::shared_ptr<const std::atomic<int32_t>> Share() const { return word_; }

 private:
  std::shared_ptr<std::atomic<int32_t>> word_;
};

}  // namespace kavrosa
