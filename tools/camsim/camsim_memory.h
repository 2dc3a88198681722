// The simulated camera's memory, addressed by the three address bytes of a read command.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace camsim {

class CameraMemory {
public:
    // The default pattern: the byte at address (a7, a8, a9) is (a7 + a8 + a9) mod 256. On a
    // page p (a7 = p0, a8 = line and byte index, a9 = 02) neighbouring bytes differ by 1 along
    // a line and by 16 down a column, and the same position on two pages differs.
    CameraMemory() = default;

    // Loads a memory image: file offset page * 256 + a8 holds the byte of page `page`
    // (a7 = page * 16, a9 = 02). Every other address, and every offset past the end of the
    // file, reads as FF. False with a message naming the file and the reason on failure.
    bool LoadImage(const std::string& path, std::string& error);

    std::uint8_t At(std::uint8_t a7, std::uint8_t a8, std::uint8_t a9) const;

private:
    bool m_hasImage = false;
    std::vector<std::uint8_t> m_image;
};

}  // namespace camsim
