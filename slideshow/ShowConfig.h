// What a shell hands the controller for one run: where the settings live, the values given for
// this run only, the monitors and the photograph loader. The shells build it (the Windows
// window procedure, the X program, kavrosa-tool frames), so the controller reads no
// process-wide override and never asks where the settings are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "photo/Photograph.h"
#include "platform/Types.h"

namespace kavrosa {

// More monitors than any desktop has; the rest are not drawn on.
constexpr size_t kMaxMonitors = 16;

struct ShowConfig {
  // The settings file, read at start and written at stop; "" runs on the defaults and records
  // nothing.
  std::string settingsPath;
  // For this run only: they win over the file's values and are never written.
  std::optional<int32_t> intervalSeconds;  // clamped as the file's value is
  std::optional<int32_t> fitImage;         // only 1 turns fitting on
  std::optional<std::string> folder;       // as ReadPhotoFolder gives it; "" for none
  std::optional<int32_t> shuffle;          // only 1 shuffles
  // The monitors in client coordinates, the primary first; empty: as the window reports them.
  std::vector<Rect> monitors;
  // What the folder worker loads photographs with.
  PhotographLoader loader = &LoadPhotograph;
};

}  // namespace kavrosa
