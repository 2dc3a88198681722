// The append-only listing file.
#include "listing/listing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/last_error.h"
#include "platform/regular_file.h"

CListingFile::CListingFile(const std::string& fileName, CSerialLink& link)
    : m_link(link), m_name(fileName.substr(fileName.rfind('/') + 1)) {
    std::string reason;
    m_fd = platform::OpenRegularFile(fileName, O_WRONLY | O_APPEND | O_CREAT, reason);
    if (m_fd < 0) {
        Fail(reason);
    }
}

CListingFile::~CListingFile() {
    Close();
}

void CListingFile::WriteLine(const std::string& text) {
    if (m_failed) {
        return;
    }
    // The line ends at its first zero character, like any text handed over as a C string.
    std::string line(text.c_str());
    line += "\r\n";
    // A line is in the file whole or not at all: one that fails part-way (disk full, file-size
    // limit) is cut off again, so that the next block does not start glued to its remains.
    struct stat before {};
    const bool sized = fstat(m_fd, &before) == 0;
    std::size_t written = 0;
    if (!WriteAll(line.data(), line.size(), written)) {
        const int error = errno;
        if (written > 0 && sized) {
            // If even this fails, there is no better way back; the write's failure is reported
            // either way. Taken into a variable: a fortified build insists on the result.
            [[maybe_unused]] const int cut = ftruncate(m_fd, before.st_size);
        }
        Fail(platform::SystemErrorText(error));
    }
}

void CListingFile::Close() {
    if (m_fd < 0) {
        return;
    }
    const int fd = m_fd;
    m_fd = -1;
    // A network file system may report a lost write only here. close() is not retried on
    // EINTR: the descriptor is gone either way on Linux.
    if (close(fd) != 0 && errno != EINTR && !m_failed) {
        Fail(platform::SystemErrorText(errno));
    }
}

bool CListingFile::WriteAll(const char* data, std::size_t length, std::size_t& written) {
    // One write() per line hands the bytes to the system at once; nothing is buffered here.
    while (written < length) {
        const ssize_t n = write(m_fd, data + written, length - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;  // no progress and no reason given: the usual cause
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

void CListingFile::Fail(const std::string& reason) {
    m_failed = true;
    m_link.ReportError(m_name.c_str(), reason.c_str());
}
