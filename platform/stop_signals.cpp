#include "platform/stop_signals.h"

#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

void EndAtOnce(int signal) {
    _exit(128 + signal);
}

}  // namespace

StopSignals::StopSignals() {
    sigemptyset(&m_signals);
    sigaddset(&m_signals, SIGINT);
    sigaddset(&m_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
    m_fd = signalfd(-1, &m_signals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0) {
        // As for an event: without it the program could not be stopped but by SIGKILL.
        std::fprintf(stderr, "signalfd() failed: %s\n", std::strerror(errno));
        std::abort();
    }
}

StopSignals::~StopSignals() {
    close(m_fd);
}

int StopSignals::TakeNext(const std::function<void(int)>& onStop) {
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake.Fd(), POLLIN, 0}};
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
        m_stopping.store(true);
        signalfd_siginfo info{};
        if (read(m_fd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
            m_stopping.store(false);
            continue;
        }
        const int signal = static_cast<int>(info.ssi_signo);
        // A second signal must not wait for anything: not for the lock below, held by a warning
        // stuck on a full pipe, nor for the work to notice the first. A process-wide signal goes
        // to a thread that does not block it: this one.
        struct sigaction action {};
        action.sa_handler = EndAtOnce;
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
        pthread_sigmask(SIG_UNBLOCK, &m_signals, nullptr);

        std::lock_guard<std::mutex> guard(m_lock);
        m_received.store(signal);
        onStop(signal);
        return signal;
    }
}

bool StopSignals::UnlessStopping(const std::function<void()>& show) {
    std::lock_guard<std::mutex> guard(m_lock);
    sigset_t pending;
    sigpending(&pending);
    if (m_stopping.load() || sigismember(&pending, SIGINT) == 1 ||
        sigismember(&pending, SIGTERM) == 1) {
        return false;
    }
    show();
    return true;
}

}  // namespace platform
