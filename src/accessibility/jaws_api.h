#pragma once

#include <string>

// JAWS, through its automation object (ProgID "FreedomSci.JawsApi"), reached
// by IDispatch's late binding.
namespace JawsApi {

// Whether JAWS runs: a window of its class "JFWUI2" exists.
bool running();

// SayString(text, flush = false): queued after what JAWS is saying. True when
// JAWS answers that it said it. Made on the calling thread, in COM's
// multithreaded apartment (entered and left here), and may wait on JAWS.
bool say(const std::wstring &text);

} // namespace JawsApi
