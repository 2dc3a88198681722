#include "platform/port_faults.h"

#include <array>
#include <cerrno>
#include <mutex>

#include "platform/last_error.h"

namespace platform {

namespace {

struct Fault {
    int error = 0;
    int skip = 0;
    int times = 0;
};

struct FaultTable {
    std::mutex lock;
    std::array<Fault, static_cast<int>(PortCall::Count_)> faults{};
    std::array<unsigned long, static_cast<int>(PortCall::Count_)> counts{};
};

FaultTable& Table() {
    static FaultTable table;
    return table;
}

}  // namespace

void InjectPortFault(PortCall call, int error, int skip, int times) {
    FaultTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    table.faults[static_cast<int>(call)] = Fault{error, skip, times};
}

void ResetPortFaults() {
    FaultTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    table.faults = {};
    table.counts = {};
}

unsigned long PortCallCount(PortCall call) {
    FaultTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    return table.counts[static_cast<int>(call)];
}

bool TakePortFault(PortCall call) {
    FaultTable& table = Table();
    int error = 0;
    {
        std::lock_guard<std::mutex> guard(table.lock);
        ++table.counts[static_cast<int>(call)];
        Fault& fault = table.faults[static_cast<int>(call)];
        if (fault.times <= 0) {
            return false;
        }
        if (fault.skip > 0) {
            --fault.skip;
            return false;
        }
        --fault.times;
        error = fault.error;
    }
    errno = error;
    SetLastError(error);
    return true;
}

}  // namespace platform
