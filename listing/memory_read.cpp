#include "listing/memory_read.h"

#include "serial/serial_link.h"

namespace {

constexpr int kLinesPerPage = 16;

// "0 to 4, 7, 9 to B": the pages in runs of neighbours.
std::string PageRanges(const std::vector<int>& pages) {
    std::string text;
    for (std::size_t i = 0; i < pages.size();) {
        std::size_t j = i;
        while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1) {
            ++j;
        }
        text += text.empty() ? "" : ", ";
        text += CSerialLink::HexDigit(static_cast<unsigned>(pages[i]));
        if (j > i) {
            text += " to ";
            text += CSerialLink::HexDigit(static_cast<unsigned>(pages[j]));
        }
        i = j + 1;
    }
    return text;
}

std::string Pages(const std::vector<int>& pages) {
    return (pages.size() == 1 ? "page " : "pages ") + PageRanges(pages);
}

}  // namespace

MemoryRead ReadPages(CSerialLink& link, int currentPort, const std::vector<int>& pages,
                     IListView& view, const std::string& fileName, CMemoryImage* image,
                     IPageProgress* progress) {
    MemoryRead read;
    // A port that has gone away is not asked again: the pages left are not begun.
    for (std::size_t n = 0; n < pages.size() && !link.IsCancelled() && !link.PortGone(); ++n) {
        const int page = pages[n];
        if (progress) {
            progress->PageStarting(page, static_cast<int>(n + 1), static_cast<int>(pages.size()));
        }
        std::vector<std::string> lines;
        const char digit = CSerialLink::HexDigit(static_cast<unsigned>(page));
        read.results.push_back(ListPageDigit(link, currentPort, digit, view, fileName, &lines));
        if (image && read.imageError.empty() &&
            !image->WritePage(page, lines, read.linesWritten[static_cast<std::size_t>(page)],
                              read.imageError)) {
            read.linesWritten[static_cast<std::size_t>(page)] = 0;
        }
    }
    return read;
}

std::string ImageSummary(const CMemoryImage& image, const std::vector<int>& pages,
                         const MemoryRead& read) {
    std::vector<int> whole, part, none;
    std::string partLines;
    for (const int page : pages) {
        const int lines = read.linesWritten[static_cast<std::size_t>(page)];
        if (lines == kLinesPerPage) {
            whole.push_back(page);
        } else if (lines > 0) {
            part.push_back(page);
        } else {
            none.push_back(page);
        }
    }
    std::string text = image.Path() + ": ";
    if (whole.empty() && part.empty()) {
        return text + "nothing read, nothing written.";
    }
    std::vector<std::string> said;
    if (!whole.empty()) {
        said.push_back(Pages(whole) + " written");
    }
    if (!part.empty()) {
        said.push_back(Pages(part) + " written in part");
    }
    if (!none.empty()) {
        said.push_back(Pages(none) + " not written");
    }
    for (std::size_t i = 0; i < said.size(); ++i) {
        text += (i == 0 ? "" : ", ") + said[i];
    }
    return text + (part.empty() && none.empty() ? "." : "; the image is partial.");
}
