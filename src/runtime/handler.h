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
// Ends the process after a report, with a non-zero status.
[[noreturn]] void endProgram();

// The text of the error report's message box.
QString reportText(ErrorNumber number, const QString &description);

// Runs body; returns false when it failed (only seen when the reporter
// lets the process go on).
bool unguarded(const std::function<void()> &body);

void continueOnError(std::initializer_list<std::function<void()>> statements);

} // namespace Handler
