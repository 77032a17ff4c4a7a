// Makes one system call on a transcript fail, as a full disk or a failing one
// would: preloaded into a test (LD_PRELOAD), it stands between the program
// and the C library. While VELMORA_IO_FAULT is set to "CALL:ERROR[:AFTER]"
// (CALL one of open, write, fsync, close, rename, fallocate;
// ERROR a name such as ENOSPC, EIO, EDQUOT, EXDEV, EACCES), the first such
// call on a file whose name begins with "chat" or ".chat" fails with that
// error; for write, once AFTER bytes of such files have been written (the
// write that crosses that point writes up to it). Each setting fails once.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Fault {
    std::string call;
    int error = 0;
    long long after = 0;
};

std::string lastSetting;
bool fired = false;
long long written = 0;

// The fault asked for on call, if it is still to come.
const Fault *armed(const char *call)
{
    static Fault fault;
    const char *setting = std::getenv("VELMORA_IO_FAULT");
    if (!setting || !*setting)
        return nullptr;
    if (lastSetting != setting) {
        lastSetting = setting;
        fired = false;
        written = 0;
        const std::string text = setting;
        const size_t first = text.find(':');
        const size_t second = text.find(':', first + 1);
        fault.call = text.substr(0, first);
        const std::string name = text.substr(first + 1,
                                             second == std::string::npos ? std::string::npos : second - first - 1);
        fault.after = second == std::string::npos ? 0 : std::atoll(text.c_str() + second + 1);
        static const struct {
            const char *name;
            int error;
        } errors[] = {{"ENOSPC", ENOSPC}, {"EIO", EIO},       {"EDQUOT", EDQUOT},
                      {"EXDEV", EXDEV},   {"EACCES", EACCES}, {"EPERM", EPERM}};
        fault.error = EIO;
        for (const auto &known : errors) {
            if (name == known.name)
                fault.error = known.error;
        }
    }
    return !fired && fault.call == call ? &fault : nullptr;
}

bool isTranscript(const char *path)
{
    if (!path)
        return false;
    const char *slash = std::strrchr(path, '/');
    const char *name = slash ? slash + 1 : path;
    return std::strncmp(name, "chat", 4) == 0 || std::strncmp(name, ".chat", 5) == 0;
}

bool isTranscript(int fd)
{
    char link[64];
    char path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, sizeof path - 1);
    if (length <= 0)
        return false;
    path[length] = '\0';
    return isTranscript(path);
}

// Fails the call (returning true, errno set) when its fault is due and it is
// on a transcript.
template <typename File>
bool failing(const char *call, File file)
{
    const Fault *fault = armed(call);
    if (!fault || !isTranscript(file))
        return false;
    fired = true;
    errno = fault->error;
    return true;
}

template <typename Function>
Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// A write of size bytes on fd: how many may go through before the fault
// (all when none is due), or -1 when it fails now.
ssize_t allowed(int fd, size_t size)
{
    const Fault *fault = armed("write");
    if (!fault || !isTranscript(fd))
        return ssize_t(size);
    const long long room = fault->after - written;
    if (room > 0) {
        const ssize_t passing = ssize_t(std::min<long long>(room, (long long)size));
        written += passing;
        return passing;
    }
    fired = true;
    errno = fault->error;
    return -1;
}

} // namespace

extern "C" {

int open(const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = (flags & O_CREAT) ? mode_t(va_arg(arguments, int)) : 0;
    va_end(arguments);
    if (failing("open", path))
        return -1;
    static const auto real = next<int (*)(const char *, int, ...)>("open");
    return real(path, flags, mode);
}

ssize_t pwrite(int fd, const void *data, size_t size, off_t offset)
{
    const ssize_t passing = allowed(fd, size);
    if (passing < 0)
        return -1;
    static const auto real = next<ssize_t (*)(int, const void *, size_t, off_t)>("pwrite");
    return real(fd, data, size_t(passing), offset);
}

int fsync(int fd)
{
    if (failing("fsync", fd))
        return -1;
    static const auto real = next<int (*)(int)>("fsync");
    return real(fd);
}

int close(int fd)
{
    // The file is closed all the same, as the system does when close reports an error.
    const bool fails = failing("close", fd);
    static const auto real = next<int (*)(int)>("close");
    const int result = real(fd);
    return fails ? -1 : result;
}

int rename(const char *from, const char *to)
{
    if (failing("rename", from) || failing("rename", to))
        return -1;
    static const auto real = next<int (*)(const char *, const char *)>("rename");
    return real(from, to);
}

int fallocate(int fd, int mode, off_t offset, off_t length)
{
    if (failing("fallocate", fd))
        return -1;
    static const auto real = next<int (*)(int, int, off_t, off_t)>("fallocate");
    return real(fd, mode, offset, length);
}

} // extern "C"
