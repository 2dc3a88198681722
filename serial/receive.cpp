// Reading the reply bytes one at a time into the reply buffer, each signalled as it is stored.
#include <cerrno>

#include "platform/last_error.h"
#include "platform/port_wait.h"
#include "serial/serial_link.h"

namespace {

// The input count; a failed query counts as nothing waiting.
int InputWaiting(std::mutex& lock, platform::SerialPort& port) {
    std::lock_guard<std::mutex> guard(lock);
    int count = 0;
    return port.InputCount(count) ? count : 0;
}

struct ReadOutcome {
    bool got = false;
    const char* failedStep = nullptr;
    int error = 0;
};

// One read of one byte. A read that finds nothing yet is outstanding: it completes when a byte
// comes, or empty when the port's read time-out for one byte runs out.
ReadOutcome ReadOneByte(platform::SerialPort& port, const platform::PortTimeouts& timeouts,
                        std::uint8_t& byte) {
    const char* step = "ReadFile()";
    int got = port.Read(&byte, 1);
    if (got < 0 && errno == EAGAIN) {
        step = "GetOverlappedResults() in ReadFile()";
        const int timeoutMs =
            timeouts.readTotalTimeoutMultiplier * 1 + timeouts.readTotalTimeoutConstant;
        if (!platform::WaitReady(port.Fd(), POLLIN, timeoutMs)) {
            const int error = platform::GetLastError();
            return error == ETIMEDOUT ? ReadOutcome{} : ReadOutcome{false, step, error};
        }
        got = port.Read(&byte, 1);
        if (got < 0 && errno == EAGAIN) {
            return {};
        }
    }
    if (got == 1) {
        return {true, nullptr, 0};
    }
    return {false, step, got == 0 ? EIO : errno};  // a read of nothing: the device hung up
}

}  // namespace

void CSerialLink::ReceivePending(CSerialLink* link) {
    platform::SerialPort& port = *link->m_hPort;
    if (InputWaiting(link->m_lock, port) <= 0) {
        return;
    }
    do {
        std::uint8_t byte = 0;
        ReadOutcome read;
        {
            std::lock_guard<std::mutex> guard(link->m_lock);
            read = ReadOneByte(port, link->m_timeouts, byte);
        }
        if (read.failedStep) {
            // Nothing is stored for a failed read. The round ends here, so that a stop request
            // is served before the port is tried again.
            if (read.error == EIO) {
                link->ReportPortGone(read.failedStep, read.error);
            } else {
                link->ReportFailure(read.failedStep, read.error);
            }
            return;
        }
        if (read.got) {
            link->StoreReplyByte(byte);
        }
    } while (InputWaiting(link->m_lock, port) > 0);
}

void CSerialLink::StoreReplyByte(std::uint8_t byte) {
    {
        std::lock_guard<std::mutex> guard(m_replyLock);
        const std::int32_t count = m_replyCount.load();
        if (count >= kReplySize) {
            return;  // a full buffer drops the byte unsignalled: the reader's time-out ends it
        }
        m_reply[static_cast<std::size_t>(count)] = byte;
        m_replyCount.store(count + 1);
    }
    m_hByteEvent->Set();
}

void CSerialLink::ClearReply() {
    std::lock_guard<std::mutex> guard(m_replyLock);
    m_reply.fill(0);
    m_replyCount.store(0);
}
