#include "transcript/durable_file.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace DurableFile {
namespace {

// How long a file another program holds (a virus scanner, an indexer) is
// waited for, a try every RetryStepMs.
constexpr DWORD HeldForMs = 1000;
constexpr DWORD RetryStepMs = 50;

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
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
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

// Whether error says that another program holds the file for now.
bool heldByAnother(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
           || error == ERROR_UNABLE_TO_REMOVE_REPLACED || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT
           || error == ERROR_ACCESS_DENIED;
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

// Puts temporary in target's place: ReplaceFileW, which keeps the old file's
// access list, attributes and streams, tried again for a while when another
// program holds the old file; where there is no old file, a plain move.
bool putInPlace(const std::filesystem::path &temporary, const std::filesystem::path &target, bool exists)
{
    // Whole paths: Wine's ReplaceFileW takes no relative one.
    std::error_code error;
    const std::filesystem::path replaced = std::filesystem::absolute(target, error);
    const std::filesystem::path replacement = std::filesystem::absolute(temporary, error);
    for (DWORD waited = 0;; waited += RetryStepMs) {
        const bool done = exists ? ReplaceFileW(replaced.c_str(), replacement.c_str(), nullptr,
                                                REPLACEFILE_WRITE_THROUGH, nullptr, nullptr)
                                 : MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        if (done)
            return true;
        const DWORD error = GetLastError();
        if (!heldByAnother(error) || waited >= HeldForMs) {
            SetLastError(error);
            return false;
        }
        Sleep(RetryStepMs);
    }
}

} // namespace

unsigned long thisProcess()
{
    return GetCurrentProcessId();
}

bool processGone(unsigned long process)
{
    const HANDLE running = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(process));
    if (!running)
        return GetLastError() == ERROR_INVALID_PARAMETER; // no such process
    DWORD status = 0;
    const bool ended = GetExitCodeProcess(running, &status) && status != STILL_ACTIVE;
    CloseHandle(running);
    return ended;
}

Outcome replace(const std::filesystem::path &path, std::string_view bytes)
{
    const std::filesystem::path target = finalTarget(path);
    removeLeftovers(target);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {Failure::IsFolder, int(ERROR_DIRECTORY)};
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY))
        return {Failure::ReadOnlyFile, int(ERROR_ACCESS_DENIED)};
    std::filesystem::path temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        temporary = besides(target, thisProcess(), attempt);
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
        // The old file's attributes (hidden, say), for a replace that does not carry them over.
        SetFileAttributesW(temporary.c_str(), exists ? attributes : FILE_ATTRIBUTE_NORMAL);
        done = putInPlace(temporary, target, exists);
        error = done ? 0 : GetLastError();
    }
    if (!done) {
        SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
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

} // namespace DurableFile
