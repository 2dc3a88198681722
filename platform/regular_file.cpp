#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/last_error.h"

namespace platform {

namespace {
const char* const kNotRegular = "not a regular file";
}

int OpenRegularFile(const std::string& path, int flags, std::string& reason) {
    // O_NONBLOCK: a FIFO without a reader then fails at once with ENXIO instead of waiting.
    const int fd = open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        reason = errno == ENXIO ? kNotRegular : SystemErrorText(errno);
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        reason = SystemErrorText(errno);
    } else if (!S_ISREG(info.st_mode)) {
        reason = kNotRegular;
    } else if (fcntl(fd, F_SETFL, flags & O_APPEND) != 0) {  // writes wait for the disk again
        reason = SystemErrorText(errno);
    } else {
        return fd;
    }
    close(fd);
    return -1;
}

}  // namespace platform
