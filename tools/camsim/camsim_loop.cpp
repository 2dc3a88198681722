#include "camsim_loop.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>

namespace camsim {

namespace {

using Nanos = std::int64_t;
constexpr Nanos kMs = 1'000'000;
constexpr Nanos kNever = std::numeric_limits<Nanos>::max();
// A command left unfinished this long is given up, as a camera's receiver would.
constexpr Nanos kResyncSilence = 500 * kMs;

Nanos Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<Nanos>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

struct TimedByte {
    std::uint8_t byte;
    Nanos due;  // when it has crossed the wire
};

class Camera {
public:
    Camera(const Options& options, const CameraMemory& memory, Pty& pty, int signalFd,
           std::FILE* log)
        : m_options(options),
          m_protocol(memory, options.faults),
          m_pty(pty),
          m_signalFd(signalFd),
          m_log(log),
          m_byteTime(options.baud > 0 ? 10'000'000'000 / options.baud : 0) {}

    int Run();

private:
    bool ReadCommands(Nanos now);
    bool Answer(Nanos now);
    bool Handle(Exchange& exchange, Nanos now);
    void QueueReply(const std::vector<std::uint8_t>& reply, Nanos now);
    bool WriteDue(Nanos now);
    bool Log(const Exchange& exchange);
    Nanos NextDeadline() const;

    const Options& m_options;
    CameraProtocol m_protocol;
    Pty& m_pty;
    int m_signalFd;
    std::FILE* m_log;
    Nanos m_byteTime;

    std::deque<TimedByte> m_received;  // read, not yet across the wire
    Nanos m_receiveWireFree = 0;
    Nanos m_lastReceived = 0;
    std::deque<TimedByte> m_sending;
    Nanos m_sendWireFree = 0;
    bool m_writeBlocked = false;  // the terminal's input queue is full: wait for POLLOUT
    bool m_hungUp = false;
};

int Camera::Run() {
    for (;;) {
        const Nanos now = Now();
        if (!Answer(now) || !WriteDue(now)) {
            return 1;
        }
        if (m_hungUp) {
            return 0;
        }
        const Nanos deadline = NextDeadline();
        timespec wait{};
        timespec* timeout = nullptr;
        if (deadline != kNever) {
            const Nanos left = std::max<Nanos>(0, deadline - Now());
            wait.tv_sec = static_cast<time_t>(left / 1'000'000'000);
            wait.tv_nsec = static_cast<long>(left % 1'000'000'000);
            timeout = &wait;
        }
        pollfd fds[2] = {
            {m_signalFd, POLLIN, 0},
            {m_pty.master, static_cast<short>(POLLIN | (m_writeBlocked ? POLLOUT : 0)), 0}};
        const int ready = ppoll(fds, 2, timeout, nullptr);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::fprintf(stderr, "vexlarin-camsim: ppoll() failed: %s\n", std::strerror(errno));
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            return 0;  // asked to stop (Ctrl-C, kill, hang-up): nothing went wrong, nothing to say
        }
        if (fds[1].revents & POLLOUT) {
            m_writeBlocked = false;
        }
        if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) && !ReadCommands(Now())) {
            return 1;
        }
    }
}

bool Camera::ReadCommands(Nanos now) {
    std::uint8_t buffer[4096];
    const ssize_t got = read(m_pty.master, buffer, sizeof buffer);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return true;
    }
    if (got <= 0) {
        // We hold the device side ourselves, so the terminal cannot hang up under us.
        std::fprintf(stderr, "vexlarin-camsim: read() from the terminal failed: %s\n",
                     got < 0 ? std::strerror(errno) : "end of file");
        return false;
    }
    for (ssize_t i = 0; i < got; ++i) {
        m_receiveWireFree = std::max(m_receiveWireFree, now) + m_byteTime;
        m_received.push_back({buffer[i], m_receiveWireFree});
    }
    return true;
}

bool Camera::Answer(Nanos now) {
    std::vector<std::uint8_t> arrived;
    // A reply starts when the command's last byte has crossed the wire, not when this loop
    // woke up to notice: the wake-up's lateness must not add to every exchange.
    Nanos crossed = now;
    while (!m_received.empty() && m_received.front().due <= now) {
        arrived.push_back(m_received.front().byte);
        crossed = m_byteTime > 0 ? m_received.front().due : now;
        m_received.pop_front();
    }
    std::vector<Exchange> exchanges;
    if (!arrived.empty()) {
        m_lastReceived = now;
        exchanges = m_protocol.Receive(arrived.data(), arrived.size());
    } else if (m_protocol.HasPending() && m_received.empty() &&
               now - m_lastReceived >= kResyncSilence) {
        exchanges = m_protocol.DropPending();
    }
    for (Exchange& exchange : exchanges) {
        if (!Handle(exchange, crossed)) {
            return false;
        }
        if (m_hungUp) {
            return true;
        }
    }
    return true;
}

bool Camera::Handle(Exchange& exchange, Nanos now) {
    if (exchange.recognised && m_options.hangupAfter >= 0 &&
        m_protocol.CommandCount() > m_options.hangupAfter) {
        exchange.reply.clear();
        const bool logged = Log(exchange);
        std::fprintf(stderr, "vexlarin-camsim: hanging up after %d commands\n",
                     m_options.hangupAfter);
        ClosePty(m_pty);
        m_hungUp = true;
        return logged;
    }
    // Logged before the first reply byte goes out: whoever has seen the reply finds the line.
    if (!Log(exchange)) {
        return false;
    }
    QueueReply(exchange.reply, now);
    return true;
}

void Camera::QueueReply(const std::vector<std::uint8_t>& reply, Nanos now) {
    Nanos previous = now;
    for (std::size_t k = 0; k < reply.size(); ++k) {
        const Nanos start =
            std::max(previous + (k > 0 ? m_options.pauseMs * kMs : 0), m_sendWireFree);
        m_sendWireFree = start + m_byteTime;
        m_sending.push_back({reply[k], m_sendWireFree});
        previous = m_sendWireFree;
    }
}

bool Camera::WriteDue(Nanos now) {
    if (m_hungUp) {
        return true;
    }
    std::uint8_t buffer[256];
    std::size_t n = 0;
    while (n < sizeof buffer && n < m_sending.size() && m_sending[n].due <= now) {
        buffer[n] = m_sending[n].byte;
        ++n;
    }
    if (n == 0 || m_writeBlocked) {
        return true;
    }
    const ssize_t written = write(m_pty.master, buffer, n);
    if (written < 0) {
        if (errno == EAGAIN || errno == EINTR) {
            m_writeBlocked = errno == EAGAIN;
            return true;
        }
        std::fprintf(stderr, "vexlarin-camsim: write() to the terminal failed: %s\n",
                     std::strerror(errno));
        return false;
    }
    m_sending.erase(m_sending.begin(), m_sending.begin() + written);
    return true;
}

bool Camera::Log(const Exchange& exchange) {
    if (!m_log) {
        return true;
    }
    const std::string line = LogLine(exchange) + "\n";
    if (std::fputs(line.c_str(), m_log) < 0 || std::fflush(m_log) != 0) {
        // Whoever reads the log relies on every exchange being there: stop rather than lie.
        std::fprintf(stderr, "vexlarin-camsim: writing the log %s failed: %s\n",
                     m_options.log.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

Nanos Camera::NextDeadline() const {
    Nanos deadline = kNever;
    if (!m_received.empty()) {
        deadline = std::min(deadline, m_received.front().due);
    }
    if (!m_sending.empty() && !m_writeBlocked) {
        deadline = std::min(deadline, m_sending.front().due);
    }
    if (m_protocol.HasPending() && m_received.empty()) {
        deadline = std::min(deadline, m_lastReceived + kResyncSilence);
    }
    return deadline;
}

}  // namespace

int RunCamera(const Options& options, const CameraMemory& memory, Pty& pty, int signalFd,
              std::FILE* log) {
    Camera camera(options, memory, pty, signalFd, log);
    return camera.Run();
}

}  // namespace camsim
