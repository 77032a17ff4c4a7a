#include "transcript/durable_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <string>

namespace DurableFile {
namespace {

// Names the new file beside the old one: hidden, and this process's own.
std::filesystem::path besides(const std::filesystem::path &path, unsigned attempt)
{
    static unsigned made = 0;
#ifdef _WIN32
    const unsigned long process = GetCurrentProcessId();
#else
    const unsigned long process = static_cast<unsigned long>(getpid());
#endif
    std::filesystem::path name = path;
    name.replace_filename(std::filesystem::path(".") += path.filename());
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%lu-%u", process, made++ + attempt);
    name += suffix;
    return name;
}

#ifdef _WIN32

Failure classify(DWORD error)
{
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return Failure::DiskFull;
    case ERROR_WRITE_PROTECT:
        return Failure::ReadOnlyDisk;
    case ERROR_ACCESS_DENIED:
        return Failure::NoPermission;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return Failure::Locked;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
        return Failure::FolderGone;
    case ERROR_DIRECTORY:
        return Failure::IsFolder;
    default:
        return Failure::Io;
    }
}

Outcome failed(DWORD error, bool oldContentKept = true)
{
    return {classify(error), int(error), oldContentKept};
}

bool writeAll(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = DWORD(std::min<size_t>(bytes.size(), 1u << 30));
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr))
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

bool resize(HANDLE file, size_t size)
{
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(size);
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

bool rewind(HANDLE file)
{
    LARGE_INTEGER start{};
    return SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
}

} // namespace

Outcome replace(const std::filesystem::path &path, std::string_view bytes)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {Failure::IsFolder, int(ERROR_DIRECTORY)};
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return {Failure::ReadOnlyFile, int(ERROR_ACCESS_DENIED)};
    std::filesystem::path temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        temporary = besides(path, attempt);
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return {error == ERROR_ACCESS_DENIED ? Failure::NoNewFile : classify(error), int(error)};
    }
    bool done = writeAll(file, bytes) && FlushFileBuffers(file);
    DWORD error = done ? 0 : GetLastError();
    if (!CloseHandle(file) && done) {
        done = false;
        error = GetLastError();
    }
    if (done) {
        SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
        done = MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        error = done ? 0 : GetLastError();
    }
    if (!done) {
        DeleteFileW(temporary.c_str());
        return failed(error);
    }
    return {};
}

Outcome overwrite(const std::filesystem::path &path, std::string_view bytes)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return {error == ERROR_ACCESS_DENIED ? Failure::ReadOnlyFile : classify(error), int(error)};
    }
    LARGE_INTEGER size{};
    std::string old;
    bool read = GetFileSizeEx(file, &size);
    if (read) {
        old.resize(size_t(size.QuadPart));
        for (size_t done = 0; read && done < old.size();) {
            DWORD got = 0;
            read = ReadFile(file, old.data() + done, DWORD(std::min<size_t>(old.size() - done, 1u << 30)), &got,
                            nullptr)
                   && got > 0;
            done += got;
        }
    }
    if (!read) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        return failed(error);
    }
    // The room first: a full disk refuses here, the old content untouched.
    if (bytes.size() > old.size() && !(resize(file, bytes.size()) && resize(file, old.size()))) {
        const DWORD error = GetLastError();
        resize(file, old.size());
        CloseHandle(file);
        return failed(error);
    }
    if (rewind(file) && writeAll(file, bytes) && resize(file, bytes.size()) && FlushFileBuffers(file)) {
        CloseHandle(file);
        return {};
    }
    const DWORD error = GetLastError();
    const bool restored = rewind(file) && writeAll(file, old) && resize(file, old.size()) && FlushFileBuffers(file);
    CloseHandle(file);
    return failed(error, restored);
}

#else

Failure classify(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return Failure::DiskFull;
    case EROFS:
        return Failure::ReadOnlyDisk;
    case EACCES:
    case EPERM:
        return Failure::NoPermission;
    case ETXTBSY:
    case EBUSY:
        return Failure::Locked;
    case EISDIR:
        return Failure::IsFolder;
    case ENOENT:
    case ENOTDIR:
        return Failure::FolderGone;
    default:
        return Failure::Io;
    }
}

Outcome failed(int error, bool oldContentKept = true)
{
    return {classify(error), error, oldContentKept};
}

// Writes all of bytes from offset, however the system splits the write.
bool writeAll(int file, std::string_view bytes, off_t offset = 0)
{
    while (!bytes.empty()) {
        const ssize_t written = ::pwrite(file, bytes.data(), bytes.size(), offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        bytes.remove_prefix(size_t(written));
        offset += written;
    }
    return true;
}

bool readAll(int file, std::string &bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t got = ::pread(file, bytes.data() + done, bytes.size() - done, off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0)
                errno = EIO; // shorter than it said
            return false;
        }
        done += size_t(got);
    }
    return true;
}

} // namespace

Outcome replace(const std::filesystem::path &path, std::string_view bytes)
{
    struct stat old = {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return {Failure::IsFolder, EISDIR};
    // A file that may not be written is not replaced behind its back.
    if (exists && ::access(path.c_str(), W_OK) != 0)
        return {errno == EROFS ? Failure::ReadOnlyDisk : Failure::ReadOnlyFile, errno};
    std::filesystem::path temporary;
    int file = -1;
    for (unsigned attempt = 0; file < 0 && attempt < 100; ++attempt) {
        temporary = besides(path, attempt);
        file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (file < 0 && errno != EEXIST)
            break;
    }
    if (file < 0) {
        const int error = errno;
        return {error == EACCES || error == EPERM ? Failure::NoNewFile : classify(error), error};
    }
    // The permissions of the file it replaces, or the usual ones of a new file.
    mode_t mode = old.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(file, mode);
    bool done = writeAll(file, bytes) && ::fsync(file) == 0;
    int error = done ? 0 : errno;
    if (::close(file) != 0 && done) {
        done = false;
        error = errno;
    }
    if (done && ::rename(temporary.c_str(), path.c_str()) != 0) {
        done = false;
        error = errno;
    }
    if (!done) {
        ::unlink(temporary.c_str());
        return failed(error);
    }
    // The new name reaches the disk with the folder.
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    if (const int entry = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); entry >= 0) {
        ::fsync(entry);
        ::close(entry);
    }
    return {};
}

Outcome overwrite(const std::filesystem::path &path, std::string_view bytes)
{
    const int file = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (file < 0) {
        const int error = errno;
        return {error == EACCES || error == EPERM ? Failure::ReadOnlyFile : classify(error), error};
    }
    struct stat status = {};
    std::string old;
    bool read = ::fstat(file, &status) == 0;
    if (read) {
        old.resize(size_t(status.st_size));
        read = readAll(file, old);
    }
    if (!read) {
        const int error = errno;
        ::close(file);
        return failed(error);
    }
#ifdef __linux__
    // The room first: a full disk refuses here, the old content untouched.
    // (File systems that cannot reserve room are written as they are.)
    if (bytes.size() > old.size() && ::fallocate(file, FALLOC_FL_KEEP_SIZE, 0, off_t(bytes.size())) != 0
        && errno != EOPNOTSUPP && errno != ENOSYS) {
        const int error = errno;
        ::close(file);
        return failed(error);
    }
#endif
    if (writeAll(file, bytes) && ::ftruncate(file, off_t(bytes.size())) == 0 && ::fsync(file) == 0) {
        ::close(file);
        return {};
    }
    const int error = errno;
    const bool restored = writeAll(file, old) && ::ftruncate(file, off_t(old.size())) == 0 && ::fsync(file) == 0;
    ::close(file);
    return failed(error, restored);
}

#endif

} // namespace DurableFile
