#pragma once

#include "runtime/error_number.h"

#include <QString>

#include <functional>
#include <initializer_list>

// The two kinds of event handler. Every handler body runs inside one of them,
// so its kind reads at a glance where the handler is written:
//   Handler::unguarded(...)        a failure shows the error report and the
//                                  process ends with a non-zero status;
//   Handler::continueOnError(...)  a failing statement is skipped silently
//                                  and the next one runs.
namespace Handler {

// Shows the error report. The program installs one that shows the message box
// and ends the process (the default writes it on standard error and ends the
// process); tests swap it to see the report while the process goes on.
using Reporter = std::function<void(ErrorNumber number, const QString &description)>;

void setReporter(Reporter reporter);
void restoreDefaultReporter();
// Ends the process after a report, with a non-zero status (what the rescue
// keeps is kept again first, with what came while the report was up).
[[noreturn]] void endProgram();

// What the program keeps before an unguarded failure ends it: the rescue
// writes what would otherwise be lost (the conversation not yet saved) and
// returns a sentence for the report saying where, or nothing when nothing
// needed keeping. The window that holds the conversation sets it.
using Rescue = std::function<QString()>;
void setRescue(Rescue rescue);

// Keeps at once what the rescue keeps (the session is about to end, say),
// and says where on standard error.
void keepUnsavedNow();

// Ends the process at an ending the operator did not choose (signal, when
// one ended it, else 0): what the rescue keeps is kept first, then the
// process ends as that signal would have ended it (status 1 without one).
[[noreturn]] void endUnchosen(int signal);

// An exception that escapes where no handler can catch it (memory running
// out inside the toolkit, say) takes the way of an unguarded failure: the
// rescue, the report, the end; never an abort that loses the conversation.
void catchEscapes();

// The text of the error report's message box.
QString reportText(ErrorNumber number, const QString &description);

// Runs body; returns false when it failed (only seen when the reporter
// lets the process go on). While the report is up the program's handlers go
// on running (what arrives meanwhile is kept), but a second failure is not
// reported again.
bool unguarded(const std::function<void()> &body);

void continueOnError(std::initializer_list<std::function<void()>> statements);

} // namespace Handler
