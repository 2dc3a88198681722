// Standard input, output and error that were closed when the program started (by a careless
// service manager, or `>&-`): left closed, the next descriptor opened, such as a serial port,
// would take their place and receive what is meant for the terminal.
#pragma once

namespace platform {

// Opens each of descriptors 0 to 2 that is closed on /dev/null. Call it first in main(),
// before anything else is opened. Returns which were closed: bit n for descriptor n.
unsigned OpenStandardDescriptors();

}  // namespace platform
