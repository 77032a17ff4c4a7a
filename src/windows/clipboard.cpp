#include <windows.h>

#include "windows/clipboard.h"

#include <ole2.h>

void keepWindowsClipboard()
{
    // Renders the program's own data object, if it is the one on the
    // clipboard; anything else there is left as it is.
    OleFlushClipboard();
}
