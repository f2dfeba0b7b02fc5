// A controller on a software window with fake pictures and a scratch settings file; the
// process-wide counters are reset before each test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "settings/Settings.h"
#include "slideshow/SlideShow.h"
#include "tests/settings/SettingsTestFiles.h"
#include "tests/slideshow/FakePictures.h"

namespace kavrosa::testing_pictures {

class ShowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCountersForTesting();
    SetSettingsPathOverride(settings_.path());
    SetPictureSourceForTesting(&source_);
  }
  void TearDown() override {
    if (show_) show_->Stop(*window_);
    show_.reset();
    SetPictureSourceForTesting(nullptr);
    SetSettingsPathOverride(nullptr);
  }

  // Settings with picture number `number`, interval `seconds` and FitImage `fit`.
  void WriteSettings(int32_t number, int32_t seconds, int32_t fit = 0) {
    settings_.Write("[Config]\r\n" + std::string(kIntervalKey) + "=" + std::to_string(seconds) +
                    "\r\nFitImage=" + std::to_string(fit) +
                    "\r\n[Image]\r\nNO=" + std::to_string(number) + "\r\n");
  }
  void MakeWindow(Size size, Point origin = Point{}) {
    window_ = std::make_unique<SoftwareWindowPort>(size, origin);
  }
  // A started controller: Start has run tick 0.
  void StartShow() {
    if (!window_) MakeWindow(Size{64, 48});
    show_ = std::make_unique<SlideShow>(source_);
    show_->OnShowWindow(*window_);
  }
  int32_t TickTimes(int count) {
    int32_t last = 0;
    for (int i = 0; i < count; ++i) last = show_->Tick(*window_);
    return last;
  }

  testing_files::ScratchFile settings_{"show"};
  FakePictureSource source_;
  std::unique_ptr<SoftwareWindowPort> window_;
  std::unique_ptr<SlideShow> show_;
};

}  // namespace kavrosa::testing_pictures
