// The machine a benchmark ran on, for the figures' record.
#pragma once

#include <string>

// The processor count, the CPU model, the kernel and the load.
std::string MachineText();
