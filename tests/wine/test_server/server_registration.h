#pragma once

// The test server's entries in the registry.
#include <windows.h>

// Registers the class (and, unless withTypeLibrary is false, its type
// library); refuses to take over a class registered to another program.
HRESULT registerServer(bool inProcess, bool withTypeLibrary = true);
HRESULT unregisterServer();
