// Files the program writes for the user (the listing file, a memory image): only a regular file
// (or a symlink to one) keeps what is written, and nothing in the file's place may block the
// open for good, as a FIFO without a reader would.
#pragma once

#include <string>

namespace platform {

// open() with `flags` (O_WRONLY and the like; O_CREAT makes it with 0666, so the umask decides)
// without blocking; a descriptor in blocking mode for a regular file, else -1 with the reason:
// the system's text, or "not a regular file".
int OpenRegularFile(const std::string& path, int flags, std::string& reason);

}  // namespace platform
