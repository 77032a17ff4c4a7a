#include "runtime/handler.h"

#include "runtime/app_error.h"

#include <cstdio>
#include <cstdlib>
#include <new>

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

// While the report is up nothing else may run: its message box keeps the
// event loop turning, and a second failing tick must not stack a second report.
bool reporting = false;

void report(ErrorNumber number, const QString &description)
{
    reporting = true;
    currentReporter()(number, description);
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
    }
    return false;
}

} // namespace

void endProgram()
{
    std::fflush(nullptr);
    std::_Exit(1);
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
    if (reporting)
        return false;
    return attempt(body, report);
}

void continueOnError(std::initializer_list<std::function<void()>> statements)
{
    if (reporting)
        return;
    for (const auto &statement : statements)
        attempt(statement, [](ErrorNumber, const QString &) {});
}

} // namespace Handler
