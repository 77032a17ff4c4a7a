// What a screen reader gets from the three windows.
#include "aux_windows/ajuda.h"
#include "aux_windows/sobre_velmora.h"
#include "chat_session.h"
#include "conference_link/conference_link.h"
#include "forms/lamp_shape.h"
#include "forms/text_box.h"

#include <QAbstractButton>
#include <QAccessible>
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
    QString inserted; // the text inserted, or the name of a notification shown
    int position;
};
QList<Heard> heard;

void listen(QAccessibleEvent *event)
{
    QString inserted;
    int position = -1;
    if (event->type() == QAccessible::TextInserted) {
        inserted = static_cast<QAccessibleTextInsertEvent *>(event)->textInserted();
        position = static_cast<QAccessibleTextInsertEvent *>(event)->changePosition();
    }
    QAccessibleInterface *accessible = event->accessibleInterface();
    if (event->type() == QAccessible::ObjectShow && accessible && accessible->role() == QAccessible::Notification)
        inserted = accessible->text(QAccessible::Name);
    heard.append({event->type(), event->object(), inserted, position});
}

// What was told as notifications, in order.
QStringList announcements()
{
    QStringList told;
    for (const Heard &h : std::as_const(heard)) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(h.object);
        if (h.type == QAccessible::ObjectShow && accessible && accessible->role() == QAccessible::Notification)
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

// Every control directly on a window's form (not the parts controls are
// made of, such as a text box's scroll bars) has a Portuguese name: its
// caption where it has one.
void verifyNamed(const QList<QWidget *> &controls)
{
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
        verifyNamed({w->Command1, w->Label9, w->Frame1, w->Frame4, w->ler, w->gravar, w->sobre, w->Picture1, w->AniGIF1,
                     w->Label11, w->Command3, w->Text1, w->Frame2, w->Text2, w->Command2, w->Command4, w->Command5,
                     w->Image1, w->Shape1});
        Ajuda &help = Ajuda::instance();
        QTimer::singleShot(0, &help, [&] {
            verifyNamed({help.Command1, help.Text1, help.Label1});
            help.Unload();
        });
        w->Command3_Click();
        sobre_velmora &about = sobre_velmora::instance();
        QTimer::singleShot(0, &about, [&] {
            verifyNamed({about.AniGIF2, about.Label1, about.Label4, about.Line1, about.Label2, about.Label5,
                         about.Label3, about.Line2, about.Label6, about.Line3, about.Command1, about.ret});
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

        // One text-insert event an arrival, where accessible text (a line
        // break, one character) has it.
        const QStringList more = {QStringLiteral("PU9BBB: segunda"), QStringLiteral("PY9CCC: terceira")};
        for (const QString &line : more)
            m_session->standin().feed(line);
        QTRY_COMPARE(w->Text1->document()->blockCount(), 4);
        QAccessibleTextInterface *text = QAccessible::queryAccessibleInterface(w->Text1)->textInterface();
        QVERIFY(text);
        const QStringList arrivals = QStringList{QStringLiteral("PY9AAA: olá, câmbio")} + more;
        QStringList inserted;
        for (const Heard &h : std::as_const(heard)) {
            if (h.object != w->Text1 || h.type != QAccessible::TextInserted)
                continue;
            inserted.append(QString(h.inserted).remove(QChar::ParagraphSeparator));
            QCOMPARE(text->text(h.position, h.position + int(h.inserted.size())),
                     QString(h.inserted).replace(QChar::ParagraphSeparator, QLatin1Char('\n')));
        }
        QCOMPARE(inserted, arrivals);
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
