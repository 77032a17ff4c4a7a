#pragma once

// Asks the Windows shell to open an address (the default browser opens a web
// address) on behalf of the window with the given native handle; what it
// answers is not looked at. Plain C++, so that <windows.h> stays out of the
// files that use Qt.
void windowsShellOpen(void *window, const wchar_t *address);
