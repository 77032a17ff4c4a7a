#pragma once

// Every number the error report can show, in the classic run-time numbering
// that operators know from other programs of this kind. Plain C++, so that the
// Windows automation core reports with the same numbers.
enum class ErrorNumber : int {
    InvalidCall = 5,          // invalid procedure call or argument
    OutOfMemory = 7,          // not enough memory
    TypeMismatch = 13,        // a value of the wrong type
    DeviceIo = 57,            // input/output error
    DiskFull = 61,            // disk full
    PermissionDenied = 70,    // permission denied
    PathFileAccess = 75,      // path/file access error
    PathNotFound = 76,        // path not found
    CannotCreateObject = 429, // the conference application's object cannot be created
    AutomationError = 440,    // any other failure of a call on it
    ServerUnavailable = 462,  // the conference application has gone
};

constexpr int toInt(ErrorNumber number)
{
    return static_cast<int>(number);
}
