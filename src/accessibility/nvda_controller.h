#pragma once

#include <string>

// NVDA, through its controller interface: MS-RPC over ncalrpc to the endpoint
// NVDA serves for the programs of one session's desktop. Every call is made
// on the calling thread and may wait on NVDA: the window's thread makes none.
namespace NvdaController {

// The endpoint of the calling thread's session and desktop:
// "NvdaCtlr.<session id>.<desktop name>".
std::wstring endpoint();

// Queues text after what NVDA is saying and shows it on the braille display.
// False when nothing serves the endpoint, NVDA says it is not running, or it
// refuses the speech. One call at a time (the interface's binding is one).
bool tell(const std::wstring &endpoint, const std::wstring &text);

} // namespace NvdaController
