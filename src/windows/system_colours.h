#pragma once

// One of the user's display colours on Windows, 0x00BBGGRR, by its classic
// number (1 = desktop, 2 = active title bar). Plain C++, so that <windows.h>
// stays out of the files that use Qt.
unsigned long windowsSystemColour(int index);
