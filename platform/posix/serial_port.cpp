// The serial port on POSIX: termios, flock and TIOCEXCL, non-blocking reads and writes that
// wait with poll() up to the port's time-outs.
#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "platform/port_faults.h"
#include "platform/posix/poll_retrying.h"

namespace platform {

struct PortState::Native {
    termios tio{};
};

struct SerialPort::Impl {
    int fd = -1;
    std::string device;
    termios original{};  // the settings the device had before we opened it
    PortTimeouts timeouts;
    std::uint32_t mask = 0;
};

namespace {

bool Fail() {
    SetLastError(errno);
    return false;
}

IoResult Failed(int error, bool waited) {
    errno = error;
    SetLastError(error);
    // EIO, or a read of nothing: the device hung up.
    return {error == EIO ? IoStatus::Gone : IoStatus::Failed, waited};
}

// Waits up to timeoutMs for `events` (POLLIN or POLLOUT) on fd. 0 when ready; ETIMEDOUT when
// the time ran out, EIO when only a hang-up came back, or poll()'s own errno.
int WaitReady(int fd, short events, int timeoutMs) {
    pollfd entry{fd, events, 0};
    const int ready = PollRetrying(&entry, 1, timeoutMs);
    if (ready < 0) {
        return errno;
    }
    if (ready == 0) {
        return ETIMEDOUT;
    }
    return (entry.revents & events) != 0 ? 0 : EIO;
}

bool SpeedFor(int baud, speed_t& speed) {
    static const struct {
        int baud;
        speed_t speed;
    } kSpeeds[] = {{110, B110},     {300, B300},     {600, B600},      {1200, B1200},
                   {2400, B2400},   {4800, B4800},   {9600, B9600},    {19200, B19200},
                   {38400, B38400}, {57600, B57600}, {115200, B115200}};
    for (const auto& entry : kSpeeds) {
        if (entry.baud == baud) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

// The attributes that the settings decide; anything else the driver may keep as it likes.
bool SameSettings(const termios& a, const termios& b) {
    const tcflag_t cflags = CSIZE | PARENB | PARODD | CSTOPB | CLOCAL | CREAD | CRTSCTS;
    const tcflag_t iflags = IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP;
    const tcflag_t lflags = ICANON | ECHO | ISIG | IEXTEN;
    return (a.c_cflag & cflags) == (b.c_cflag & cflags) &&
           (a.c_iflag & iflags) == (b.c_iflag & iflags) &&
           (a.c_lflag & lflags) == (b.c_lflag & lflags) &&
           (a.c_oflag & OPOST) == (b.c_oflag & OPOST) && a.c_cc[VMIN] == b.c_cc[VMIN] &&
           a.c_cc[VTIME] == b.c_cc[VTIME] && cfgetispeed(&a) == cfgetispeed(&b) &&
           cfgetospeed(&a) == cfgetospeed(&b);
}

// The ports open in this process with the settings each had before, for an end that runs no
// destructor (a second stop signal): RestoreOpenPorts reads them inside a signal handler, so a
// slot is claimed, filled, then published by its descriptor, all without a lock.
struct OpenPortRecord {
    std::atomic<int> fd{-1};  // -1 free, -2 being filled
    termios original{};
};
constexpr int kClaiming = -2;
OpenPortRecord g_openPorts[8];

void Remember(int fd, const termios& original) {
    for (OpenPortRecord& record : g_openPorts) {
        int expected = -1;
        if (record.fd.compare_exchange_strong(expected, kClaiming)) {
            record.original = original;
            record.fd.store(fd);
            return;
        }
    }
    // More ports open at once than any run of this program holds: that one is only put back
    // by its destructor.
}

void Forget(int fd) {
    for (OpenPortRecord& record : g_openPorts) {
        int expected = fd;
        if (record.fd.compare_exchange_strong(expected, -1)) {
            return;
        }
    }
}

// What the close does for the next user of the device, in calls a signal handler may make.
void PutBack(int fd, const termios& original) {
    // TCSANOW: a port that hung up or still has output queued must not hold up the end.
    tcsetattr(fd, TCSANOW, &original);
    // On a pseudo-terminal the exclusive flag outlives the descriptor, and the process too.
    ioctl(fd, TIOCNXCL);
}

}  // namespace

void RestoreOpenPorts() {
    for (OpenPortRecord& record : g_openPorts) {
        if (const int fd = record.fd.load(); fd >= 0) {
            PutBack(fd, record.original);
        }
    }
}

PortState::PortState() : m_native(std::make_unique<Native>()) {}
PortState::~PortState() = default;
PortState::PortState(const PortState& other)
    : rtsControl(other.rtsControl), m_native(std::make_unique<Native>(*other.m_native)) {}
PortState& PortState::operator=(const PortState& other) {
    rtsControl = other.rtsControl;
    *m_native = *other.m_native;
    return *this;
}

bool BuildPortState(const char* settings, PortState& state) {
    if (TakePortFault(PortCall::BuildState)) {
        return false;
    }
    int baud = 0;
    char parity = 0;
    int dataBits = 0;
    int stopBits = 0;
    speed_t speed;
    if (std::sscanf(settings, "baud=%d parity=%c data=%d stop=%d", &baud, &parity, &dataBits,
                    &stopBits) != 4 ||
        !SpeedFor(baud, speed) || dataBits < 5 || dataBits > 8 ||
        (stopBits != 1 && stopBits != 2)) {
        errno = EINVAL;
        return Fail();
    }
    termios& tio = state.native().tio;
    cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;  // a read of 0 bytes then means the device hung up
    tio.c_cc[VTIME] = 0;
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CRTSCTS | CSIZE | PARENB | PARODD | CSTOPB);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= kSizes[dataBits - 5];
    switch (parity) {
        case 'N':
            break;
        case 'E':
            tio.c_cflag |= PARENB;
            break;
        case 'O':
            tio.c_cflag |= PARENB | PARODD;
            break;
        default:
            errno = EINVAL;
            return Fail();
    }
    if (stopBits == 2) {
        tio.c_cflag |= CSTOPB;
    }
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    return true;
}

SerialPort::SerialPort(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

std::unique_ptr<SerialPort> SerialPort::Open(const std::string& device, ErrorCode& error) {
    error = 0;
    if (TakePortFault(PortCall::Open)) {
        error = errno;
        return nullptr;
    }
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        SetLastError(error);
        return nullptr;
    }
    // Only a terminal device is a port: a file, /dev/null or a FIFO would take the commands
    // as data. Refused before it is locked, configured or written to.
    struct stat info {};
    termios original{};
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode) || tcgetattr(fd, &original) != 0) {
        error = ENOTTY;
        close(fd);
        SetLastError(error);
        return nullptr;
    }
    // flock keeps out every program that locks too, root included; TIOCEXCL keeps out the
    // ones that do not, except root. Both together make the open exclusive.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? EBUSY : errno;
        close(fd);
        SetLastError(error);
        return nullptr;
    }
    ioctl(fd, TIOCEXCL);  // not every device takes it; the lock above still holds
    auto impl = std::make_unique<Impl>();
    impl->fd = fd;
    impl->device = device;
    impl->original = original;
    Remember(fd, original);
    return std::unique_ptr<SerialPort>(new SerialPort(std::move(impl)));
}

SerialPort::~SerialPort() {
    const int fd = m_impl->fd;
    // Whoever uses the device next (a terminal, another program) finds it as it was, and the
    // next open of the same port succeeds.
    PutBack(fd, m_impl->original);
    Forget(fd);
    close(fd);
}

const std::string& SerialPort::Device() const {
    return m_impl->device;
}

NativeHandle SerialPort::Native() const {
    return m_impl->fd;
}

bool SerialPort::SetTimeouts(const PortTimeouts& timeouts) {
    if (TakePortFault(PortCall::SetTimeouts)) {
        return false;
    }
    termios tio;
    if (tcgetattr(m_impl->fd, &tio) != 0) {  // time-outs only make sense on a terminal device
        return Fail();
    }
    m_impl->timeouts = timeouts;
    return true;
}

bool SerialPort::SetMask(std::uint32_t mask) {
    if (TakePortFault(PortCall::SetMask)) {
        return false;
    }
    if (fcntl(m_impl->fd, F_GETFL) < 0) {
        return Fail();
    }
    m_impl->mask = mask;
    return true;
}

bool SerialPort::GetMask(std::uint32_t& mask) {
    if (TakePortFault(PortCall::GetMask)) {
        return false;
    }
    mask = m_impl->mask;
    return true;
}

bool SerialPort::GetState(PortState& state) {
    if (TakePortFault(PortCall::GetState)) {
        return false;
    }
    if (tcgetattr(m_impl->fd, &state.native().tio) != 0) {
        return Fail();
    }
    int bits = 0;
    // A device without modem lines has no RTS to report: it counts as lowered.
    const bool rtsUp = ioctl(m_impl->fd, TIOCMGET, &bits) == 0 && (bits & TIOCM_RTS) != 0;
    state.rtsControl = rtsUp ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    return true;
}

bool SerialPort::SetState(const PortState& state) {
    if (TakePortFault(PortCall::SetState)) {
        return false;
    }
    if (tcsetattr(m_impl->fd, TCSANOW, &state.native().tio) != 0) {
        return Fail();
    }
    if (state.rtsControl == RTS_CONTROL_ENABLE) {
        int bits = TIOCM_RTS;
        // A device without modem lines (a pseudo-terminal) refuses; there is no RTS to raise.
        if (ioctl(m_impl->fd, TIOCMBIS, &bits) != 0 && errno != ENOTTY && errno != EINVAL) {
            return Fail();
        }
    }
    // tcsetattr succeeds when any part of the change was applied: compare what took effect.
    termios applied;
    if (tcgetattr(m_impl->fd, &applied) != 0) {
        return Fail();
    }
    if (!SameSettings(applied, state.native().tio)) {
        errno = EINVAL;
        return Fail();
    }
    return true;
}

bool SerialPort::Purge() {
    if (TakePortFault(PortCall::Purge)) {
        return false;
    }
    if (tcflush(m_impl->fd, TCIOFLUSH) != 0) {
        return Fail();
    }
    return true;
}

bool SerialPort::HungUp() const {
    pollfd entry{m_impl->fd, POLLIN, 0};
    if (poll(&entry, 1, 0) < 0) {
        return false;  // cannot tell; the next exchange will
    }
    return (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool SerialPort::InputCount(int& count) {
    if (TakePortFault(PortCall::InputCount)) {
        return false;
    }
    if (ioctl(m_impl->fd, FIONREAD, &count) != 0) {
        return Fail();
    }
    return true;
}

IoResult SerialPort::ReadByte(std::uint8_t& byte, bool& got) {
    got = false;
    bool waited = false;
    for (;;) {
        if (TakePortFault(PortCall::Read)) {
            return Failed(errno, waited);
        }
        ssize_t n;
        do {
            n = read(m_impl->fd, &byte, 1);
        } while (n < 0 && errno == EINTR);
        if (n == 1) {
            got = true;
            return {IoStatus::Done, waited};
        }
        if (n == 0) {
            return Failed(EIO, waited);  // a read of nothing (VMIN 1): the device hung up
        }
        if (errno != EAGAIN || waited) {
            // A byte that poll() announced and read() then did not find is given up too.
            return errno == EAGAIN ? IoResult{IoStatus::TimedOut, true} : Failed(errno, waited);
        }
        // Outstanding: it completes when a byte comes, or empty when the port's read time-out
        // for one byte runs out.
        waited = true;
        const PortTimeouts& t = m_impl->timeouts;
        const int error = WaitReady(m_impl->fd, POLLIN,
                                    t.readTotalTimeoutMultiplier * 1 + t.readTotalTimeoutConstant);
        if (error == ETIMEDOUT) {
            return {IoStatus::TimedOut, true};
        }
        if (error != 0) {
            return Failed(error, true);
        }
    }
}

IoResult SerialPort::Write(const std::uint8_t* bytes, int length) {
    using Clock = std::chrono::steady_clock;
    const PortTimeouts& t = m_impl->timeouts;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(t.writeTotalTimeoutMultiplier * length +
                                                 t.writeTotalTimeoutConstant);
    bool waited = false;
    int written = 0;
    while (written < length) {
        if (TakePortFault(PortCall::Write)) {
            return Failed(errno, waited);
        }
        ssize_t put;
        do {
            put = write(m_impl->fd, bytes + written, static_cast<std::size_t>(length - written));
        } while (put < 0 && errno == EINTR);
        if (put > 0) {
            // Whatever fails after a part has gone out fails the write's completion.
            written += static_cast<int>(put);
            waited = true;
            continue;
        }
        if (put == 0 || errno != EAGAIN) {
            return Failed(put == 0 ? EIO : errno, waited);
        }
        waited = true;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const int error = WaitReady(m_impl->fd, POLLOUT,
                                    static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
        if (error != 0) {
            return Failed(error, true);
        }
    }
    return {IoStatus::Done, waited};
}

}  // namespace platform
