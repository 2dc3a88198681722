// What a program of this project does about its process before anything else: standard streams
// that were closed when it started, and signals that would end it in the middle of a write.
#pragma once

namespace platform {

// Standard input, output and error closed at start (by a careless service manager, or `>&-`)
// are opened on the null device: left closed, the next file opened, such as a serial port,
// would take their place and receive what is meant for the terminal. Call it first in main(),
// before anything else is opened. Returns which were closed: bit n for descriptor n.
unsigned OpenStandardDescriptors();

// A closed pipe or a file-size limit makes the write that meets it fail (and be reported)
// instead of ending the process halfway through a listing.
void IgnoreWriteSignals();

}  // namespace platform
