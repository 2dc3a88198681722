// Test seam for the serial port: counts every call of each port step and can make any single
// step fail with a chosen errno, so that every warning path runs without special hardware.
// Production code never arms a fault; the counters cost one locked increment per call.
#pragma once

namespace platform {

enum class PortCall {
    Open,
    SetTimeouts,
    SetMask,
    GetMask,
    GetState,
    BuildState,
    SetState,
    Purge,
    WaitEvent,  // the port-event wait
    InputCount,
    Read,
    Write,
    Count_  // number of steps, not a step
};

// Arms a fault: after letting `skip` calls of `call` pass, the next `times` calls fail with
// `error` (errno).
void InjectPortFault(PortCall call, int error, int skip = 0, int times = 1);
// Disarms every fault and zeroes every counter.
void ResetPortFaults();
// How often `call` has been made since the last reset.
unsigned long PortCallCount(PortCall call);

// Called at the start of each port step: counts it and, when a fault is due, sets errno and
// the thread's last error to the armed code and returns true (the step then fails).
bool TakePortFault(PortCall call);

}  // namespace platform
