// Stop signals on POSIX: blocked in every thread and read from a signalfd.
#include "platform/stop_signals.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <string.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/event.h"
#include "platform/serial_port.h"

namespace platform {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void EndAtOnce(int signal) {
    // No destructor runs here: the port is put back as its close would, for whoever uses the
    // device next.
    RestoreOpenPorts();
    _exit(128 + signal);
}

}  // namespace

struct StopSignals::Impl {
    sigset_t signals{};
    int fd = -1;  // signalfd
    Event wake;
    std::mutex lock;
    std::atomic<bool> stopping{false};  // set before a signal is taken off the pending set
    std::atomic<int> received{0};
};

StopSignals::StopSignals() : m_impl(std::make_unique<Impl>()) {
    sigemptyset(&m_impl->signals);
    for (const int signal : kStopSignals) {
        sigaddset(&m_impl->signals, signal);
    }
    pthread_sigmask(SIG_BLOCK, &m_impl->signals, nullptr);
    m_impl->fd = signalfd(-1, &m_impl->signals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_impl->fd < 0) {
        // As for an event: without it the program could not be stopped but by SIGKILL.
        std::fprintf(stderr, "signalfd() failed: %s\n", strerror(errno));
        std::abort();
    }
}

StopSignals::~StopSignals() {
    close(m_impl->fd);
}

int StopSignals::TakeNext(const std::function<void(int)>& onStop) {
    for (;;) {
        pollfd fds[2] = {{m_impl->fd, POLLIN, 0}, {m_impl->wake.Native(), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 0;
        }
        if (fds[1].revents != 0) {
            return 0;
        }
        // Set while the signal is still pending, so that a warning checking between the two
        // sees one or the other.
        m_impl->stopping.store(true);
        signalfd_siginfo info{};
        if (read(m_impl->fd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
            m_impl->stopping.store(false);
            continue;
        }
        const int signal = static_cast<int>(info.ssi_signo);
        // A second signal must not wait for anything: not for the lock below, held by a warning
        // stuck on a full pipe, nor for the work to notice the first. A process-wide signal goes
        // to a thread that does not block it: this one.
        struct sigaction action {};
        action.sa_handler = EndAtOnce;
        for (const int stop : kStopSignals) {
            sigaction(stop, &action, nullptr);
        }
        pthread_sigmask(SIG_UNBLOCK, &m_impl->signals, nullptr);

        std::lock_guard<std::mutex> guard(m_impl->lock);
        m_impl->received.store(signal);
        onStop(signal);
        return signal;
    }
}

void StopSignals::Wake() {
    m_impl->wake.Set();
}

int StopSignals::Received() const {
    return m_impl->received.load();
}

bool StopSignals::UnlessStopping(const std::function<void()>& show) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    sigset_t pending;
    sigpending(&pending);
    bool signalled = false;
    for (const int signal : kStopSignals) {
        signalled = signalled || sigismember(&pending, signal) == 1;
    }
    if (m_impl->stopping.load() || signalled) {
        return false;
    }
    show();
    return true;
}

NativeHandle StopSignals::Native() const {
    return m_impl->fd;
}

std::string StopSignals::Name(int signal) {
    return strsignal(signal);
}

}  // namespace platform
