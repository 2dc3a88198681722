// The append-only listing file.
#include "listing/listing_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/last_error.h"

CListingFile::CListingFile(const std::string& fileName, CSerialLink& link) : m_link(link) {
    // 0666 so that the user's umask decides, as for any file the user creates.
    m_fd = open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        Fail(errno);
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
    if (!WriteAll(line.data(), line.size())) {
        Fail(errno);
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
        Fail(errno);
    }
}

bool CListingFile::WriteAll(const char* data, std::size_t length) {
    // One write() per line hands the bytes to the system at once; nothing is buffered here.
    while (length > 0) {
        const ssize_t written = write(m_fd, data, length);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;  // no progress and no reason given: the usual cause
            return false;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

void CListingFile::Fail(int error) {
    m_failed = true;
    platform::SetLastError(error);
    m_link.ReportError("Vexlarin.txt", platform::SystemErrorText(error).c_str());
}
