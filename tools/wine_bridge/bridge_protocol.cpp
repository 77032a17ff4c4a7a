#include "bridge_protocol.h"

#include <array>
#include <charconv>

namespace BridgeProtocol {

namespace {

constexpr std::array<std::string_view, 3> KindNames = {"busy", "gone", "other"};

} // namespace

std::string escape(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '\0':
            escaped += "\\0";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::optional<std::string> unescape(std::string_view escaped)
{
    std::string text;
    text.reserve(escaped.size());
    for (size_t i = 0; i < escaped.size(); ++i) {
        const char c = escaped[i];
        if (c == '\n' || c == '\r')
            return std::nullopt;
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++i == escaped.size())
            return std::nullopt;
        switch (escaped[i]) {
        case '\\':
            text += '\\';
            break;
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        case '0':
            text += '\0';
            break;
        default:
            return std::nullopt;
        }
    }
    return text;
}

Line split(std::string_view line)
{
    const size_t space = line.find(' ');
    if (space == std::string_view::npos)
        return {line, {}};
    return {line.substr(0, space), line.substr(space + 1)};
}

std::string errorLine(int number, Failure kind, std::string_view description)
{
    return "error " + std::to_string(number) + ' ' + std::string(KindNames[size_t(kind)]) + ' ' + escape(description);
}

std::optional<Error> parseError(std::string_view rest)
{
    const Line number = split(rest);
    const Line kind = split(number.rest);
    Error error;
    const auto [end, problem] = std::from_chars(number.word.data(), number.word.data() + number.word.size(),
                                                error.number);
    if (problem != std::errc() || end != number.word.data() + number.word.size())
        return std::nullopt;
    size_t k = 0;
    while (k < KindNames.size() && KindNames[k] != kind.word)
        ++k;
    if (k == KindNames.size())
        return std::nullopt;
    error.kind = Failure(k);
    auto description = unescape(kind.rest);
    if (!description)
        return std::nullopt;
    error.description = std::move(*description);
    return error;
}

} // namespace BridgeProtocol
