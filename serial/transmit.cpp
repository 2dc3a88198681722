// Writing the command that SendHex left in the transmit buffer.
#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/last_error.h"
#include "platform/port_wait.h"
#include "serial/serial_link.h"

namespace {

struct WriteOutcome {
    const char* failedStep = nullptr;
    int error = 0;
};

// Writes all of `length` bytes. A write that cannot finish at once is outstanding and may take
// the port's write time-out for that many bytes; a failure after that point is one of its
// completion.
WriteOutcome WriteAll(platform::SerialPort& port, const std::uint8_t* bytes, int length,
                      const platform::PortTimeouts& timeouts) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(timeouts.writeTotalTimeoutMultiplier * length +
                                                 timeouts.writeTotalTimeoutConstant);
    const char* step = "WriteFile()";
    int written = 0;
    while (written < length) {
        const int put = port.Write(bytes + written, length - written);
        if (put > 0) {
            written += put;
            step = "GetOverlappedResults() in WriteFile()";
            continue;
        }
        if (put == 0) {
            return {step, EIO};
        }
        if (errno != EAGAIN) {
            return {step, errno};
        }
        step = "GetOverlappedResults() in WriteFile()";
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (!platform::WaitReady(port.Fd(), POLLOUT,
                                 static_cast<int>(std::max<std::int64_t>(left.count(), 0)))) {
            return {step, platform::GetLastError()};
        }
    }
    return {};
}

}  // namespace

void CSerialLink::TransmitPending(CSerialLink* link) {
    link->m_hSendEvent->Reset();  // the request is taken
    if (link->m_portDead) {
        return;  // already reported; the exchange ends by its reply time-out
    }

    WriteOutcome write;
    {
        std::lock_guard<std::mutex> guard(link->m_lock);
        if (!link->m_hPort) {
            write = {"WriteFile()", EBADF};
        } else {
            // Input not read by now belongs to an earlier exchange: discard it with the output.
            link->m_hPort->Purge();
            const std::int64_t length =
                std::clamp<std::int64_t>(link->m_sendLength, 0, link->m_sendBufferSize);
            write = WriteAll(*link->m_hPort, link->m_sendBuffer.get(), static_cast<int>(length),
                             link->m_timeouts);
        }
    }
    // Reported only once the lock is free: a warning box must not wait with it held.
    if (!write.failedStep) {
        return;
    }
    if (write.error == EIO && link->m_hPort) {
        link->ReportPortGone(write.failedStep, write.error);
    } else {
        link->ReportFailure(write.failedStep, write.error);
    }
}
