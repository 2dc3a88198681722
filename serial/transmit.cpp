// Writing the command that SendHex left in the transmit buffer.
#include <algorithm>

#include "platform/last_error.h"
#include "serial/serial_link.h"

void CSerialLink::TransmitPending(CSerialLink* link) {
    link->m_hSendEvent->Reset();  // the request is taken
    if (link->m_portDead) {
        return;  // already reported; the exchange ends by its reply time-out
    }

    platform::IoResult write;
    platform::ErrorCode error = 0;
    {
        std::lock_guard<std::mutex> guard(link->m_lock);
        if (!link->m_hPort) {
            write.status = platform::IoStatus::Failed;
            error = platform::NoPortError();
        } else {
            // Input not read by now belongs to an earlier exchange: discard it with the output.
            link->m_hPort->Purge();
            const std::int64_t length =
                std::clamp<std::int64_t>(link->m_sendLength, 0, link->m_sendBufferSize);
            write = link->m_hPort->Write(link->m_sendBuffer.get(), static_cast<int>(length));
            error = platform::GetLastError();
        }
    }
    // Reported only once the lock is free: a warning box must not wait with it held.
    const char* step = write.waited ? "GetOverlappedResults() in WriteFile()" : "WriteFile()";
    if (write.status == platform::IoStatus::Gone) {
        link->ReportPortGone(step, error);
    } else if (write.status != platform::IoStatus::Done) {
        link->ReportFailure(step, error);
    }
}
