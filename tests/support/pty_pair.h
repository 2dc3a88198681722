// A pseudo-terminal pair for tests: the test holds the master side and maps a COM port to the
// device side, so that no real serial device is ever opened.
#pragma once

#include <optional>
#include <string>

class PtyPair {
public:
    PtyPair();  // fails the current test when no pseudo-terminal can be had
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int MasterFd() const { return m_master; }
    const std::string& DevicePath() const { return m_device; }
    // Closes the master side: the device side sees a hang-up.
    void HangUp();

private:
    int m_master = -1;
    std::string m_device;
};

// Sets an environment variable for the life of the object, restoring the old value.
class ScopedEnv {
public:
    ScopedEnv(const std::string& variable, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_variable;
    std::optional<std::string> m_old;  // none: it was not set
};

// Maps COMn to `path` for the life of the object (VEXLARIN_COMn).
class PortMapping : public ScopedEnv {
public:
    PortMapping(int n, const std::string& path)
        : ScopedEnv("VEXLARIN_COM" + std::to_string(n), path) {}
};

// Maps all four ports to paths that do not exist, so that nothing reaches /dev/ttyS*.
class AllPortsMissing {
public:
    AllPortsMissing();

private:
    PortMapping m_ports[4];
};
