#include "listing/memory_image.h"

#include "camera/hex_digit.h"

namespace {

constexpr std::size_t kPageSize = 256;
constexpr std::size_t kLineSize = 16;
constexpr std::size_t kDataStart = 6;  // two address characters and four blanks

}  // namespace

bool LineBytes(const std::string& line, std::array<std::uint8_t, 16>& bytes) {
    if (line.size() != kDataStart + 3 * kLineSize) {
        return false;
    }
    for (std::size_t i = 0; i < kLineSize; ++i) {
        const std::size_t at = kDataStart + 3 * i;
        const int high = HexDigitValue(line[at]);
        const int low = HexDigitValue(line[at + 1]);
        if (high < 0 || low < 0 || line[at + 2] != ' ') {
            return false;
        }
        bytes[i] = static_cast<std::uint8_t>(16 * high + low);
    }
    return true;
}

bool CMemoryImage::Open(const std::string& path, const std::string& listingFile,
                        std::string& error) {
    m_path = path;
    m_file.reset();
    platform::FileInfo info;
    std::string reason;
    if (!platform::LookAt(path, info, reason)) {
        error = path + ": " + reason;
        return false;
    }
    if (platform::SameFile(path, listingFile)) {
        error = path + ": the listing file; an image must be a file of its own";
        return false;
    }
    if (info.kind == platform::FileKind::Other) {
        error = path + ": not a regular file";
        return false;
    }
    if (info.kind == platform::FileKind::Regular && info.size != kSize) {
        error = path + ": not a memory image (" + std::to_string(info.size) + " bytes, not " +
                std::to_string(kSize) + ")";
        return false;
    }
    return true;
}

bool CMemoryImage::Create(std::string& error) {
    std::string reason;
    m_file = platform::OutputFile::Open(m_path, platform::OutputFile::Mode::InPlace, true, reason);
    std::uint64_t size = 0;
    if (m_file && m_file->Size(size) && size == 0) {
        const std::vector<std::uint8_t> erased(kSize, 0xFF);  // nothing read yet
        if (m_file->WriteAt(0, erased.data(), erased.size(), reason)) {
            return true;
        }
        m_file.reset();
    } else if (m_file) {
        return true;
    }
    error = m_path + ": " + reason;
    return false;
}

bool CMemoryImage::WritePage(int page, const std::vector<std::string>& lines, int& written,
                             std::string& error) {
    written = 0;
    for (std::size_t r = 0; r < lines.size() && r < kPageSize / kLineSize; ++r) {
        std::array<std::uint8_t, kLineSize> bytes;
        if (!LineBytes(lines[r], bytes)) {
            continue;  // not read: the image keeps what it had there
        }
        std::string reason;
        if (!m_file && !Create(error)) {
            return false;
        }
        const std::uint64_t offset = static_cast<std::uint64_t>(page) * kPageSize + r * kLineSize;
        if (!m_file->WriteAt(offset, bytes.data(), bytes.size(), reason)) {
            error = m_path + ": " + reason;
            return false;
        }
        ++written;
    }
    return true;
}
