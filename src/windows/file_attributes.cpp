#include "windows/file_attributes.h"

#include <windows.h>

bool isWindowsSystemFile(const wchar_t *path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_SYSTEM);
}
