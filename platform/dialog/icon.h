// Icons as the program hands them around: a handle to a shared icon that belongs to the
// program's resources and is never released by its user. Null draws nothing.
#pragma once

class QIcon;
using HICON = const QIcon*;

// Size of a large icon in pixels, as the system metrics give it.
inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;
int GetSystemMetrics(int index);
