// The stride rules and checked pixel-block sizes live on the platform floor, where the software
// surface needs them too; this name stays for the decoder's files.
#pragma once

#include "platform/PixelGeometry.h"
