// The bytes read by listings as a memory image, in the layout vexlarin-camsim --image reads:
// byte i of line r of page p at offset 256 * p + 16 * r + i. It holds only what was read: a line
// that was not read keeps the bytes the image had (FF in a new image), so that a camera's memory
// can be gathered over several runs, compared with cmp and replayed.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"

// The 16 data bytes of a line text ("A0    00 01 ... 0F "); false for "XXXX" or anything that
// is not a whole line.
bool LineBytes(const std::string& line, std::array<std::uint8_t, 16>& bytes);

class CMemoryImage {
public:
    static constexpr std::uint64_t kSize = 4096;

    // Checks `path` before anything is read: a file already there must be a regular file of
    // kSize bytes, and it may not be `listingFile`. Nothing is created yet, so that a run that
    // reads nothing leaves no file behind. False with "PATH: reason".
    bool Open(const std::string& path, const std::string& listingFile, std::string& error);
    // Writes the lines of page `page` (0 to 15) that were read, from its line texts in order;
    // "XXXX" and lines not given are left as they are. The file is made (all FF) with the first
    // line written. `written` counts the lines written. False with "PATH: reason".
    bool WritePage(int page, const std::vector<std::string>& lines, int& written,
                   std::string& error);
    const std::string& Path() const { return m_path; }

private:
    bool Create(std::string& error);

    std::string m_path;
    std::unique_ptr<platform::OutputFile> m_file;
};
