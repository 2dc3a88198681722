// Events as manual-reset Win32 event objects, waited on with WaitForMultipleObjects.
#include "platform/event.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/last_error.h"

namespace platform {

Event::Event() : m_handle(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (m_handle == nullptr) {
        // Without events nothing of the link can work; better to stop at once.
        std::fprintf(stderr, "CreateEventA() failed: %s",
                     SystemErrorText(static_cast<ErrorCode>(::GetLastError())).c_str());
        std::abort();
    }
}

Event::~Event() {
    CloseHandle(m_handle);
}

void Event::Set() {
    SetEvent(m_handle);
}

void Event::Reset() {
    ResetEvent(m_handle);
}

bool Event::IsSet() const {
    return Wait(0);
}

bool Event::Wait(int timeoutMs) const {
    return WaitAny({this}, timeoutMs) == 0;
}

int WaitAny(std::initializer_list<const Event*> events, int timeoutMs) {
    const DWORD timeout = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    std::vector<HANDLE> handles;
    std::vector<int> indexOf;
    int index = 0;
    for (const Event* event : events) {
        if (event) {
            handles.push_back(event->Native());
            indexOf.push_back(index);
        }
        ++index;
    }
    if (handles.empty()) {
        Sleep(timeout);  // nothing can be set: the time runs out, as with poll() on nothing
        return kWaitTimeout;
    }
    // The lowest index among the signalled handles.
    const DWORD ready =
        WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, timeout);
    if (ready == WAIT_TIMEOUT) {
        return kWaitTimeout;
    }
    if (ready >= WAIT_OBJECT_0 + handles.size()) {
        return kWaitFailed;
    }
    return indexOf[ready - WAIT_OBJECT_0];
}

}  // namespace platform
