// A warning sink that records every warning instead of showing it, and the test's way into
// the link's fields.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "serial/serial_link.h"

class WarningRecorder : public IWarningSink {
public:
    void ShowWarning(const std::string& title, const std::string& text) override;
    std::vector<std::string> Texts() const;
    std::vector<std::string> Titles() const;
    std::size_t Count() const;
    // Waits (generously, 10 s) until `n` warnings have been shown; false when they were not.
    bool WaitForCount(std::size_t n) const;
    // While held, each warning keeps the thread that raised it in its "box" until Release, as a
    // user who has not yet pressed OK would.
    void Hold();
    void Release();
    // Runs on the raising thread as each warning is shown, before it is recorded: a test looks
    // there at what holds while the box is open. Set it before any warning can come.
    std::function<void()> onShow;

private:
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    bool m_holding = false;
    std::vector<std::string> m_titles;
    std::vector<std::string> m_texts;
};

struct CSerialLinkTestAccess {
    static const platform::SerialPort* Port(const CSerialLink& link) { return link.m_hPort.get(); }
    static const platform::PortState& Dcb(const CSerialLink& link) { return link.m_dcb; }
    static const std::uint8_t* SendBuffer(const CSerialLink& link) {
        return link.m_sendBuffer.get();
    }
    static std::int32_t SendLength(const CSerialLink& link) { return link.m_sendLength; }
    static std::int32_t ReplyCount(const CSerialLink& link) { return link.m_replyCount.load(); }
    static const std::string& Line(const CSerialLink& link) { return link.m_line; }
    static bool ThreadAlive(const CSerialLink& link) { return link.m_threadAlive.load(); }
    static void StoreReplyByte(CSerialLink& link, std::uint8_t byte) { link.StoreReplyByte(byte); }
    static platform::Event* ByteEvent(CSerialLink& link) { return link.m_hByteEvent.get(); }
    // The reply bytes counted so far, taken under the lock that the monitor thread stores under.
    static std::vector<std::uint8_t> ReplySnapshot(CSerialLink& link) {
        std::lock_guard<std::mutex> guard(link.m_replyLock);
        return {link.m_reply.begin(), link.m_reply.begin() + link.m_replyCount.load()};
    }
    static bool PortLockFree(CSerialLink& link) {
        if (!link.m_lock.try_lock()) {
            return false;
        }
        link.m_lock.unlock();
        return true;
    }
    static void SetCommandHandedOver(CSerialLink& link,
                                     std::function<void(const char* command)> hook) {
        link.m_commandHandedOver = std::move(hook);
    }
};
