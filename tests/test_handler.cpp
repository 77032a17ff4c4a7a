// The two kinds of handler: an unguarded one reports a failure once and stops;
// one that continues on error skips the failing statement, silently.
#include "runtime/app_error.h"
#include "runtime/handler.h"

#include <QTest>

#include <new>

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
            // While the report is up, no other handler runs.
            QVERIFY(!Handler::unguarded([] {}));
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
};

QTEST_GUILESS_MAIN(TestHandler)
#include "test_handler.moc"
