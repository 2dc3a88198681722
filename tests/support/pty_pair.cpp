#include "support/pty_pair.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>

PtyPair::PtyPair() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name, sizeof name) != 0) {
        ADD_FAILURE() << "no pseudo-terminal";
        return;
    }
    m_device = name;
}

PtyPair::~PtyPair() {
    HangUp();
}

void PtyPair::HangUp() {
    if (m_master >= 0) {
        close(m_master);
        m_master = -1;
    }
}

ScopedEnv::ScopedEnv(const std::string& variable, const std::string& value) : m_variable(variable) {
    if (const char* old = std::getenv(m_variable.c_str())) {
        m_old = old;
    }
    setenv(m_variable.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (m_old) {
        setenv(m_variable.c_str(), m_old->c_str(), 1);
    } else {
        unsetenv(m_variable.c_str());
    }
}

AllPortsMissing::AllPortsMissing()
    : m_ports{{1, "/nonexistent/vexlarin-com1"},
              {2, "/nonexistent/vexlarin-com2"},
              {3, "/nonexistent/vexlarin-com3"},
              {4, "/nonexistent/vexlarin-com4"}} {}
