// The system's own handle behind an object of this layer: a descriptor on POSIX, a HANDLE on
// Windows. Tests and the POSIX-only simulator look behind the layer with it; the core never does.
#pragma once

namespace platform {

#ifdef _WIN32
using NativeHandle = void*;
#else
using NativeHandle = int;
#endif

}  // namespace platform
