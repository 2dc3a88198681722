// The local calendar time of a moment.
#pragma once

#include <ctime>

namespace platform {

// False when the moment has no local date.
bool LocalTime(std::time_t when, std::tm& local);

}  // namespace platform
