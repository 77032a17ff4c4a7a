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

// The words the error report opens with for the conference link's failures,
// as operators know them; what happened follows. Written once for both of
// its bindings (wide, as the Windows one speaks).
constexpr const wchar_t *linkWords(ErrorNumber number)
{
    switch (number) {
    case ErrorNumber::CannotCreateObject:
        return L"O componente ActiveX não pode criar o objeto";
    case ErrorNumber::ServerUnavailable:
        return L"A máquina do servidor remoto não existe ou não está disponível";
    default:
        return L"Erro de automação";
    }
}
// The words of a call the application refused or did not answer in time.
inline constexpr wchar_t BusyWords[] = L"O aplicativo de conferência está ocupado";
