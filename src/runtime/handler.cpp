#include "runtime/handler.h"

#include "runtime/app_error.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <stdexcept>
#include <utility>

namespace Handler {
namespace {

// Until the program installs its message box: the report on standard error.
void reportAndEnd(ErrorNumber number, const QString &description)
{
    const QByteArray text = reportText(number, description).toUtf8() + '\n';
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    endProgram();
}

Reporter &currentReporter()
{
    static Reporter reporter = reportAndEnd;
    return reporter;
}

Rescue &currentRescue()
{
    static Rescue rescue;
    return rescue;
}

// Said when the rescue itself fails (memory gone, say): made before it is needed.
const QString &rescueFailed()
{
    static const QString sentence = QStringLiteral(
        "Não foi possível guardar o que ainda não estava gravado, e isso se perde quando o programa terminar.");
    return sentence;
}

// What the rescue kept, said as a sentence (nothing when there was nothing to keep).
QString rescue()
{
    if (!currentRescue())
        return QString();
    try {
        return currentRescue()();
    } catch (...) {
        return rescueFailed();
    }
}

// While the report is up its message box keeps the event loop turning: a
// second failing tick must not stack a second report.
bool reporting = false;

void report(ErrorNumber number, const QString &description)
{
    if (reporting)
        return;
    reporting = true;
    const QString kept = rescue();
    currentReporter()(number, kept.isEmpty() ? description : description + QStringLiteral("\n\n") + kept);
    reporting = false;
}

// Runs one statement; on failure hands the error to onError.
template <typename OnError>
bool attempt(const std::function<void()> &statement, OnError onError)
{
    try {
        statement();
        return true;
    } catch (const AppError &e) {
        onError(e.number(), e.description());
    } catch (const std::bad_alloc &) {
        onError(ErrorNumber::OutOfMemory, QStringLiteral("Memória insuficiente."));
    } catch (const std::exception &e) {
        onError(ErrorNumber::InvalidCall,
                QStringLiteral("Chamada de procedimento ou argumento inválido (%1).").arg(QString::fromUtf8(e.what())));
    } catch (...) {
        onError(ErrorNumber::InvalidCall, QStringLiteral("Chamada de procedimento ou argumento inválido."));
    }
    return false;
}

} // namespace

void endProgram()
{
    if (reporting)
        rescue();
    std::fflush(nullptr);
    std::_Exit(1);
}

void keepUnsavedNow()
{
    const QString kept = rescue();
    if (!kept.isEmpty()) {
        const QByteArray text = kept.toUtf8() + '\n';
        std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    }
}

void endUnchosen(int signal)
{
    keepUnsavedNow();
    std::fflush(nullptr);
    if (signal > 0) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    std::_Exit(1);
}

void setRescue(Rescue rescue)
{
    currentRescue() = std::move(rescue);
}

void catchEscapes()
{
    std::set_terminate([] {
        static bool ending = false;
        if (std::exchange(ending, true))
            std::abort();
        // Reported as a handler would have; the report ends the process.
        attempt(
            [] {
                if (const std::exception_ptr escaped = std::current_exception())
                    std::rethrow_exception(escaped);
                throw std::logic_error("std::terminate");
            },
            report);
        endProgram();
    });
}

void setReporter(Reporter reporter)
{
    currentReporter() = std::move(reporter);
}

void restoreDefaultReporter()
{
    currentReporter() = reportAndEnd;
}

QString reportText(ErrorNumber number, const QString &description)
{
    return QStringLiteral("Erro em tempo de execução '%1':\n\n%2").arg(toInt(number)).arg(description);
}

bool unguarded(const std::function<void()> &body)
{
    return attempt(body, report);
}

void continueOnError(std::initializer_list<std::function<void()>> statements)
{
    for (const auto &statement : statements)
        attempt(statement, [](ErrorNumber, const QString &) {});
}

} // namespace Handler
