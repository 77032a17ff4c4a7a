#pragma once

// The line protocol between velmora-wine-bridge (Linux) and
// conference-bridge.exe (under Wine), on the latter's standard input and
// output. Plain C++: both sides build it. Lines are UTF-8 ending in LF; a
// text on a line is escaped so that any text passes unchanged:
//   "\\" a backslash, "\n" LF, "\r" CR, "\0" NUL; any other character as itself.
// To the program:   send TEXT | audio
// From it, first:   ready | error NUMBER KIND TEXT (then it ends)
// then one answer a request, in order:
//                   ok | audio VALUE | error NUMBER KIND TEXT
// and, whenever the application raises one:  chat TEXT
// KIND is busy (refused or not answered in time), gone (the application has
// gone: the program ends) or other; TEXT is the application's description.
#include <optional>
#include <string>
#include <string_view>

namespace BridgeProtocol {

enum class Failure {
    Busy,
    Gone,
    Other
};

std::string escape(std::string_view text);
// The text an escaped one stands for; nothing for a broken escape.
std::optional<std::string> unescape(std::string_view escaped);

// A line cut at its first space: the word, and what follows the space.
struct Line {
    std::string_view word;
    std::string_view rest;
};
Line split(std::string_view line);

std::string errorLine(int number, Failure kind, std::string_view description);
struct Error {
    int number = 0;
    Failure kind = Failure::Other;
    std::string description;
};
// The error an "error" line's rest stands for, or nothing for a broken one.
std::optional<Error> parseError(std::string_view rest);

} // namespace BridgeProtocol
