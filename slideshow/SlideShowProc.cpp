// SlideShowProc: finds the window's controller, creating it on WM_CREATE. Without a controller
// (before creation, or when there was no memory for one) the window runs on its default
// handling alone.
#include "slideshow/SlideShowProc.h"

#include <memory>
#include <new>

#include "slideshow/SlideShow.h"

namespace kavrosa {

intptr_t SlideShowProc(WindowPort& window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  auto* show = reinterpret_cast<SlideShow*>(window.GetUserData());
  if (show == nullptr && message == kWmCreate) {
    // The window owns the controller from here; OnMessage deletes it on WM_DESTROY.
    std::unique_ptr<SlideShow> created(new (std::nothrow) SlideShow(CurrentPictureSource()));
    show = created.release();
    window.SetUserData(reinterpret_cast<intptr_t>(show));
  }
  if (show == nullptr) return window.DefaultProc(message, wParam, lParam);
  return show->OnMessage(window, message, wParam, lParam);
}

}  // namespace kavrosa
