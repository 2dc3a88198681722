// Files on Windows: handles checked to be disk files, whole writes (at the end of the file for
// the listing, at an offset for an image) and an atomic replace by MoveFileExA. A Windows file
// takes the bytes it is given: the listing's CR LF lines are written as they are.
#include "platform/files.h"

#include <windows.h>
// windows.h renames ReplaceFile to ReplaceFileA; this layer's own ReplaceFile is meant below.
#undef ReplaceFile

#include <algorithm>

#include "platform/last_error.h"

namespace platform {

struct OutputFile::Impl {
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool append = false;
};

namespace {

const char* const kNotRegular = "not a regular file";
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The system's text for a code, to stand in a sentence: without the line break it ends with.
std::string Reason(DWORD error) {
    std::string text = SystemErrorText(static_cast<ErrorCode>(error));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A handle for a disk file, or INVALID_HANDLE_VALUE with the reason and `error` set. A directory,
// a device or a pipe is "not a regular file".
HANDLE OpenRegular(const std::string& path, DWORD access, DWORD disposition, std::string& reason,
                   DWORD& error) {
    HANDLE handle = CreateFileA(path.c_str(), access, kShareAll, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        // A directory in the file's place is refused as access denied: say what it is.
        const DWORD attributes = GetFileAttributesA(path.c_str());
        const bool directory =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        reason = directory ? kNotRegular : Reason(error);
        return INVALID_HANDLE_VALUE;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        error = ERROR_INVALID_PARAMETER;
        reason = kNotRegular;
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

// Writes all of `length` bytes at `offset`, or at the end of the file when `offset` is
// kAtTheEnd; the one loop for every file the program writes. 0, or the error code; `written`
// counts what went out.
constexpr std::uint64_t kAtTheEnd = ~std::uint64_t{0};
DWORD WriteWhole(HANDLE handle, const char* data, std::size_t length, std::uint64_t offset,
                 std::size_t& written) {
    while (written < length) {
        // Both halves all ones: at the end of the file, as with FILE_APPEND_DATA.
        const std::uint64_t at = offset == kAtTheEnd ? kAtTheEnd : offset + written;
        OVERLAPPED place{};
        place.Offset = static_cast<DWORD>(at);
        place.OffsetHigh = static_cast<DWORD>(at >> 32);
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length - written, 1u << 30));
        DWORD n = 0;
        if (!WriteFile(handle, data + written, chunk, &n, &place)) {
            return ::GetLastError();
        }
        if (n == 0) {
            return ERROR_DISK_FULL;  // no progress and no reason given: the usual cause
        }
        written += n;
    }
    return 0;
}

// What `path` leads to (through links), when it exists: `disk` tells a file or a directory from a
// device or a pipe, and then `info` holds its attributes, size, volume and file index.
bool Find(const std::string& path, BY_HANDLE_FILE_INFORMATION& info, bool& disk, DWORD& error) {
    // No access asked for: only the attributes are read. FILE_FLAG_BACKUP_SEMANTICS opens a
    // directory too.
    HANDLE handle = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        return false;
    }
    disk = GetFileType(handle) == FILE_TYPE_DISK;
    const bool ok = !disk || GetFileInformationByHandle(handle, &info);
    error = ok ? 0 : ::GetLastError();
    CloseHandle(handle);
    return ok;
}

// Where a write through `path` lands: the final target of its links when it exists (Windows
// names it \\?\C:\...), else `path` itself.
std::string LinkTarget(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return path;
    }
    char target[MAX_PATH * 4];
    const DWORD length =
        GetFinalPathNameByHandleA(handle, target, sizeof target, FILE_NAME_NORMALIZED);
    CloseHandle(handle);
    return length > 0 && length < sizeof target ? std::string(target, length) : path;
}

// Makes the folders above `path` that are missing. 0, or why the last of them is not there.
DWORD CreateParents(const std::string& path) {
    DWORD error = 0;
    // Each prefix in turn; a prefix that is no folder of its own ("C:", "\\?") fails harmlessly,
    // as the next one decides.
    for (std::size_t at = path.find_first_of("/\\", 1); at != std::string::npos;
         at = path.find_first_of("/\\", at + 1)) {
        const std::string folder = path.substr(0, at);
        const DWORD attributes = GetFileAttributesA(folder.c_str());
        const bool there =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        error = there || CreateDirectoryA(folder.c_str(), nullptr) ? 0 : ::GetLastError();
    }
    return error;
}

// The full path of `path` (dots resolved), for comparing places that do not exist yet.
std::string FullPath(const std::string& path) {
    char full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length > 0 && length < sizeof full ? std::string(full, length) : path;
}

}  // namespace

OutputFile::OutputFile(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

OutputFile::~OutputFile() {
    if (m_impl->handle != INVALID_HANDLE_VALUE) {
        CloseHandle(m_impl->handle);
    }
}

std::unique_ptr<OutputFile> OutputFile::Open(const std::string& path, Mode mode, bool create,
                                             std::string& reason) {
    auto impl = std::make_unique<Impl>();
    DWORD error = 0;
    impl->handle =
        OpenRegular(path, GENERIC_WRITE, create ? OPEN_ALWAYS : OPEN_EXISTING, reason, error);
    if (impl->handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    impl->append = mode == Mode::Append;
    return std::unique_ptr<OutputFile>(new OutputFile(std::move(impl)));
}

bool OutputFile::Write(const void* data, std::size_t length, std::size_t& written,
                       std::string& reason) {
    written = 0;
    const std::uint64_t offset = m_impl->append ? kAtTheEnd : 0;
    if (const DWORD error =
            WriteWhole(m_impl->handle, static_cast<const char*>(data), length, offset, written)) {
        reason = Reason(error);
        return false;
    }
    return true;
}

bool OutputFile::WriteAt(std::uint64_t offset, const void* data, std::size_t length,
                         std::string& reason) {
    std::size_t written = 0;
    if (const DWORD error =
            WriteWhole(m_impl->handle, static_cast<const char*>(data), length, offset, written)) {
        reason = Reason(error);
        return false;
    }
    return true;
}

bool OutputFile::Size(std::uint64_t& size) {
    LARGE_INTEGER value;
    if (!GetFileSizeEx(m_impl->handle, &value)) {
        return false;
    }
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

bool OutputFile::Truncate(std::uint64_t size) {
    LARGE_INTEGER value;
    value.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(m_impl->handle, value, nullptr, FILE_BEGIN) &&
           SetEndOfFile(m_impl->handle);
}

bool OutputFile::Close(std::string& reason) {
    const HANDLE handle = m_impl->handle;
    m_impl->handle = INVALID_HANDLE_VALUE;
    if (handle != INVALID_HANDLE_VALUE && !CloseHandle(handle)) {
        reason = Reason(::GetLastError());
        return false;
    }
    return true;
}

bool LookAt(const std::string& path, FileInfo& info, std::string& reason) {
    info = {};
    BY_HANDLE_FILE_INFORMATION file{};
    bool disk = false;
    DWORD error = 0;
    if (!Find(path, file, disk, error)) {
        if (IsMissing(error)) {
            return true;
        }
        reason = Reason(error);
        return false;
    }
    if (!disk || (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        info.kind = FileKind::Other;
        return true;
    }
    info.kind = FileKind::Regular;
    info.size = (static_cast<std::uint64_t>(file.nFileSizeHigh) << 32) | file.nFileSizeLow;
    return true;
}

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    bool firstDisk = false, secondDisk = false;
    DWORD error = 0;
    if (Find(a, first, firstDisk, error) && Find(b, second, secondDisk, error) && firstDisk &&
        secondDisk) {
        return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
               first.nFileIndexHigh == second.nFileIndexHigh &&
               first.nFileIndexLow == second.nFileIndexLow;
    }
    // One is not there yet: the same place once dots are resolved (names are case-blind).
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, FullPath(a).c_str(), -1,
                          FullPath(b).c_str(), -1) == CSTR_EQUAL;
}

bool ReadTextFile(const std::string& path, std::string& text, bool& missing, std::string& reason) {
    missing = false;
    text.clear();
    DWORD error = 0;
    HANDLE handle = OpenRegular(path, GENERIC_READ, OPEN_EXISTING, reason, error);
    if (handle == INVALID_HANDLE_VALUE) {
        missing = IsMissing(error);
        return false;
    }
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle, buffer, sizeof buffer, &got, nullptr)) {
            reason = Reason(::GetLastError());
            CloseHandle(handle);
            return false;
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, got);
    }
    CloseHandle(handle);
    return true;
}

bool ReplaceFile(const std::string& path, const std::string& text, std::string& error) {
    const std::string target = LinkTarget(path);
    if (const DWORD failure = CreateParents(target)) {
        error = "creating the folders of " + target + ": " + Reason(failure);
        return false;
    }
    const std::string temporary = target + ".new";
    HANDLE handle = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = "creating " + temporary + ": " + Reason(::GetLastError());
        return false;
    }
    std::size_t written = 0;
    DWORD failure = WriteWhole(handle, text.data(), text.size(), 0, written);
    if (failure == 0 && !FlushFileBuffers(handle)) {
        failure = ::GetLastError();
    }
    if (!CloseHandle(handle) && failure == 0) {
        failure = ::GetLastError();
    }
    if (failure != 0) {
        error = "writing " + temporary + ": " + Reason(failure);
        DeleteFileA(temporary.c_str());
        return false;
    }
    // In one step: a reader finds the old file or the new one, never a part.
    if (!MoveFileExA(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = "replacing " + target + ": " + Reason(::GetLastError());
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

std::string UserConfigDirectory() {
    char buffer[MAX_PATH * 4];
    const DWORD length = GetEnvironmentVariableA("APPDATA", buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) {
        return "";
    }
    return std::string(buffer, length);
}

}  // namespace platform
