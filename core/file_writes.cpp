// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/file_writes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace funkor {

namespace {

// Writes all of `text` at the descriptor's position; 0 or the errno.
int writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

// Closes a descriptor and keeps the first error seen.
int closeKeeping(int fd, int error) {
    if (::close(fd) != 0 && error == 0) return errno;
    return error;
}

// Temporary files of programs stopped in the middle of a save ("name.tmp-"
// and the process number, of a process that is gone).
void removeLeftovers(const std::filesystem::path& folder, const std::string& prefix) {
    std::error_code ec;
    const std::filesystem::path dir = folder.empty() ? std::filesystem::path(".") : folder;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.empty() || digits.size() > 9 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(digits));
        if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) {
            std::error_code ignored;
            std::filesystem::remove(entry.path(), ignored);
        }
    }
}

}  // namespace

int appendWhole(const std::string& path, std::string_view text) {
    // Read access is only needed to look at the last byte; a file that may
    // be written but not read is appended to without that look.
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    bool canRead = true;
    if (fd < 0 && errno == EACCES) {
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        canRead = false;
    }
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return closeKeeping(fd, errno);
    const off_t before = st.st_size;

    std::string record;
    if (canRead && before > 0 && S_ISREG(st.st_mode)) {
        char last = '\n';
        if (::pread(fd, &last, 1, before - 1) == 1 && last != '\n') record = "\r\n";
    }
    record.append(text);
    int error = writeAll(fd, record);
    // Half a record would run into the next one: take it back. What stood
    // in the file before stays untouched.
    if (error != 0 && S_ISREG(st.st_mode)) {
        [[maybe_unused]] const int cut = ::ftruncate(fd, before);
    }
    return closeKeeping(fd, error);
}

int replaceWhole(const std::string& path, std::string_view content) {
    std::filesystem::path target = path;
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
        const auto resolved = std::filesystem::canonical(target, ec);
        if (ec) return ec.value();
        target = resolved;
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return errno;

    // One temporary name per process, so that two programs saving into the
    // same folder at once never write into each other's file.
    const std::string tempPrefix = target.filename().string() + ".tmp-";
    const std::string temp = target.string() + ".tmp-" + std::to_string(::getpid());
    removeLeftovers(target.parent_path(), tempPrefix);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    int error = writeAll(fd, content);
    if (error == 0 && exists && ::fchmod(fd, old.st_mode & 07777) != 0) error = errno;
    // On the disk before the name points at it: after a power loss the name
    // must not lead to an empty file.
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    error = closeKeeping(fd, error);
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return error;
    }
    // The rename itself is made durable by flushing the folder.
    const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        [[maybe_unused]] const int synced = ::fsync(dir);
        ::close(dir);
    }
    return 0;
}

std::string writeErrorReason(int error) {
    switch (error) {
        case ENOSPC:
        case EFBIG:
        case EDQUOT:
            return "Datentr\xE4ger voll";
        case EACCES:
        case EPERM:
            return "keine Berechtigung";
        case EROFS:
            return "Datentr\xE4ger schreibgesch\xFCtzt";
        case ENOENT:
        case ENOTDIR:
            return "Ordner nicht vorhanden";
        case EIO:
            return "Ein-/Ausgabefehler";
        default:
            return "Fehler " + std::to_string(error);
    }
}

}  // namespace funkor
