// The program's icons, carried in the binary.
#pragma once

#include "platform/dialog/icon.h"

// The icon with resource id `id` (both its images), null when there is none. The icon is
// shared and lives until the program ends.
HICON LoadIconResource(int id);
