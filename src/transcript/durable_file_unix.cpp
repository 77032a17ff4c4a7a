#include "transcript/durable_file.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/xattr.h>
#endif

namespace DurableFile {
namespace {

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

// Whether the file at path only takes additions at its end: then it is the
// file, not its folder, that refuses.
bool appendOnly(const std::filesystem::path &path)
{
#ifdef STATX_ATTR_APPEND
    struct statx status = {};
    return ::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS, &status) == 0
           && (status.stx_attributes_mask & STATX_ATTR_APPEND) && (status.stx_attributes & STATX_ATTR_APPEND);
#else
    (void)path;
    return false;
#endif
}

Outcome failed(int error, const std::filesystem::path &path, bool oldContentKept = true)
{
    if ((error == EPERM || error == EACCES) && appendOnly(path))
        return {Failure::AppendOnly, error, oldContentKept};
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

#ifdef __linux__
// The names of a file's extended attributes (its access list among them),
// NUL-separated, read by list (a path's or an open file's); false when they
// cannot be read.
template <typename List>
bool attributeNames(List list, std::string &names)
{
    for (int tries = 0; tries < 4; ++tries) {
        const ssize_t size = list(nullptr, 0);
        if (size < 0)
            return errno == ENOTSUP; // a file system without them: nothing to keep
        names.resize(size_t(size));
        const ssize_t got = size == 0 ? 0 : list(names.data(), names.size());
        if (got >= 0) {
            names.resize(size_t(got));
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
    return false;
}

bool listed(const std::string &names, const char *name)
{
    for (size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        if (std::strcmp(names.c_str() + at, name) == 0)
            return true;
    }
    return false;
}
#endif

// Gives the new file what the old one has: owner and group, permissions,
// extended attributes and access lists (and none it had not). False when any
// of it cannot be given: the save then writes in place.
bool giveIdentity(const std::filesystem::path &old, const struct stat &was, int file)
{
    struct stat made = {};
    if (::fstat(file, &made) != 0)
        return false;
    if ((made.st_uid != was.st_uid || made.st_gid != was.st_gid) && ::fchown(file, was.st_uid, was.st_gid) != 0)
        return false;
    // After the owner: a change of owner takes away the set-id bits.
    if (::fchmod(file, was.st_mode & 07777) != 0)
        return false;
#ifdef __linux__
    std::string names;
    std::string inherited;
    if (!attributeNames([&](char *to, size_t size) { return ::listxattr(old.c_str(), to, size); }, names)
        || !attributeNames([&](char *to, size_t size) { return ::flistxattr(file, to, size); }, inherited))
        return false;
    // What the folder gave the new file (a default access list) and the old one lacks.
    for (size_t at = 0; at < inherited.size(); at += std::strlen(inherited.c_str() + at) + 1) {
        const char *name = inherited.c_str() + at;
        if (!listed(names, name) && ::fremovexattr(file, name) != 0)
            return false;
    }
    std::string value;
    for (size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char *name = names.c_str() + at;
        const ssize_t size = ::getxattr(old.c_str(), name, nullptr, 0);
        if (size < 0)
            return false;
        value.resize(size_t(size));
        const ssize_t got = size == 0 ? 0 : ::getxattr(old.c_str(), name, value.data(), value.size());
        if (got < 0 || ::fsetxattr(file, name, value.data(), size_t(got), 0) != 0)
            return false;
    }
#else
    (void)old;
#endif
    return true;
}

// The folder's entry for a new name reaches the disk with the folder.
void syncFolder(const std::filesystem::path &path)
{
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    if (const int entry = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); entry >= 0) {
        ::fsync(entry);
        ::close(entry);
    }
}

} // namespace

unsigned long thisProcess()
{
    return static_cast<unsigned long>(::getpid());
}

bool processGone(unsigned long process)
{
    return ::kill(pid_t(process), 0) != 0 && errno == ESRCH;
}

Outcome replace(const std::filesystem::path &path, std::string_view bytes)
{
    const std::filesystem::path target = finalTarget(path);
    removeLeftovers(target);
    struct stat was = {};
    const bool exists = ::stat(target.c_str(), &was) == 0;
    if (exists && S_ISDIR(was.st_mode))
        return {Failure::IsFolder, EISDIR};
    // A file that may not be written is not replaced behind its back.
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        const int error = errno;
        return {error == EROFS ? Failure::ReadOnlyDisk
                : appendOnly(target) ? Failure::AppendOnly
                                                : Failure::ReadOnlyFile,
                error};
    }
    // Another name for the same file would keep the old content: in place.
    if (exists && was.st_nlink > 1)
        return overwrite(target, bytes);
    if (exists && appendOnly(target))
        return {Failure::AppendOnly, EPERM};
    std::filesystem::path temporary;
    int file = -1;
    for (unsigned attempt = 0; file < 0 && attempt < 100; ++attempt) {
        temporary = besides(target, thisProcess(), attempt);
        file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (file < 0 && errno != EEXIST)
            break;
    }
    if (file < 0) {
        const int error = errno;
        return {error == EACCES || error == EPERM ? Failure::NoNewFile : classify(error), error};
    }
    if (exists) {
        if (!giveIdentity(target, was, file)) {
            ::close(file);
            ::unlink(temporary.c_str());
            return overwrite(target, bytes);
        }
    } else {
        // The usual permissions of a new file.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(file, 0666 & ~mask);
    }
    bool done = writeAll(file, bytes) && ::fsync(file) == 0;
    int error = done ? 0 : errno;
    if (::close(file) != 0 && done) {
        done = false;
        error = errno;
    }
    if (done && ::rename(temporary.c_str(), target.c_str()) != 0) {
        done = false;
        error = errno;
    }
    if (!done) {
        ::unlink(temporary.c_str());
        return failed(error, target);
    }
    syncFolder(target);
    return {};
}

Outcome overwrite(const std::filesystem::path &path, std::string_view bytes)
{
    const int file = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (file < 0) {
        const int error = errno;
        if ((error == EACCES || error == EPERM) && !appendOnly(path))
            return {Failure::ReadOnlyFile, error};
        return failed(error, path);
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
        return failed(error, path);
    }
#ifdef __linux__
    // The room first: a full disk refuses here, the old content untouched.
    // (File systems that cannot reserve room are written as they are.)
    if (bytes.size() > old.size() && ::fallocate(file, FALLOC_FL_KEEP_SIZE, 0, off_t(bytes.size())) != 0
        && errno != EOPNOTSUPP && errno != ENOSYS) {
        const int error = errno;
        ::close(file);
        return failed(error, path);
    }
#endif
    if (writeAll(file, bytes) && ::ftruncate(file, off_t(bytes.size())) == 0 && ::fsync(file) == 0) {
        ::close(file);
        return {};
    }
    const int error = errno;
    const bool restored = writeAll(file, old) && ::ftruncate(file, off_t(old.size())) == 0 && ::fsync(file) == 0;
    ::close(file);
    return failed(error, path, restored);
}

} // namespace DurableFile
