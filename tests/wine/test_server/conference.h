#pragma once

// The conference object: one per server, shared by all who create it.
#include <windows.h>

// The interface riid of the server's conference object, made on first use.
HRESULT queryConference(REFIID riid, void **object);
