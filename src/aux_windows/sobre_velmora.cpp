#include "aux_windows/sobre_velmora.h"

#include "forms/form_layout.h"
#include "forms/form_style.h"
#include "runtime/handler.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMovie>
#include <QPushButton>

#ifdef Q_OS_WIN
#include "windows/shell_open.h"
#endif

using FormStyle::boldFont;
using FormStyle::twipsRect;

// Each window its own table: these constants are this file's alone.
namespace {
namespace Place {
#include "aux_windows/sobre_velmora.layout"
} // namespace Place
} // namespace

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
    setWindowTitle(Place::Caption);
    setWindowIcon(QIcon(QStringLiteral(":/velmora/sobre.png")));
    // A fixed single border with neither minimize nor maximize box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(FormStyle::pixels(Place::Size.width), FormStyle::pixels(Place::Size.height));
}

void sobre_velmora::Form_Load(QWidget *form)
{
    AniGIF2 = new QLabel(form);
    AniGIF2->setGeometry(twipsRect(Place::AniGIF2));
    auto *tower = new QMovie(QStringLiteral(":/velmora/tower.gif"), QByteArray(), AniGIF2);
    tower->setScaledSize(AniGIF2->size()); // the tall picture scaled down into its box
    tower->setCacheMode(QMovie::CacheAll);
    AniGIF2->setMovie(tower);
    AniGIF2->setAccessibleName(QStringLiteral("Animação de uma torre de rádio transmitindo"));
    tower->start();

    const QFont sans = boldFont(FormStyle::SansSerif, 8.25);
    Label1 = FormStyle::label(form, QStringLiteral("CHAT"), twipsRect(Place::Label1),
                              FormStyle::systemColour(FormStyle::SystemColour::ActiveTitleBar),
                              boldFont(FormStyle::SansSerif, 24));
    Label4 = FormStyle::label(form, QStringLiteral("Versão 1.0  Revisão 0  -  7/2008"), twipsRect(Place::Label4),
                              0x00000000, sans);
    Line1 = FormStyle::horizontalRule(form, Place::Line1);
    Label2 = FormStyle::label(form, QStringLiteral("Uma criação de Corvath"), twipsRect(Place::Label2),
                              0x00008000, boldFont(FormStyle::SansSerif, 13.5));
    Label5 = FormStyle::label(form, QStringLiteral("ORBEL"), twipsRect(Place::Label5),
                              FormStyle::systemColour(FormStyle::SystemColour::Desktop),
                              boldFont(FormStyle::Serif, 24));
    Label3 = FormStyle::label(form, QStringLiteral("VARNOSK Análise e Desenvolvimento de Sistemas"),
                              twipsRect(Place::Label3), 0x00000000, sans);
    Line2 = FormStyle::horizontalRule(form, Place::Line2);
    Label6 = FormStyle::label(form,
                              QStringLiteral("corvath@orbel.example.net\nPrograma livre: use, copie, estude e "
                                             "modifique à vontade, sem garantia de qualquer tipo."),
                              twipsRect(Place::Label6), 0x00000000, sans);
    Label6->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Line3 = FormStyle::horizontalRule(form, Place::Line3);
    for (QFrame *line : {Line1, Line2, Line3})
        line->setAccessibleName(QStringLiteral("Linha divisória"));
    Command1 = FormStyle::graphicalButton(form, QStringLiteral("Visitar Servidor  ORBEL"),
                                          twipsRect(Place::Command1), 0x00FFFFC0);
    ret = FormStyle::graphicalButton(form, QStringLiteral("Retornar"), twipsRect(Place::ret), 0x00C0C0FF);

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
