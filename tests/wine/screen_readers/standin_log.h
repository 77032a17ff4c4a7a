#pragma once

// The screen-reader stand-ins' record of what they were asked: one line a
// call, "NAME\tARGUMENT...", in UTF-8, a line break inside an argument
// written as "\n"; appended at once, so that a test reads it as it grows.
#include <windows.h>

#include <mutex>
#include <string>

inline void recordCall(const wchar_t *log, const std::wstring &line)
{
    static std::mutex writing;
    std::wstring escaped;
    for (const wchar_t c : line)
        escaped += c == L'\n' ? std::wstring(L"\\n") : std::wstring(1, c);
    escaped += L'\n';
    const int size = WideCharToMultiByte(CP_UTF8, 0, escaped.data(), int(escaped.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, escaped.data(), int(escaped.size()), bytes.data(), size, nullptr, nullptr);
    const std::lock_guard lock(writing);
    const HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}
