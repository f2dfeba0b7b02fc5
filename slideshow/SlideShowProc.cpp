// SlideShowProc: finds the window's controller, creating it on WM_CREATE. Without a controller
// (before creation, or when there was no memory for one) the window runs on its default
// handling alone. The user data holds a raw pointer, as the platform's slot must; ownership is
// taken back from it on WM_DESTROY.
#include "slideshow/SlideShowProc.h"

#include <memory>
#include <new>

#include "settings/Settings.h"
#include "slideshow/SlideShow.h"

namespace kavrosa {
namespace {

PhotographLoader& LoaderOverride() {
  static PhotographLoader loader = nullptr;
  return loader;
}

}  // namespace

ShowConfig SaverShowConfig() {
  ShowConfig config;
  char path[kSettingsPathSize];
  if (GetSettingsPath(path, sizeof path)) config.settingsPath = path;
  if (LoaderOverride() != nullptr) config.loader = LoaderOverride();
  return config;
}

void SetPhotographLoaderForTesting(PhotographLoader loader) {
  LoaderOverride() = loader;
}

SlideShow::SlideShow(PictureSource& source) : SlideShow(SaverShowConfig(), source) {}

intptr_t SlideShowProc(WindowPort& window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  auto* show = reinterpret_cast<SlideShow*>(window.GetUserData());
  if (show == nullptr && message == kWmCreate) {
    std::unique_ptr<SlideShow> created(new (std::nothrow) SlideShow(CurrentPictureSource()));
    show = created.release();  // the window's user data holds it until WM_DESTROY
    window.SetUserData(reinterpret_cast<intptr_t>(show));
  }
  if (show == nullptr) return window.DefaultProc(message, wParam, lParam);
  if (message != kWmDestroy) return show->OnMessage(window, message, wParam, lParam);
  // The controller ends with its window: it stops and clears the user data, then goes.
  const std::unique_ptr<SlideShow> owned(show);
  return owned->OnMessage(window, message, wParam, lParam);
}

}  // namespace kavrosa
