// Several pages in one run, each exactly as a List press reads it (ping, pause, 16 lines, a
// block of its own in the listing file), with the bytes read kept in a memory image: what
// vexlarin-list --page all and the window's "Read whole memory..." do alike, so that both give
// the same image of the same camera.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "listing/list_command.h"
#include "listing/memory_image.h"

// Told as each page begins, so that a front end can show how far the run is.
class IPageProgress {
public:
    virtual ~IPageProgress() = default;
    // Page `page` (0 to 15) begins, the `n`-th (from 1) of `count`.
    virtual void PageStarting(int page, int n, int count) = 0;
};

struct MemoryRead {
    std::vector<ListResult> results;  // one per page begun, in order
    // The lines of each page that the image got from this run.
    std::array<int, 16> linesWritten{};
    std::string imageError;  // why the image could not be written; empty when it could
};

// Lists `pages` in order on `link` (port `currentPort`), each into `view` and the listing file,
// writing what was read to `image` where one is given. Stops at once when the link is
// cancelled or its port has gone away: what was read stays, in the file and the image.
MemoryRead ReadPages(CSerialLink& link, int currentPort, const std::vector<int>& pages,
                     IListView& view, const std::string& fileName, CMemoryImage* image,
                     IPageProgress* progress);

// What the image holds from the run: "camera.bin: pages 0 to F written." and, where the run
// did not write all it was asked for, which pages it wrote in part or not at all, and that the
// image is partial.
std::string ImageSummary(const CMemoryImage& image, const std::vector<int>& pages,
                         const MemoryRead& read);
