// The listing file: a regular file opened for appending (never truncated, created when
// missing), one whole line per call, each ending in CR LF and handed to the file before the
// call returns, so a listing cut short leaves everything written so far.
#pragma once

#include <memory>
#include <string>

#include "platform/files.h"
#include "serial/serial_link.h"

class CListingFile {
public:
    // Opens `fileName` for appending; anything but a regular file (a FIFO, a device) counts as
    // a failure. A failure is reported once through `link`, under the file's name as given
    // ("Vexlarin.txt", "missing/x.txt"): the directory may be what is wrong.
    CListingFile(const std::string& fileName, CSerialLink& link);
    ~CListingFile();
    CListingFile(const CListingFile&) = delete;
    CListingFile& operator=(const CListingFile&) = delete;

    // Appends `text` up to its first zero character, then CR LF; a write that fails part-way
    // is cut back to where the line began. After the first failure (reported once) every
    // later write is skipped.
    void WriteLine(const std::string& text);
    // Closes the file; a failure to close counts as a failed write.
    void Close();
    // Whether the open, a write or the close failed.
    bool Failed() const { return m_failed; }
    // The file's name without its directory, as the warnings and status texts give it.
    const std::string& Name() const { return m_name; }

private:
    // `reason`: the system's text for the error, or what is wrong with the file.
    void Fail(const std::string& reason);

    CSerialLink& m_link;
    std::string m_name;
    std::unique_ptr<platform::OutputFile> m_file;
    bool m_failed = false;
};
