// The calling thread's last error code and the system's text for a code: what a warning
// names as the reason a step failed.
#pragma once

#include <string>

namespace platform {

// A code as the system gives it: errno on POSIX, GetLastError() on Windows.
using ErrorCode = int;

// The code of the last failed call of this layer on this thread, captured at the failure.
ErrorCode GetLastError();
void SetLastError(ErrorCode code);

// The system's own text for a code; for a code it has no text for, says so with the number.
std::string SystemErrorText(ErrorCode code);

// The code for an operation on a port that is not open (EBADF, ERROR_INVALID_HANDLE).
ErrorCode NoPortError();

}  // namespace platform
