// The program's icon, carried in the binary.
#pragma once

#include <QIcon>

// The camera icon at 32x32 and 16x16 pixels.
QIcon ProgramIcon();
