// One picture smoothly resampled to each size it is drawn at, with the current fade frame kept
// at that size, so that a scaled picture is resampled once per picture and size and drawn with
// one BitBlt per tick. The dissolve keeps its grain: a destination byte is kept exactly when the
// source byte it maps to (nearest, rows in memory order) is kept at that level, so the black
// cells are the picture's own byte groups, scaled with the picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/DibImage.h"
#include "platform/Types.h"

namespace kavrosa {

// The frame a surface holds, named as FadeDraw names it: level 0 is black, level == steps the
// whole picture, anything between a dissolve.
struct FadeFrame {
  int32_t level = 1;
  int32_t steps = 1;
};

class ScaledFrames {
 public:
  ScaledFrames() = default;
  ~ScaledFrames();
  ScaledFrames(const ScaledFrames&) = delete;
  ScaledFrames& operator=(const ScaledFrames&) = delete;

  // Forgets every surface; the frame starts again as the whole picture. Call it before the
  // surfaces of another picture are prepared.
  void Clear();
  // Makes, once, the surface for destination size `size` from `image`, holding the frame last
  // rendered. False (nothing made) for a picture that is not a loaded 24-bit one, a size the
  // pixel caps refuse, a full cache, or memory that cannot be had: the caller draws otherwise.
  bool Prepare(DibImage& image, DeviceContext dc, Size size);
  // Renders (level, steps) into every surface by FadeDraw's rules: false and nothing changed for
  // level < 0 or level > steps.
  bool Render(int32_t level, int32_t steps);
  // BitBlt of the surface of destination's size to destination; false when there is none.
  bool Draw(DeviceContext dc, Rect destination, uint32_t rop) const;

  size_t surfaces() const { return surfaces_.size(); }

 private:
  // A DIB section deleted with its owner.
  struct OwnedSection {
    BitmapHandle handle = nullptr;
    OwnedSection() = default;
    explicit OwnedSection(BitmapHandle h) : handle(h) {}
    OwnedSection(OwnedSection&& other) noexcept : handle(other.handle) { other.handle = nullptr; }
    OwnedSection& operator=(OwnedSection&& other) noexcept;
    ~OwnedSection();
  };
  struct Surface {
    Size size;
    size_t stride = 0;
    std::vector<uint8_t> picture;       // the resampled picture, 32-bit rows as in the section
    std::vector<size_t> sourceRow;      // per destination row: offset of its source row
    std::vector<uint32_t> sourcePixel;  // per destination pixel: its source pixel's row offset
    std::vector<uint32_t> rowMask;      // the choices of one destination row, while rendering
    OwnedSection section;
    uint8_t* bits = nullptr;  // the section's pixel memory
  };
  void RenderInto(Surface& surface);

  std::vector<Surface> surfaces_;
  FadeFrame frame_;
  // The source picture's pixel rows as the dissolve sees them: stride and size in bytes.
  size_t sourceStride_ = 0;
  size_t sourceBytes_ = 0;
  int32_t sourceWidth_ = 0;
  int32_t sourceRows_ = 0;
  std::vector<uint8_t> mask_;  // the dissolve's choice for the current frame, per source byte
};

}  // namespace kavrosa
