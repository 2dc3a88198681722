#include "platform/local_time.h"

namespace platform {

bool LocalTime(std::time_t when, std::tm& local) {
    return localtime_s(&local, &when) == 0;
}

}  // namespace platform
