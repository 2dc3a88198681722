// Files the program writes and reads for the user: the listing file, a memory image, the port
// file. Only a regular file (or a symlink to one) keeps what is written, and nothing in a
// file's place may block an open for good, as a FIFO without a reader would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class OutputFile {
public:
    enum class Mode {
        Append,   // every write goes to the end; created when missing
        InPlace,  // writes go where they are asked; never truncated
    };
    // Opens `path` for writing; with `create`, makes it (with the umask's permissions) when it
    // is missing. Null with the reason, the system's text or "not a regular file".
    static std::unique_ptr<OutputFile> Open(const std::string& path, Mode mode, bool create,
                                            std::string& reason);
    ~OutputFile();  // closes, if Close has not
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Hands all of `length` bytes to the system (at the end, or at `offset` for InPlace);
    // false with the reason when that fails, `written` counting what went out before.
    bool Write(const void* data, std::size_t length, std::size_t& written, std::string& reason);
    bool WriteAt(std::uint64_t offset, const void* data, std::size_t length, std::string& reason);
    bool Size(std::uint64_t& size);
    // Cuts the file back to `size` bytes.
    bool Truncate(std::uint64_t size);
    // A network file system may report a lost write only here.
    bool Close(std::string& reason);

    struct Impl;

private:
    explicit OutputFile(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

enum class FileKind { Missing, Regular, Other };
struct FileInfo {
    FileKind kind = FileKind::Missing;
    std::uint64_t size = 0;
};
// What is at `path` (through symlinks). False with the reason when it cannot be looked at.
bool LookAt(const std::string& path, FileInfo& info, std::string& reason);

// Whether both paths lead to one file (through links, other names and hard links), or, where
// one does not exist yet, to one place.
bool SameFile(const std::string& a, const std::string& b);

// The whole of a regular file. False with the reason ("not a regular file" for anything else);
// `missing` tells a file that does not exist from one that cannot be read.
bool ReadTextFile(const std::string& path, std::string& text, bool& missing, std::string& reason);

// Replaces the file at `path` by `text` in one step (a temporary file beside it, flushed to the
// disk, renamed over it), keeping its permissions; through a symlink, the link's target is
// written, even when it does not exist yet. Creates missing directories. False with
// "operation PATH: reason".
bool ReplaceFile(const std::string& path, const std::string& text, std::string& error);

// Where the user's configuration lives: $XDG_CONFIG_HOME (when absolute) or ~/.config on POSIX,
// %APPDATA% on Windows; empty when none is known.
std::string UserConfigDirectory();

}  // namespace platform
