// The bytes read by listings as a memory image, in the layout vexlarin-camsim --image reads:
// byte i of line r of page p at offset 256 * p + 16 * r + i, FF where a line could not be read.
// Kept beside the listing file, a camera's memory can be compared with cmp and replayed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The 16 data bytes of a line text ("A0    00 01 ... 0F "); false for "XXXX" or anything that
// is not a whole line.
bool LineBytes(const std::string& line, std::array<std::uint8_t, 16>& bytes);

class CMemoryImage {
public:
    CMemoryImage() = default;
    ~CMemoryImage();
    CMemoryImage(const CMemoryImage&) = delete;
    CMemoryImage& operator=(const CMemoryImage&) = delete;

    // Opens `path` for writing, created when missing and never truncated: pages not listed
    // keep what they held. False with "PATH: reason".
    bool Open(const std::string& path, std::string& error);
    // Writes page `page` (0 to 15) from its line texts in order; lines missing or failed are FF.
    bool WritePage(int page, const std::vector<std::string>& lines, std::string& error);

private:
    std::string m_path;
    int m_fd = -1;
};
