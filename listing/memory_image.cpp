#include "listing/memory_image.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/last_error.h"
#include "platform/regular_file.h"

namespace {

constexpr std::size_t kPageSize = 256;
constexpr std::size_t kLineSize = 16;
constexpr std::size_t kDataStart = 6;  // two address characters and four blanks

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

}  // namespace

bool LineBytes(const std::string& line, std::array<std::uint8_t, 16>& bytes) {
    if (line.size() != kDataStart + 3 * kLineSize) {
        return false;
    }
    for (std::size_t i = 0; i < kLineSize; ++i) {
        const std::size_t at = kDataStart + 3 * i;
        const int high = DigitValue(line[at]);
        const int low = DigitValue(line[at + 1]);
        if (high < 0 || low < 0 || line[at + 2] != ' ') {
            return false;
        }
        bytes[i] = static_cast<std::uint8_t>(16 * high + low);
    }
    return true;
}

CMemoryImage::~CMemoryImage() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

bool CMemoryImage::Open(const std::string& path, std::string& error) {
    m_path = path;
    std::string reason;
    m_fd = platform::OpenRegularFile(path, O_WRONLY | O_CREAT, reason);
    if (m_fd < 0) {
        error = path + ": " + reason;
        return false;
    }
    return true;
}

bool CMemoryImage::WritePage(int page, const std::vector<std::string>& lines, std::string& error) {
    std::array<std::uint8_t, kPageSize> bytes;
    bytes.fill(0xFF);
    for (std::size_t r = 0; r < lines.size() && r < kPageSize / kLineSize; ++r) {
        std::array<std::uint8_t, kLineSize> line;
        if (LineBytes(lines[r], line)) {
            std::copy(line.begin(), line.end(), bytes.begin() + r * kLineSize);
        }
    }
    std::size_t done = 0;
    const off_t offset = static_cast<off_t>(page) * static_cast<off_t>(kPageSize);
    while (done < bytes.size()) {
        const ssize_t n = pwrite(m_fd, bytes.data() + done, bytes.size() - done,
                                 offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = m_path + ": " + platform::SystemErrorText(n < 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}
