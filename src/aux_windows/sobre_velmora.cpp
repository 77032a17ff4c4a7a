#include "aux_windows/sobre_velmora.h"

#include "forms/form_style.h"
#include "runtime/handler.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMovie>
#include <QPushButton>

#ifdef Q_OS_WIN
#include "aux_windows/windows_shell.h"
#endif

using FormStyle::boldFont;
using FormStyle::twipsRect;

namespace {


void openWithDesktop(const QUrl &url, QWidget *window)
{
#ifdef Q_OS_WIN
    const QString address = url.toString();
    windowsShellOpen(reinterpret_cast<void *>(window->winId()), reinterpret_cast<const wchar_t *>(address.utf16()));
#else
    Q_UNUSED(window);
    QDesktopServices::openUrl(url);
#endif
}

sobre_velmora::UrlOpener &currentOpener()
{
    static sobre_velmora::UrlOpener opener = openWithDesktop;
    return opener;
}

} // namespace

sobre_velmora &sobre_velmora::instance()
{
    return single<sobre_velmora>();
}

QUrl sobre_velmora::address()
{
    // A reserved example domain: no stranger's server is ever called.
    return QUrl(QStringLiteral("http://orbel.example.net:2000/"));
}

void sobre_velmora::setUrlOpener(UrlOpener opener)
{
    currentOpener() = std::move(opener);
}

void sobre_velmora::restoreDefaultUrlOpener()
{
    currentOpener() = openWithDesktop;
}

sobre_velmora::sobre_velmora()
{
    setWindowTitle(QStringLiteral("Sobre"));
    setWindowIcon(QIcon(QStringLiteral(":/velmora/sobre.png")));
    // A fixed single border with neither minimize nor maximize box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(FormStyle::pixels(4680), FormStyle::pixels(5010));
}

void sobre_velmora::Form_Load(QWidget *form)
{
    AniGIF2 = new QLabel(form);
    AniGIF2->setGeometry(twipsRect(240, 0, 735, 1335));
    auto *tower = new QMovie(QStringLiteral(":/velmora/tower.gif"), QByteArray(), AniGIF2);
    tower->setScaledSize(AniGIF2->size()); // the tall picture scaled down into its box
    tower->setCacheMode(QMovie::CacheAll);
    AniGIF2->setMovie(tower);
    AniGIF2->setAccessibleName(QStringLiteral("Animação de uma torre de rádio transmitindo"));
    tower->start();

    const QFont sans = boldFont(FormStyle::SansSerif, 8.25);
    Label1 = FormStyle::label(form, QStringLiteral("CHAT"), twipsRect(1200, 240, 3255, 615),
                              FormStyle::systemColour(FormStyle::SystemColour::ActiveTitleBar),
                              boldFont(FormStyle::SansSerif, 24));
    Label4 = FormStyle::label(form, QStringLiteral("Versão 1.0  Revisão 0  -  7/2008"), twipsRect(1440, 840, 3015, 375),
                              0x00000000, sans);
    Line1 = FormStyle::horizontalRule(form, 120, 4560, 1320);
    Label2 = FormStyle::label(form, QStringLiteral("Uma criação de Corvath"), twipsRect(240, 1440, 4095, 495),
                              0x00008000, boldFont(FormStyle::SansSerif, 13.5));
    Label5 = FormStyle::label(form, QStringLiteral("ORBEL"), twipsRect(1440, 1800, 1455, 615),
                              FormStyle::systemColour(FormStyle::SystemColour::Desktop),
                              boldFont(FormStyle::Serif, 24));
    Label3 = FormStyle::label(form, QStringLiteral("VARNOSK Análise e Desenvolvimento de Sistemas"),
                              twipsRect(120, 2520, 4455, 375), 0x00000000, sans);
    Line2 = FormStyle::horizontalRule(form, 120, 4560, 3000);
    Label6 = FormStyle::label(form,
                              QStringLiteral("corvath@orbel.example.net\nPrograma livre: use, copie, estude e "
                                             "modifique à vontade, sem garantia de qualquer tipo."),
                              twipsRect(120, 3120, 4455, 855), 0x00000000, sans);
    Label6->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Line3 = FormStyle::horizontalRule(form, 120, 4560, 4080);
    for (QFrame *line : {Line1, Line2, Line3})
        line->setAccessibleName(QStringLiteral("Linha divisória"));
    Command1 = FormStyle::graphicalButton(form, QStringLiteral("Visitar Servidor  ORBEL"),
                                          twipsRect(240, 4320, 2295, 495), 0x00FFFFC0);
    ret = FormStyle::graphicalButton(form, QStringLiteral("Retornar"), twipsRect(3000, 4320, 1455, 495), 0x00C0C0FF);

    setTabOrder(ret, Command1);
    connect(Command1, &QPushButton::clicked, this, &sobre_velmora::Command1_Click);
    connect(ret, &QPushButton::clicked, this, &sobre_velmora::ret_Click);
    connect(form, &QObject::destroyed, this, [this] {
        AniGIF2 = Label1 = Label4 = Label2 = Label5 = Label3 = Label6 = nullptr;
        Line1 = Line2 = Line3 = nullptr;
        Command1 = ret = nullptr;
    });
    ret->setFocus();
}

void sobre_velmora::Command1_Click()
{
    Handler::unguarded([&] { currentOpener()(address(), this); });
}

void sobre_velmora::ret_Click()
{
    Handler::unguarded([&] { Unload(); });
}
