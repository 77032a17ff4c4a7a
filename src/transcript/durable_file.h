#pragma once

// Puts new content into a file so that, whatever fails on the way (the disk
// full, an input/output error, a flush or rename refused), the file holds
// either its old content, untouched, or the whole new content, and the new
// content only once it has reached the disk. Every step's outcome is read
// from the system itself, so that a failure is told for what it is. Plain
// C++, so that <windows.h> stays out of the files that use Qt.

#include <filesystem>
#include <string_view>

namespace DurableFile {

enum class Failure {
    None,
    NoNewFile,    // the folder takes no new file beside it
    IsFolder,     // the name is a folder's
    FolderGone,   // the folder does not exist (any more)
    ReadOnlyDisk, // the disk only allows reading
    ReadOnlyFile, // the file itself may not be written
    NoPermission, // writing was refused
    Locked,       // another program holds the file
    DiskFull,     // no room left (or the user's quota is used up)
    Io,           // anything else: an input/output error, a rename across disks...
};

struct Outcome {
    Failure failure = Failure::None;
    // The system's own error number (errno, or Windows' last error), for developers.
    int systemError = 0;
    // For overwrite: whether the old content is (back) in place after a failure.
    bool oldContentKept = true;
};

// Writes bytes to a new file beside path, makes it durable, then renames it
// over path (which keeps its permissions). On failure the new file is gone
// and path untouched.
Outcome replace(const std::filesystem::path &path, std::string_view bytes);

// For a folder that takes no new file: writes bytes over path itself. The
// room for them is made sure of first (a full disk then fails before anything
// is written); a write failing part way puts the old content back.
Outcome overwrite(const std::filesystem::path &path, std::string_view bytes);

} // namespace DurableFile
