// kavrosa-stuck-helper.exe, for the close test with a folder: runs the saver's start-up with
// "/s" but loads folder photographs by reading the named pipe \\.\pipe\kavrosa-stuck-read,
// whose server (the test) never writes: the worker is stuck in ReadFile as on a hung network
// share. (Wine opens a FIFO without blocking and reports it as a pipe, so a FIFO cannot stand
// in here.) The close must still end the process promptly.
#include <windows.h>

#include "host/Host_win.h"
#include "slideshow/SlideShowProc.h"

namespace {

bool ReadFromStuckPipe(const std::string&, kavrosa::Size, kavrosa::DibImage&) {
  HANDLE pipe = CreateFileA("\\\\.\\pipe\\kavrosa-stuck-read", GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) {
    Sleep(INFINITE);  // no server: stuck all the same
  }
  char byte = 0;
  DWORD got = 0;
  ReadFile(pipe, &byte, 1, &got, nullptr);  // blocks until the server writes or goes away
  CloseHandle(pipe);
  return false;
}

}  // namespace

int main() {
  kavrosa::SetPhotographLoaderForTesting(&ReadFromStuckPipe);
  return kavrosa::SaverMain(GetModuleHandleA(nullptr), "/s");
}
