// Pictures for the slide-show tests without the decoder: 24-bit packed DIBs whose every byte
// (fill bytes included) is non-zero, so that a copied byte and a cleared one always differ, and
// a picture source that records what the prefetch thread asked for and can hold a load open.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "image/DibImage.h"
#include "image/DibImageAccess.h"
#include "slideshow/SlideShow.h"

namespace kavrosa::testing_pictures {

inline int32_t StrideOf(int32_t width) {
  return (width * 24 + 31) / 32 * 4;
}

// The pixel data of a width x height picture: byte i is 1 + (i x 7 + seed) % 251.
inline std::vector<uint8_t> PatternBytes(int32_t width, int32_t height, uint32_t seed) {
  std::vector<uint8_t> bytes(static_cast<size_t>(StrideOf(width)) * height);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>(1 + (i * 7 + seed) % 251);
  return bytes;
}

// Installs the pattern picture in `image` as a loaded 24-bit bottom-up DIB.
inline void InstallPattern(DibImage& image, int32_t width, int32_t height, uint32_t seed) {
  BitmapInfoHeader header{};
  header.biSize = 40;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  const std::vector<uint8_t> pixels = PatternBytes(width, height, seed);
  std::vector<uint8_t> packed(sizeof header + pixels.size());
  std::memcpy(packed.data(), &header, sizeof header);
  if (!pixels.empty()) std::memcpy(packed.data() + sizeof header, pixels.data(), pixels.size());
  if (image.LoadPackedDib(packed.data(), packed.size()) == 1) DibImageAccess::Loaded(image) = 1;
}

struct PictureSize {
  int32_t width;
  int32_t height;
};

// A picture that counts the Blits made of it (the controller's draws at the picture's own size).
class CountingImage : public DibImage {
 public:
  explicit CountingImage(std::atomic<int>& blits) : blits_(blits) {}
  int32_t Blit(DeviceContext hdc, Rect destination, Rect source, uint32_t rop) override {
    ++blits_;
    return DibImage::Blit(hdc, destination, source, rop);
  }

 private:
  std::atomic<int>& blits_;
};

// Records the resource ids loaded; pictures are patterns seeded by their id. Thread-safe: the
// prefetch thread calls NewImage and Load, the test reads the records.
class FakePictureSource : public PictureSource {
 public:
  std::unique_ptr<DibImage> NewImage() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++newImages_;
    if (failingNewImages_ > 0) {
      --failingNewImages_;
      return nullptr;
    }
    return std::make_unique<CountingImage>(blits_);
  }

  void Load(DibImage& image, uint32_t resourceId) override {
    std::unique_lock<std::mutex> lock(mutex_);
    loadsStarted_.push_back(resourceId);
    changed_.notify_all();
    changed_.wait(lock, [this] { return !holdLoads_; });
    const PictureSize size = SizeOf(resourceId);
    InstallPattern(image, size.width, size.height, resourceId);
    ++loadsFinished_;
  }

  void SetSize(uint32_t resourceId, PictureSize size) {
    std::lock_guard<std::mutex> lock(mutex_);
    sizes_[resourceId] = size;
  }
  void SetDefaultSize(PictureSize size) {
    std::lock_guard<std::mutex> lock(mutex_);
    defaultSize_ = size;
  }
  void FailNextNewImages(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    failingNewImages_ = count;
  }
  // While held, a load that starts waits until ReleaseLoads.
  void HoldLoads() {
    std::lock_guard<std::mutex> lock(mutex_);
    holdLoads_ = true;
  }
  void ReleaseLoads() {
    std::lock_guard<std::mutex> lock(mutex_);
    holdLoads_ = false;
    changed_.notify_all();
  }
  // Waits (without limit: the test fails by its CTest timeout) until `count` loads started.
  void WaitForLoadsStarted(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return loadsStarted_.size() >= count; });
  }

  std::vector<uint32_t> loadsStarted() {
    std::lock_guard<std::mutex> lock(mutex_);
    return loadsStarted_;
  }
  int loadsFinished() {
    std::lock_guard<std::mutex> lock(mutex_);
    return loadsFinished_;
  }
  // Blits of every picture made so far.
  int blits() const { return blits_.load(); }
  int newImages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return newImages_;
  }

 private:
  PictureSize SizeOf(uint32_t resourceId) const {
    const auto found = sizes_.find(resourceId);
    return found != sizes_.end() ? found->second : defaultSize_;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<uint32_t, PictureSize> sizes_;
  PictureSize defaultSize_{21, 10};
  std::vector<uint32_t> loadsStarted_;
  int loadsFinished_ = 0;
  int newImages_ = 0;
  int failingNewImages_ = 0;
  bool holdLoads_ = false;
  std::atomic<int> blits_{0};
};

}  // namespace kavrosa::testing_pictures

#include "platform/SoftwareWindowPort.h"

namespace kavrosa::testing_pictures {

// Pixels of `window` inside `area` that differ from the bottom-up 24-bit DIB `bytes` (width x
// height, the given stride) drawn there unscaled; outside `area` pixels that are not black.
inline int CountMismatches(const SoftwareWindowPort& window, Rect area,
                           const std::vector<uint8_t>& bytes, int32_t width, int32_t height) {
  const int32_t stride = StrideOf(width);
  int mismatches = 0;
  const SoftwareSurface& surface = window.surface();
  for (int32_t y = 0; y < surface.height(); ++y) {
    for (int32_t x = 0; x < surface.width(); ++x) {
      Bgr expected;
      const int32_t px = x - area.left, py = y - area.top;
      if (px >= 0 && py >= 0 && px < width && py < height && x < area.right && y < area.bottom) {
        const uint8_t* p = bytes.data() + static_cast<size_t>(height - 1 - py) * stride + 3 * px;
        expected = Bgr{p[0], p[1], p[2]};
      }
      if (!(surface.Pixel(x, y) == expected)) ++mismatches;
    }
  }
  return mismatches;
}

// The frame FadeDraw renders at (level, steps) for the pattern picture, by the reference loop.
std::vector<uint8_t> ReferenceFrame(int32_t width, int32_t height, uint32_t seed, int32_t level,
                                    int32_t steps);

}  // namespace kavrosa::testing_pictures
