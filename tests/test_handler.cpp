// The two kinds of handler: an unguarded one reports a failure once and stops;
// one that continues on error skips the failing statement, silently.
#include "runtime/app_error.h"
#include "runtime/handler.h"

#include <QTest>

#include <new>

#include <sys/wait.h>
#include <unistd.h>

namespace {
// Throws where the compiler cannot see it coming.
void (*volatile throwBadAlloc)() = [] { throw std::bad_alloc(); };
} // namespace

class TestHandler : public QObject
{
    Q_OBJECT

    QList<QPair<int, QString>> m_reports;

private slots:
    void init()
    {
        m_reports.clear();
        Handler::setReporter([this](ErrorNumber number, const QString &description) {
            m_reports.append({toInt(number), description});
            // While the report is up the other handlers run (nothing arriving
            // meanwhile is lost), but a second failure is not reported.
            QVERIFY(Handler::unguarded([] {}));
            QVERIFY(!Handler::unguarded([] { throw AppError(ErrorNumber::DeviceIo, QStringLiteral("outra")); }));
        });
    }

    void cleanup() { Handler::restoreDefaultReporter(); }

    void unguardedReportsTheFailureAndStops()
    {
        QStringList ran;
        QVERIFY(Handler::unguarded([&] { ran << "ok"; }));
        QVERIFY(!Handler::unguarded([&] {
            throw AppError(ErrorNumber::DeviceIo, QStringLiteral("Erro de E/S."));
            ran << "never";
        }));
        QVERIFY(!Handler::unguarded([] { throw std::bad_alloc(); }));
        QCOMPARE(ran, QStringList{"ok"});
        QCOMPARE(m_reports, (QList<QPair<int, QString>>{{57, QStringLiteral("Erro de E/S.")},
                                                        {7, QStringLiteral("Memória insuficiente.")}}));
        QCOMPARE(Handler::reportText(ErrorNumber::ServerUnavailable, QStringLiteral("Foi.")),
                 QStringLiteral("Erro em tempo de execução '462':\n\nFoi."));
    }

    void continueOnErrorSkipsTheFailingStatementSilently()
    {
        QStringList ran;
        Handler::continueOnError({
            [&] { ran << "first"; },
            [&] {
                throw AppError(ErrorNumber::PathNotFound, QStringLiteral("não"));
                ran << "never";
            },
            [&] { throw std::bad_alloc(); },
            [&] { ran << "last"; },
        });
        QCOMPARE(ran, QStringList({"first", "last"}));
        QVERIFY(m_reports.isEmpty());
    }

    void anEscapeTakesTheWayOfAnUnguardedFailure()
    {
        // Memory running out where no handler can catch it (inside code that
        // cannot pass the exception on) is reported, with what the rescue
        // kept, and the process ends as after a report: never an abort.
        int output[2];
        QCOMPARE(::pipe(output), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            Handler::setReporter([&](ErrorNumber number, const QString &description) {
                const QByteArray said = QByteArray::number(toInt(number)) + ' ' + description.toUtf8();
                Q_UNUSED(!::write(output[1], said.constData(), size_t(said.size())));
                Handler::endProgram();
            });
            Handler::setRescue([] { return QStringLiteral("Guardado."); });
            Handler::catchEscapes();
            []() noexcept { throwBadAlloc(); }();
            ::_exit(0);
        }
        ::close(output[1]);
        QByteArray said;
        char buffer[256];
        for (ssize_t n; (n = ::read(output[0], buffer, sizeof buffer)) > 0;)
            said.append(buffer, n);
        ::close(output[0]);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 1);
        QCOMPARE(QString::fromUtf8(said), QStringLiteral("7 Memória insuficiente.\n\nGuardado."));
    }
};

QTEST_GUILESS_MAIN(TestHandler)
#include "test_handler.moc"
