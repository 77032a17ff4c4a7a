#include "windows/shell_open.h"

#include <windows.h>
#include <shellapi.h>

void windowsShellOpen(void *window, const wchar_t *address)
{
    ShellExecuteW(static_cast<HWND>(window), L"open", address, L"", L"", SW_SHOWNORMAL);
}
