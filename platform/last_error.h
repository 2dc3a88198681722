// The calling thread's last error code and the system's text for a code: what a warning
// names as the reason a step failed.
#pragma once

#include <string>

namespace platform {

// The errno of the last failed platform call on this thread, captured at the failure.
int GetLastError();
void SetLastError(int code);

// The system's own text for an errno value; for a code it has no text for, says so with
// the number.
std::string SystemErrorText(int code);

}  // namespace platform
