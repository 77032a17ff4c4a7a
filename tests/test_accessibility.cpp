// What a screen reader gets from the three windows.
#include "aux_windows/ajuda.h"
#include "aux_windows/sobre_velmora.h"
#include "chat_session.h"
#include "conference_link/conference_link.h"
#include "accessibility/accessible_event_gate.h"
#include "accessibility/announcer.h"
#include "forms/lamp_shape.h"
#include "forms/text_box.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace {

struct Heard {
    QAccessible::Event type;
    QObject *object;
    QString inserted; // the text inserted, or what was told
    int position;
    bool told;
    qint64 at; // on testClock
};
QList<Heard> heard;
QElapsedTimer testClock;

void listen(QAccessibleEvent *event)
{
    QString inserted;
    int position = -1;
    bool told = false;
    if (event->type() == QAccessible::TextInserted) {
        inserted = static_cast<QAccessibleTextInsertEvent *>(event)->textInserted();
        position = static_cast<QAccessibleTextInsertEvent *>(event)->changePosition();
    }
    // What a screen reader is told: an announcement's message, or (before
    // Qt 6.8) the label of the notification shown.
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    if (event->type() == QAccessible::Announcement) {
        inserted = static_cast<QAccessibleAnnouncementEvent *>(event)->message();
        told = true;
    }
#else
    QAccessibleInterface *accessible = event->accessibleInterface();
    if (event->type() == QAccessible::ObjectShow && accessible && accessible->role() == QAccessible::Notification) {
        inserted = accessible->child(0)->text(QAccessible::Name);
        told = true;
    }
#endif
    heard.append({event->type(), event->object(), inserted, position, told, testClock.elapsed()});
}

// When the n-th announcement was told, on testClock.
qint64 toldAt(qsizetype n)
{
    for (const Heard &h : std::as_const(heard))
        if (h.told && n-- == 0)
            return h.at;
    return -1;
}

// What was inserted into object, in order.
QString insertedInto(QObject *object)
{
    QString inserted;
    for (const Heard &h : std::as_const(heard))
        if (h.object == object && h.type == QAccessible::TextInserted)
            inserted += h.inserted;
    return inserted;
}

// What was told, in order.
QStringList announcements()
{
    QStringList told;
    for (const Heard &h : std::as_const(heard)) {
        if (h.told)
            told.append(h.inserted);
    }
    return told;
}

QString nameOf(QWidget *widget)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

QString captionOf(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    if (auto *frame = qobject_cast<QGroupBox *>(widget))
        return frame->title();
    return {};
}

// The controls on a form, found as they are, not listed: every widget on it
// or in its containers, but for the parts Qt builds a control of (a text
// box's viewport and scroll bars, named qt_...) and the announcer, which is
// no control but the voice of the window.
QList<QWidget *> controlsOf(QWidget *form)
{
    QList<QWidget *> controls;
    for (QObject *child : form->children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        if (!widget || widget->isWindow() || widget->objectName().startsWith(QLatin1String("qt_"))
            || qobject_cast<Announcer *>(widget))
            continue;
        controls.append(widget);
        controls.append(controlsOf(widget));
    }
    return controls;
}

// Every control of a form has a Portuguese name: its caption where it has
// one. (The number found is checked too, so that the search cannot miss them.)
void verifyNamed(QWidget *form, qsizetype designed)
{
    const QList<QWidget *> controls = controlsOf(form);
    QCOMPARE(controls.size(), designed);
    for (QWidget *control : controls) {
        const QString name = nameOf(control);
        const QString caption = captionOf(control);
        QVERIFY2(!name.isEmpty(), control->metaObject()->className());
        if (!caption.isEmpty())
            QCOMPARE(name, caption);
    }
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

    std::unique_ptr<ChatSession> m_session;

private slots:
    void initTestCase()
    {
        testClock.start();
        QAccessible::installUpdateHandler(listen);
        // As when a screen reader is running: the platform's accessibility on.
        QPlatformAccessibility *platform = QGuiApplicationPrivate::platformIntegration()->accessibility();
        QVERIFY(platform);
        platform->setActive(true);
        QVERIFY(QAccessible::isActive());
    }

    void init()
    {
        heard.clear();
        m_session = std::make_unique<ChatSession>();
        QVERIFY(m_session->open());
        heard.clear();
    }

    void cleanup() { m_session.reset(); }

    void everyControlHasAName()
    {
        velmora *w = m_session->window();
        verifyNamed(w, 19);
        Ajuda &help = Ajuda::instance();
        QTimer::singleShot(0, &help, [&] {
            verifyNamed(help.Command1->parentWidget(), 3);
            help.Unload();
        });
        w->Command3_Click();
        sobre_velmora &about = sobre_velmora::instance();
        QTimer::singleShot(0, &about, [&] {
            verifyNamed(about.ret->parentWidget(), 12);
            about.Unload();
        });
        w->sobre_Click();
        QVERIFY(!help.isLoaded() && !about.isLoaded());
    }

    void lampDescriptionFollowsTheLink()
    {
        velmora *w = m_session->window();
        w->Timer1->stop();
        QAccessibleInterface *lamp = QAccessible::queryAccessibleInterface(w->Shape1);
        QVERIFY(lamp);
        const QString quiet = lamp->text(QAccessible::Description);
        QVERIFY(!quiet.isEmpty());

        m_session->standin().feed(QStringLiteral("/audio on"));
        QVERIFY(waitForConferenceAudio(-1));
        QVERIFY(tick(w).answered);
        const QString receiving = lamp->text(QAccessible::Description);
        QVERIFY(!receiving.isEmpty() && receiving != quiet);
        // The state is in the name too, which a review of the window reads.
        QCOMPARE(lamp->text(QAccessible::Name), QStringLiteral("Lâmpada de áudio recebido: ") + receiving);
        const auto changes = [&] {
            return std::count_if(heard.begin(), heard.end(), [&](const Heard &h) {
                return h.object == w->Shape1 && h.type == QAccessible::DescriptionChanged;
            });
        };
        QCOMPARE(changes(), 1);
        QVERIFY(tick(w).answered); // the same state again is not announced again
        QCOMPARE(changes(), 1);

        m_session->standin().feed(QStringLiteral("/audio off"));
        QVERIFY(waitForConferenceAudio(0));
        QVERIFY(tick(w).answered);
        QCOMPARE(lamp->text(QAccessible::Description), quiet);
        QCOMPARE(changes(), 2);
    }

    void everyArrivalIsToldOnceWhereverTheFocusIs()
    {
        velmora *w = m_session->window();
        w->Text2->setFocus();
        m_session->standin().feed(QStringLiteral("PY9AAA: olá, câmbio"));
        QTRY_COMPARE(announcements(), QStringList{QStringLiteral("PY9AAA: olá, câmbio")});
        QVERIFY(w->Text2->hasFocus());

        // The arrivals raise text-insert events where accessible text (a
        // line break, one character) has them, those that came together as
        // one; and, the box not having the focus, no caret or scroll-bar event.
        const QStringList more = {QStringLiteral("PU9BBB: segunda"), QStringLiteral("PY9CCC: terceira")};
        for (const QString &line : more)
            m_session->standin().feed(line);
        QTRY_VERIFY(insertedInto(w->Text1).contains(more.last()));
        QAccessibleTextInterface *text = QAccessible::queryAccessibleInterface(w->Text1)->textInterface();
        QVERIFY(text);
        const QStringList arrivals = QStringList{QStringLiteral("PY9AAA: olá, câmbio")} + more;
        QString inserted;
        for (const Heard &h : std::as_const(heard)) {
            const bool ofTheBox = h.object == w->Text1 || h.object == w->Text1->verticalScrollBar();
            QVERIFY2(!ofTheBox || h.type == QAccessible::TextInserted, qPrintable(QString::number(h.type)));
            if (h.object != w->Text1)
                continue;
            inserted += h.inserted;
            QCOMPARE(text->text(h.position, h.position + int(h.inserted.size())),
                     QString(h.inserted).replace(QChar::ParagraphSeparator, QLatin1Char('\n')));
        }
        QCOMPARE(inserted.split(QChar::ParagraphSeparator, Qt::SkipEmptyParts), arrivals);
        QTRY_COMPARE(announcements().size(), 2); // the two that came together, told together

        // In the conversation box itself: told once, the caret left where it
        // was (no empty last line to read), the newest line in view.
        heard.clear();
        w->Text1->setFocus();
        w->Text1->setSelStart(0);
        m_session->standin().feed(QStringLiteral("PU9DDD: quarta"));
        QTRY_COMPARE(announcements(), QStringList{QStringLiteral("PU9DDD: quarta")});
        QCOMPARE(w->Text1->selStart(), 0);
        QCOMPARE(w->Text1->verticalScrollBar()->value(), w->Text1->verticalScrollBar()->maximum());

        // Alt+1 tells the newest again, Alt+3 the third newest, Alt+0 the lamp;
        // the focus stays.
        heard.clear();
        QTest::keyClick(w->Text1, Qt::Key_1, Qt::AltModifier);
        QTRY_COMPARE(announcements().size(), 1);
        QTest::keyClick(w->Text1, Qt::Key_3, Qt::AltModifier);
        QTRY_COMPARE(announcements().size(), 2);
        QTest::keyClick(w->Text1, Qt::Key_0, Qt::AltModifier);
        QTRY_COMPARE(announcements(), QStringList({QStringLiteral("PU9DDD: quarta"), QStringLiteral("PU9BBB: segunda"),
                                                   QStringLiteral("Sem áudio")}));
        QVERIFY(w->Text1->hasFocus());
        QCOMPARE(w->Text1->text(), arrivals.join(QStringLiteral("\r\n")) + QStringLiteral("\r\nPU9DDD: quarta\r\n"));

        // In the Help window too; Alt+9 with four received says so.
        heard.clear();
        Ajuda &help = Ajuda::instance();
        QTimer::singleShot(0, &help, [&] {
            QTest::keyClick(help.Command1, Qt::Key_1, Qt::AltModifier);
            QTest::keyClick(help.Command1, Qt::Key_9, Qt::AltModifier);
            help.Unload();
        });
        w->Command3_Click();
        QCOMPARE(announcements(),
                 QStringList({QStringLiteral("PU9DDD: quarta"), QStringLiteral("Só 4 mensagens recebidas até agora")}));

        // A flood with the focus in the conversation box: the caret stays,
        // the scroll bar is told at most once a batch, and no warning is printed.
        w->activateWindow();
        w->Text1->setFocus();
        QTRY_VERIFY(w->Text1->hasFocus());
        w->Text1->setSelStart(0);
        heard.clear();
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QElapsedTimer flooding;
        flooding.start();
        for (int i = 1; i <= 2000; ++i)
            m_session->standin().feed(QStringLiteral("PY9AAA: rajada, %1").arg(i));
        QTRY_VERIFY(announcements().size() == 1
                    && announcements().first().startsWith(QStringLiteral("PY9AAA: rajada, 1998")));
        const auto moves = std::count_if(heard.cbegin(), heard.cend(), [&](const Heard &h) {
            return h.object == w->Text1->verticalScrollBar() || h.type == QAccessible::TextCaretMoved;
        });
        QVERIFY2(moves <= 1 + flooding.elapsed() / AccessibleEventGate::BatchMs, qPrintable(QString::number(moves)));
        QCOMPARE(w->Text1->selStart(), 0);
    }

    void summariesAreBoundedAndWaitForTheTyping()
    {
        velmora *w = m_session->window();
        w->Text2->setFocus();
        // A blank arrival is told in words; a long one alone, whole.
        const QString longText = QString(2000, QLatin1Char('x'));
        w->Echo_ChatTextReceived(QStringLiteral("  "));
        QTRY_COMPARE(announcements(), QStringList{QStringLiteral("mensagem em branco")});
        w->Echo_ChatTextReceived(longText);
        QTRY_COMPARE(announcements().size(), 2);
        QCOMPARE(announcements().last(), longText);

        // Ten long ones together: the newest three, cut short, and how many before.
        for (int i = 0; i < 10; ++i)
            w->Echo_ChatTextReceived(QString::number(i) + longText);
        QTRY_COMPARE(announcements().size(), 3);
        const QString cut = longText.left(Announcer::MaxSummarisedLength - 1) + QChar(0x2026);
        QCOMPARE(announcements().last(),
                 QStringList({QLatin1Char('7') + cut, QLatin1Char('8') + cut, QLatin1Char('9') + cut,
                              QStringLiteral("e mais 7 mensagens antes destas")})
                     .join(QLatin1Char('\n')));

        // While the operator types, an arrival waits for a pause in the typing;
        // Enter ends the typing at once.
        // (The times are the keys' and the announcements' own: a slow machine
        // makes them later, never wrong. A key is pressed before its time is
        // read, hence the few milliseconds allowed.)
        heard.clear();
        typeText(w->Text2, QStringLiteral("resp"));
        w->Echo_ChatTextReceived(QStringLiteral("PY9EEE: espera"));
        typeText(w->Text2, QStringLiteral("osta"));
        const qint64 lastKey = testClock.elapsed();
        QTRY_COMPARE_WITH_TIMEOUT(announcements(), QStringList{QStringLiteral("PY9EEE: espera")},
                                  4 * Announcer::TypingPauseMs);
        QVERIFY2(toldAt(0) - lastKey >= Announcer::TypingPauseMs - 20, qPrintable(QString::number(toldAt(0) - lastKey)));
        typeText(w->Text2, QStringLiteral("x"));
        w->Echo_ChatTextReceived(QStringLiteral("PY9FFF: depois do Enter"));
        QTest::keyClick(w->Text2, Qt::Key_Return);
        const qint64 enter = testClock.elapsed();
        QTRY_COMPARE_WITH_TIMEOUT(announcements().size(), 2, 4 * Announcer::TypingPauseMs);
        QVERIFY2(toldAt(1) - enter < Announcer::TypingPauseMs, qPrintable(QString::number(toldAt(1) - enter)));

        // Moving through the conversation to read it is not typing.
        w->Text1->setFocus();
        QTest::keyClick(w->Text1, Qt::Key_Up);
        const qint64 reading = testClock.elapsed();
        w->Echo_ChatTextReceived(QStringLiteral("PY9GGG: lendo"));
        QTRY_COMPARE_WITH_TIMEOUT(announcements().size(), 3, 4 * Announcer::TypingPauseMs);
        QVERIFY2(toldAt(2) - reading < Announcer::TypingPauseMs, qPrintable(QString::number(toldAt(2) - reading)));
    }

    void theWindowIsAFrameAndTheBannerAPanel()
    {
        velmora *w = m_session->window();
        QAccessibleInterface *window = QAccessible::queryAccessibleInterface(w);
        QCOMPARE(window->role(), QAccessible::Window);
        QCOMPARE(window->text(QAccessible::Name), QStringLiteral("Chat por ORBEL"));
        QCOMPARE(QAccessible::queryAccessibleInterface(w->Picture1)->role(), QAccessible::Pane);
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
