// The Help and About windows, opened modally from the chat window.
#include "aux_windows/ajuda.h"
#include "aux_windows/sobre_velmora.h"
#include "chat_session.h"
#include "forms/lamp_shape.h"
#include "forms/text_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs body while window is open (it is opened by open()), then makes sure
// the window is closed, so that a failing check can never leave the modal
// loop running.
void whileOpen(AuxWindow &window, const std::function<void()> &open, const std::function<void()> &body)
{
    bool ran = false;
    QTimer::singleShot(0, &window, [&] {
        ran = true;
        body();
        if (window.isLoaded())
            window.Unload();
    });
    open();
    QVERIFY(ran);
    QVERIFY(!window.isLoaded());
}

// Every caption, title and text a window shows.
QStringList shownTexts(QWidget *window)
{
    QStringList texts{window->windowTitle()};
    for (QWidget *child : window->findChildren<QWidget *>()) {
        if (auto *label = qobject_cast<QLabel *>(child); label && !label->text().isEmpty())
            texts << label->text();
        else if (auto *button = qobject_cast<QAbstractButton *>(child))
            texts << button->text();
        else if (auto *frame = qobject_cast<QGroupBox *>(child))
            texts << frame->title();
    }
    return texts;
}

// A GIF89a of 1 x 1 pixel whose frames last the given hundredths of a second,
// with no repeat count: it is played once.
QByteArray gifOnce(std::initializer_list<int> delays)
{
    QByteArray gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00", 19);
    for (int delay : delays) {
        gif += QByteArray("\x21\xf9\x04\x00", 4) + char(delay & 0xff) + char(delay >> 8) + QByteArray("\x00\x00", 2);
        gif += QByteArray("\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00", 15);
    }
    return gif + ';';
}

void verifyEachShownOnce(QWidget *window, const QStringList &captions)
{
    const QStringList texts = shownTexts(window);
    for (const QString &caption : captions)
        QVERIFY2(texts.count(caption) == 1, qPrintable(caption + QStringLiteral(" in ") + texts.join(u'|')));
}

const QString designedHelp = QStringLiteral("Chat foi  criado  para  prover  comunicação \r\n"
                                            "constante entre estações/conferências.\r\n"
                                            " \r\n"
                                            "Velmora funciona adequadamente na \r\n"
                                            "forma  \"sysop\",   ou  seja  com  estações  do  tipo \r\n"
                                            "\"-R\" ou \"-L\", ou no modo usuário.\r\n");

} // namespace

class TestAuxWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<ChatSession> m_session;

private slots:
    void init()
    {
        m_session = std::make_unique<ChatSession>();
        QVERIFY(m_session->open());
    }

    void cleanup()
    {
        m_session.reset();
        sobre_velmora::restoreDefaultUrlOpener();
    }

    void helpTextIsRestoredAtEveryOpening()
    {
        Ajuda &help = Ajuda::instance();
        velmora *w = m_session->window();
        whileOpen(
            help, [&] { w->Command3_Click(); },
            [&] {
                QCOMPARE(help.Text1->text(), designedHelp);
                QVERIFY(QTest::qWaitForWindowActive(&help));
                help.Text1->setFocus();
                QTest::keyClick(help.Text1, Qt::Key_Tab); // moves on, inserts nothing
                QVERIFY(help.Command1->hasFocus());
                QCOMPARE(help.Text1->text(), designedHelp);
                help.Text1->setFocus();
                typeText(help.Text1, QStringLiteral("rabisco"));
                QVERIFY(help.Text1->text() != designedHelp);
                QTest::mouseClick(help.Command1, Qt::LeftButton);
            });
        whileOpen(
            help, [&] { w->Command3_Click(); }, [&] { QCOMPARE(help.Text1->text(), designedHelp); });
    }

    void retornarHoldsTheFocusAndEnterOrSpaceCloses()
    {
        velmora *w = m_session->window();
        Ajuda &help = Ajuda::instance();
        bool closedByKey = false;
        whileOpen(
            help, [&] { w->Command3_Click(); },
            [&] {
                QVERIFY(QTest::qWaitForWindowActive(&help));
                QVERIFY(help.Command1->hasFocus());
                QTest::keyClick(&help, Qt::Key_Return);
                closedByKey = !help.isVisible();
            });
        QVERIFY(closedByKey);

        sobre_velmora &about = sobre_velmora::instance();
        closedByKey = false;
        whileOpen(
            about, [&] { w->sobre_Click(); },
            [&] {
                QVERIFY(QTest::qWaitForWindowActive(&about));
                QVERIFY(about.ret->hasFocus());
                QTest::keyClick(about.ret, Qt::Key_Space);
                closedByKey = !about.isVisible();
            });
        QVERIFY(closedByKey);
    }

    void visitingHandsTheAddressOncePerClick()
    {
        QList<QUrl> opened;
        sobre_velmora::setUrlOpener([&](const QUrl &url, QWidget *) { opened << url; });
        sobre_velmora &about = sobre_velmora::instance();
        whileOpen(
            about, [&] { m_session->window()->sobre_Click(); },
            [&] {
                QTest::mouseClick(about.Command1, Qt::LeftButton);
                about.Command1->setFocus();
                QTest::keyClick(about.Command1, Qt::Key_Enter); // Enter presses the focused button
                QVERIFY(about.isLoaded());                      // stays open and modal
                QVERIFY(about.isModal());
            });
        QCOMPARE(opened.size(), 2);
        const QUrl url = opened.first();
        QCOMPARE(url.scheme(), QStringLiteral("http"));
        QCOMPARE(url.port(), 2000);
        QCOMPARE(url.path(), QStringLiteral("/"));
        QVERIFY2(url.host().endsWith(QLatin1String(".example.net")), qPrintable(url.host()));
    }

    void chatAndLampGoOnBehindEitherWindow_data()
    {
        QTest::addColumn<bool>("help");
        QTest::newRow("Ajuda") << true;
        QTest::newRow("Sobre") << false;
    }

    void chatAndLampGoOnBehindEitherWindow()
    {
        QFETCH(bool, help);
        velmora *w = m_session->window();
        AuxWindow &window = help ? static_cast<AuxWindow &>(Ajuda::instance()) : sobre_velmora::instance();
        whileOpen(
            window, [&] { help ? w->Command3_Click() : w->sobre_Click(); },
            [&] {
                QVERIFY(window.isVisible());
                m_session->standin().feed(QStringLiteral("PY9AAA: chegou durante"));
                m_session->standin().feed(QStringLiteral("/audio on"));
                QTRY_COMPARE(w->Text1->text(), QStringLiteral("PY9AAA: chegou durante\r\n"));
                QTRY_COMPARE_WITH_TIMEOUT(w->Shape1->fillColor(), QColor(255, 0, 0), 3000);
                QCOMPARE(QApplication::activeModalWidget(), &window); // the chat window takes no input meanwhile
            });
    }

    void animationsAreValidAndLoop_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("loops");
        QTest::addColumn<bool>("interlaced");
        QTest::newRow("antenna") << ":/velmora/antenna.gif" << QSize(35, 45) << 10 << 100 << 9999 << false;
        QTest::newRow("tower") << ":/velmora/tower.gif" << QSize(120, 263) << 7 << 150 << -1 << true;
    }

    void animationsAreValidAndLoop()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        QFETCH(int, frames);
        QFETCH(int, delay);
        QFETCH(int, loops);
        QFETCH(bool, interlaced);

        QMovie movie(file);
        QVERIFY(movie.isValid());
        QCOMPARE(movie.frameCount(), frames);
        QCOMPARE(movie.loopCount(), loops);
        for (int i = 0; i < frames; ++i) {
            QVERIFY(movie.jumpToFrame(i));
            QCOMPARE(movie.currentImage().size(), size);
            // (QMovie takes from the delay the time it spent decoding the frame.)
            QVERIFY2(movie.nextFrameDelay() <= delay && movie.nextFrameDelay() > delay - 15,
                     qPrintable(QString::number(movie.nextFrameDelay())));
        }

        QFile gif(file);
        QVERIFY(gif.open(QIODevice::ReadOnly));
        const QByteArray bytes = gif.readAll();
        QVERIFY(bytes.startsWith("GIF89a"));
        QCOMPARE(quint8(bytes.at(10)) & 0x87, 0x87); // a global table of 256 colours
        // The first image descriptor follows the table and the two extensions.
        const qsizetype descriptor = bytes.indexOf('\x2C', 13 + 768 + 19 + 8);
        QVERIFY(descriptor > 0);
        QCOMPARE(bool(quint8(bytes.at(descriptor + 9)) & 0x40), interlaced);
        QCOMPARE(quint8(bytes.at(13 + 768 + 19 + 3)) >> 2 & 7, 2); // restore to background
    }

    void animationsPlayFromTheLoad()
    {
        velmora *w = m_session->window();
        AnimatedPicture *antenna = w->AniGIF1;
        QCOMPARE(antenna->frameCount(), 10);
        QVERIFY(antenna->isRunning());
        const int shown = antenna->currentFrame();
        QTRY_VERIFY(antenna->currentFrame() != shown); // it plays
        // Only while it can be seen.
        w->showMinimized();
        QTRY_VERIFY(!antenna->isRunning());
        w->showNormal();
        QTRY_VERIFY(antenna->isRunning());
        w->hide();
        QTRY_VERIFY(!antenna->isRunning());
        w->show();
        QTRY_VERIFY(antenna->isRunning());
        sobre_velmora &about = sobre_velmora::instance();
        whileOpen(
            about, [&] { m_session->window()->sobre_Click(); },
            [&] {
                QCOMPARE(about.AniGIF2->movie()->state(), QMovie::Running);
                QCOMPARE(about.AniGIF2->movie()->scaledSize(), QSize(49, 89));
            });
    }

    void aPictureWithoutRepeatsPlaysOnceAtItsOwnPace()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(gifOnce({2, 6, 2}));
        file.close();
        AnimatedPicture picture(file.fileName(), Qt::white);
        picture.show();
        QCOMPARE(picture.frameCount(), 3);
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE(picture.currentFrame(), 2);
        QVERIFY2(clock.elapsed() >= 75, qPrintable(QString::number(clock.elapsed()))); // 20 + 60 ms, less slack
        QVERIFY(!picture.isRunning());                                                 // and rests on its last frame
        QTest::qWait(100);
        QCOMPARE(picture.currentFrame(), 2);
    }

    void everyCaptionIsShownOnce()
    {
        velmora *w = m_session->window();
        verifyEachShownOnce(w, {"Chat por ORBEL", "Encerrar programa", "Conferência - CHAT", "Recebe texto", "Áudio RX",
                                "Ler CHAT gravado", "Gravar CHAT", "Sobre", "chat", "Ajuda", "Envia texto",
                                "Envia texto digitado", "Limpa texto digitado", "Limpar CHAT"});
        whileOpen(
            Ajuda::instance(), [&] { w->Command3_Click(); },
            [&] {
                verifyEachShownOnce(&Ajuda::instance(), {"Ajuda", "Retornar", "Velmora"});
            });
        whileOpen(
            sobre_velmora::instance(), [&] { w->sobre_Click(); },
            [&] {
                verifyEachShownOnce(&sobre_velmora::instance(),
                                    {"Sobre", "CHAT", "Versão 1.0  Revisão 0  -  7/2008", "Uma criação de Corvath",
                                     "ORBEL", "VARNOSK Análise e Desenvolvimento de Sistemas",
                                     "Visitar Servidor  ORBEL", "Retornar"});
            });
    }
};

QTEST_MAIN(TestAuxWindows)
#include "test_aux_windows.moc"
