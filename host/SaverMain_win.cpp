// The process entry of kavrosa.scr. The runtime's main ignores its arguments: SaverStartup reads
// the command line as the system gave it and ends the process itself.
#include "host/Host_win.h"

int main() {
  kavrosa::SaverStartup();
}
