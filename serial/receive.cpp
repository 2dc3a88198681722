// Reading the reply bytes one at a time into the reply buffer, each signalled as it is stored.
#include "platform/last_error.h"
#include "serial/serial_link.h"

namespace {

// The input count; a failed query counts as nothing waiting.
int InputWaiting(std::mutex& lock, platform::SerialPort& port) {
    std::lock_guard<std::mutex> guard(lock);
    int count = 0;
    return port.InputCount(count) ? count : 0;
}

}  // namespace

void CSerialLink::ReceivePending(CSerialLink* link) {
    platform::SerialPort& port = *link->m_hPort;
    if (InputWaiting(link->m_lock, port) <= 0) {
        return;
    }
    do {
        std::uint8_t byte = 0;
        bool got = false;
        platform::IoResult read;
        platform::ErrorCode error = 0;
        {
            std::lock_guard<std::mutex> guard(link->m_lock);
            read = port.ReadByte(byte, got);
            error = platform::GetLastError();
        }
        if (read.status == platform::IoStatus::Failed || read.status == platform::IoStatus::Gone) {
            // Nothing is stored for a failed read. The round ends here, so that a stop request
            // is served before the port is tried again.
            const char* step = read.waited ? "GetOverlappedResults() in ReadFile()" : "ReadFile()";
            if (read.status == platform::IoStatus::Gone) {
                link->ReportPortGone(step, error);
            } else {
                link->ReportFailure(step, error);
            }
            return;
        }
        if (got) {
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
