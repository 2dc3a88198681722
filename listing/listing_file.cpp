// The append-only listing file.
#include "listing/listing_file.h"

CListingFile::CListingFile(const std::string& fileName, CSerialLink& link)
    : m_link(link), m_name(fileName) {
    std::string reason;
    m_file = platform::OutputFile::Open(fileName, platform::OutputFile::Mode::Append, true, reason);
    if (!m_file) {
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
    // limit) is cut off again, so that the next block does not start glued to its remains. One
    // write per line hands the bytes to the system at once; nothing is buffered here.
    std::uint64_t before = 0;
    const bool sized = m_file->Size(before);
    std::size_t written = 0;
    std::string reason;
    if (!m_file->Write(line.data(), line.size(), written, reason)) {
        if (written > 0 && sized) {
            m_file->Truncate(before);  // if even this fails, there is no better way back
        }
        Fail(reason);
    }
}

void CListingFile::Close() {
    if (!m_file) {
        return;
    }
    std::string reason;
    const bool closed = m_file->Close(reason);
    m_file.reset();
    if (!closed && !m_failed) {
        Fail(reason);
    }
}

void CListingFile::Fail(const std::string& reason) {
    m_failed = true;
    m_link.ReportError(m_name.c_str(), reason.c_str());
}
