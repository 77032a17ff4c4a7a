#pragma once

// No call on the conference application holds the program longer than this:
// past it the application is taken as busy, not gone. What relays the calls
// to it (the Wine bridge, on both its sides) answers within less, so that
// its answer, busy if need be, reaches the program in time. Plain C++, for
// the Windows automation core too.
inline constexpr int CallLimitMs = 5000;
// The Wine bridge answers every call within this (its Windows side gives up
// on the application earlier still, half a second for each hop).
inline constexpr int BridgeAnswerLimitMs = CallLimitMs - 500;
inline constexpr int BridgeCallLimitMs = BridgeAnswerLimitMs - 500;
