// Files on POSIX: descriptors opened without blocking and checked to be regular files, whole
// writes that carry on after a signal, and an atomic replace by rename.
#include "platform/files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/last_error.h"

namespace platform {

struct OutputFile::Impl {
    int fd = -1;
};

namespace {

const char* const kNotRegular = "not a regular file";

std::string Reason(int error) {
    return SystemErrorText(error);
}

// open() without blocking: a FIFO without a reader then fails at once with ENXIO instead of
// waiting. A descriptor for a regular file, in blocking mode again; else -1 with the reason.
int OpenRegular(const std::string& path, int flags, std::string& reason) {
    const int fd = open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        reason = errno == ENXIO ? kNotRegular : Reason(errno);
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        reason = Reason(errno);
    } else if (!S_ISREG(info.st_mode)) {
        reason = kNotRegular;
        errno = EINVAL;  // whatever errno held before must not pass for the reason
    } else if (fcntl(fd, F_SETFL, flags & O_APPEND) != 0) {  // writes wait for the disk again
        reason = Reason(errno);
    } else {
        return fd;
    }
    close(fd);
    return -1;
}

// Writes all of `length` bytes (at `offset`, unless it is negative); the one loop for every
// file the program writes. False with errno set; `written` counts what went out.
bool WriteWhole(int fd, const char* data, std::size_t length, off_t offset, std::size_t& written) {
    while (written < length) {
        const ssize_t n = offset < 0 ? write(fd, data + written, length - written)
                                     : pwrite(fd, data + written, length - written,
                                              offset + static_cast<off_t>(written));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = ENOSPC;  // no progress and no reason given: the usual cause
            }
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// Where a write through `path` lands: the final target of a chain of symlinks, even when that
// target does not exist yet.
std::filesystem::path LinkTarget(std::filesystem::path path) {
    for (int depth = 0; depth < 40; ++depth) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(path, ec)) {
            break;
        }
        const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
        if (ec) {
            break;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

}  // namespace

OutputFile::OutputFile(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

OutputFile::~OutputFile() {
    if (m_impl->fd >= 0) {
        close(m_impl->fd);
    }
}

std::unique_ptr<OutputFile> OutputFile::Open(const std::string& path, Mode mode, bool create,
                                             std::string& reason) {
    const int flags = O_WRONLY | (mode == Mode::Append ? O_APPEND : 0) | (create ? O_CREAT : 0);
    auto impl = std::make_unique<Impl>();
    impl->fd = OpenRegular(path, flags, reason);
    if (impl->fd < 0) {
        return nullptr;
    }
    return std::unique_ptr<OutputFile>(new OutputFile(std::move(impl)));
}

bool OutputFile::Write(const void* data, std::size_t length, std::size_t& written,
                       std::string& reason) {
    written = 0;
    if (!WriteWhole(m_impl->fd, static_cast<const char*>(data), length, -1, written)) {
        reason = Reason(errno);
        return false;
    }
    return true;
}

bool OutputFile::WriteAt(std::uint64_t offset, const void* data, std::size_t length,
                         std::string& reason) {
    std::size_t written = 0;
    if (!WriteWhole(m_impl->fd, static_cast<const char*>(data), length, static_cast<off_t>(offset),
                    written)) {
        reason = Reason(errno);
        return false;
    }
    return true;
}

bool OutputFile::Size(std::uint64_t& size) {
    struct stat info {};
    if (fstat(m_impl->fd, &info) != 0) {
        return false;
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool OutputFile::Truncate(std::uint64_t size) {
    return ftruncate(m_impl->fd, static_cast<off_t>(size)) == 0;
}

bool OutputFile::Close(std::string& reason) {
    const int fd = m_impl->fd;
    m_impl->fd = -1;
    // Not retried on EINTR: the descriptor is gone either way on Linux.
    if (fd >= 0 && close(fd) != 0 && errno != EINTR) {
        reason = Reason(errno);
        return false;
    }
    return true;
}

bool LookAt(const std::string& path, FileInfo& info, std::string& reason) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        info = {};
        if (errno == ENOENT) {
            return true;
        }
        reason = Reason(errno);
        return false;
    }
    info.kind = S_ISREG(st.st_mode) ? FileKind::Regular : FileKind::Other;
    info.size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    if (stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0) {
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    }
    // One is not there yet: the same place once links and dots are resolved.
    std::error_code ec;
    const auto where = [&ec](const std::string& path) {
        return std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    };
    return where(a) == where(b) && !ec;
}

bool ReadTextFile(const std::string& path, std::string& text, bool& missing, std::string& reason) {
    missing = false;
    text.clear();
    const int fd = OpenRegular(path, O_RDONLY, reason);
    if (fd < 0) {
        missing = errno == ENOENT;
        return false;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            reason = Reason(errno);
            close(fd);
            return false;
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return true;
}

bool ReplaceFile(const std::string& path, const std::string& text, std::string& error) {
    const std::filesystem::path target = LinkTarget(path);
    std::error_code ec;
    if (target.has_parent_path()) {
        std::filesystem::create_directories(target.parent_path(), ec);
        if (ec) {
            error = "creating " + target.parent_path().string() + ": " + ec.message();
            return false;
        }
    }
    // The new file gets the old one's permissions; a new one those the umask leaves.
    struct stat old {};
    const bool existed = stat(target.c_str(), &old) == 0;
    const std::string temporary = target.string() + ".new";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                        existed ? (old.st_mode & 07777) : 0666);
    if (fd < 0) {
        error = "creating " + temporary + ": " + Reason(errno);
        return false;
    }
    std::size_t written = 0;
    bool ok = (!existed || fchmod(fd, old.st_mode & 07777) == 0) &&
              WriteWhole(fd, text.data(), text.size(), -1, written) && fsync(fd) == 0;
    int failure = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        error = "writing " + temporary + ": " + Reason(failure);
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        error = "replacing " + target.string() + ": " + Reason(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string UserConfigDirectory() {
    // A relative XDG_CONFIG_HOME is to be ignored, as the base-directory rules say.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
        return config;
    }
    std::string home;
    if (const char* variable = std::getenv("HOME"); variable && *variable) {
        home = variable;
    } else {
        passwd entry;
        passwd* found = nullptr;
        char buffer[4096];
        if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) {
            home = found->pw_dir;
        }
    }
    return home.empty() ? "" : home + "/.config";
}

}  // namespace platform
