// conference-bridge.exe: creates the conference application's automation
// object as velmora.exe does and speaks the bridge protocol on standard
// input and output (see bridge_protocol.h). Standard input, a pipe, is read
// by a thread of its own that hands each line to this thread, the object's
// single-threaded apartment, which pumps messages all the while: the
// application's events arrive here, in order, between the answers.
#include "bridge_protocol.h"
#include "conference_link/com_automation_client.h"
#include "runtime/call_limit.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

namespace {

// What arrives from standard input: a line (lParam, a std::string to delete),
// or its end.
constexpr UINT LineMessage = WM_APP + 1;
constexpr UINT InputEndedMessage = WM_APP + 2;

std::string toUtf8(const std::wstring &text)
{
    // A lone surrogate, which UTF-8 cannot hold, becomes U+FFFD.
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::wstring fromUtf8(const std::string &bytes)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::wstring text(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), text.data(), size);
    return text;
}

void writeLine(std::string line)
{
    line += '\n';
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    for (size_t done = 0; done < line.size();) {
        DWORD written = 0;
        if (!WriteFile(out, line.data() + done, DWORD(line.size() - done), &written, nullptr) || written == 0)
            return; // nobody reads any more: the end comes with standard input's
        done += written;
    }
}

void writeError(const ComError &error)
{
    const BridgeProtocol::Failure kind = error.busy() ? BridgeProtocol::Failure::Busy
                                         : error.number() == ErrorNumber::ServerUnavailable
                                             ? BridgeProtocol::Failure::Gone
                                             : BridgeProtocol::Failure::Other;
    writeLine(BridgeProtocol::errorLine(toInt(error.number()), kind, toUtf8(error.description())));
}

// Reads standard input and posts each line to the apartment's thread.
void readInput(DWORD apartmentThread)
{
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        pending.append(buffer, read);
        size_t start = 0;
        for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
            auto *line = new std::string(pending, start, end - start);
            if (!PostThreadMessageW(apartmentThread, LineMessage, 0, reinterpret_cast<LPARAM>(line)))
                delete line;
        }
        pending.erase(0, start);
    }
    PostThreadMessageW(apartmentThread, InputEndedMessage, 0, 0);
}

// Carries out one request; false once the application has gone.
bool serve(ComAutomationClient &client, const std::string &line)
{
    const BridgeProtocol::Line request = BridgeProtocol::split(line);
    try {
        if (request.word == "send") {
            const auto text = BridgeProtocol::unescape(request.rest);
            if (!text) {
                writeLine(BridgeProtocol::errorLine(toInt(ErrorNumber::AutomationError), BridgeProtocol::Failure::Other,
                                                    "pedido malformado"));
                return true;
            }
            client.sendChatText(fromUtf8(*text));
            writeLine("ok");
        } else if (request.word == "audio") {
            writeLine("audio " + std::to_string(client.receivingAudio()));
        } else {
            writeLine(BridgeProtocol::errorLine(toInt(ErrorNumber::AutomationError), BridgeProtocol::Failure::Other,
                                                "pedido desconhecido"));
        }
    } catch (const ComError &error) {
        writeError(error);
        return error.number() != ErrorNumber::ServerUnavailable || error.busy();
    }
    return true;
}

} // namespace

int wmain()
{
    // This thread's message queue exists before the reader posts to it.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);

    std::unique_ptr<ComAutomationClient> client;
    try {
        client = std::make_unique<ComAutomationClient>(
            [](const std::wstring &stexto) { writeLine("chat " + BridgeProtocol::escape(toUtf8(stexto))); });
        // Each call is given up below the bridge's own answer limit, so that
        // the answer, busy if need be, reaches Velmora in time.
        client->setCallLimit(DWORD(BridgeCallLimitMs));
    } catch (const ComError &error) {
        writeError(error);
        return 1;
    }
    writeLine("ready");
    std::thread(readInput, GetCurrentThreadId()).detach();

    int status = 0;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == InputEndedMessage)
            break;
        if (message.message == LineMessage) {
            const std::unique_ptr<std::string> line(reinterpret_cast<std::string *>(message.lParam));
            if (!serve(*client, *line)) {
                status = 2;
                break;
            }
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    client.reset();
    // The reader may still wait on standard input; an application that
    // stopped answering is not waited for by COM's own clean-up either.
    std::fflush(nullptr);
    std::_Exit(status);
}
