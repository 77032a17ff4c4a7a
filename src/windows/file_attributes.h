#pragma once

// Whether Windows marks the file at path as a system file (a directory search
// with the normal attributes passes it over), or cannot tell. Plain C++, so
// that <windows.h> stays out of the files that use Qt.
bool isWindowsSystemFile(const wchar_t *path);
