// The sub-commands of kavrosa-tool. Each returns the process exit code: 0 on success, 1 when
// the input is refused (with one line on standard error), 2 for a wrong command line.
#pragma once

namespace kavrosa::tool {

int RunBmpRoundtrip(int argc, char** argv);
int RunDecode(int argc, char** argv);
int RunFrames(int argc, char** argv);
int RunIndex(int argc, char** argv);

}  // namespace kavrosa::tool
