// kavrosa-fault-helper.exe, for the fault-guard test: runs the saver's start-up with "/s" but
// with a picture source that faults on the prefetch thread, so the process must end through the
// host's fault guard (its fixed exit code) and not hang or report success.
#include <windows.h>

#include "host/Host_win.h"
#include "slideshow/SlideShow.h"

namespace {

class FaultingSource : public kavrosa::PictureSource {
 public:
  void Load(kavrosa::DibImage&, uint32_t) override {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
  }
};

}  // namespace

int main() {
  static FaultingSource source;
  kavrosa::SetPictureSourceForTesting(&source);
  return kavrosa::SaverMain(GetModuleHandleA(nullptr), "/s");
}
