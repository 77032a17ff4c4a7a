#pragma once

// Puts new content into a file so that, whatever fails on the way (the disk
// full, an input/output error, a flush or rename refused), the file holds
// either its old content, untouched, or the whole new content, and the new
// content only once it has reached the disk. The file stays what its owner
// made it: a symbolic link is followed to the file it names, and the file
// keeps its links, owner, group, permissions, attributes and access lists.
// Every step's outcome is read from the system itself, so that a failure is
// told for what it is. Plain C++, so that <windows.h> stays out of the files
// that use Qt. One interface, a half for each system (durable_file_unix.cpp,
// durable_file_win.cpp).

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
    AppendOnly,   // the file itself only takes additions at its end
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

// The file path really names: symbolic links followed, relative ones from the
// folder of the link, to the end of a chain (or to where a dangling link points).
std::filesystem::path finalTarget(const std::filesystem::path &path);

// Writes bytes to a new file beside the final target of path, gives it
// everything the old file had, makes it durable, then puts it in the old
// one's place. Where the new file could not be given all the old one had
// (more than one name, an owner or group or attribute the program may not
// give), writes over the old file in place instead, as overwrite does. On
// failure the new file is gone and the old one untouched.
Outcome replace(const std::filesystem::path &path, std::string_view bytes);

// For a folder that takes no new file: writes bytes over path itself. The
// room for them is made sure of first (a full disk then fails before anything
// is written); a write failing part way puts the old content back.
Outcome overwrite(const std::filesystem::path &path, std::string_view bytes);

// Removes what a save beside the final target of path left when its process
// was killed half-way: only the hidden names a save makes, and only those of
// processes that are gone.
void removeLeftovers(const std::filesystem::path &path);

// Shared by both halves: the name of a new file beside target, and the
// process whose save made name beside target (0 when no save of ours did).
std::filesystem::path besides(const std::filesystem::path &target, unsigned long process, unsigned attempt);
unsigned long leftoverProcess(const std::filesystem::path &target, const std::filesystem::path &name);
unsigned long thisProcess();
// Whether no process process runs any more (each half asks its system).
bool processGone(unsigned long process);

} // namespace DurableFile
