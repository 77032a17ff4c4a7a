#include "windows/system_colours.h"

#include <windows.h>

unsigned long windowsSystemColour(int index)
{
    return GetSysColor(index);
}
