#pragma once

// Hands what the program put on the clipboard over to the system, so that it
// stays there after the program has ended. (Qt does it as it is torn down,
// which the program's end on Windows goes without.) Plain C++, so that
// <windows.h> stays out of the files that use Qt.
void keepWindowsClipboard();
