#include "camsim_memory.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace camsim {

namespace {
constexpr std::size_t kImageLimit = 16 * 256;  // the page area: 16 pages of 256 bytes
}

bool CameraMemory::LoadImage(const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open image " + path + ": " + std::strerror(errno);
        return false;
    }
    std::vector<std::uint8_t> bytes(kImageLimit);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (failed) {
        error = "cannot read image " + path + ": " + std::strerror(readErrno);
        return false;
    }
    bytes.resize(got);  // anything past the page area is ignored
    m_image = std::move(bytes);
    m_hasImage = true;
    return true;
}

std::uint8_t CameraMemory::At(std::uint8_t a7, std::uint8_t a8, std::uint8_t a9) const {
    if (!m_hasImage) {
        return static_cast<std::uint8_t>(a7 + a8 + a9);
    }
    if ((a7 & 0x0F) != 0 || a9 != 0x02) {
        return 0xFF;
    }
    const std::size_t offset = static_cast<std::size_t>(a7 >> 4) * 256 + a8;
    return offset < m_image.size() ? m_image[offset] : 0xFF;
}

}  // namespace camsim
