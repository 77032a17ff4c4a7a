#include "aux_windows/ajuda.h"

#include "forms/form_layout.h"
#include "forms/form_style.h"
#include "forms/text_box.h"
#include "runtime/handler.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>

using FormStyle::twipsRect;

// Each window its own table: these constants are this file's alone.
namespace {
namespace Place {
#include "aux_windows/ajuda.layout"
} // namespace Place
} // namespace

Ajuda &Ajuda::instance()
{
    return single<Ajuda>();
}

QString Ajuda::helpText()
{
    QFile file(QStringLiteral(":/velmora/ajuda.txt"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

Ajuda::Ajuda()
{
    setWindowTitle(Place::Caption);
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/velmora/ajuda_%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

void Ajuda::Form_Load(QWidget *form)
{
    resize(FormStyle::pixels(Place::Size.width), FormStyle::pixels(Place::Size.height));

    Command1 = FormStyle::graphicalButton(form, QStringLiteral("Retornar"), twipsRect(Place::Command1),
                                          0x008080FF, 9.75);
    Command1->setDefault(true);
    Text1 = new TextBox(form);
    Text1->setGeometry(twipsRect(Place::Text1));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setFont(FormStyle::boldFont(FormStyle::SansSerif, 9.75));
    Text1->setText(helpText());
    Text1->moveCursor(QTextCursor::Start); // the text is read from its first line
    Text1->setAccessibleName(QStringLiteral("Texto de ajuda"));
    Label1 = FormStyle::label(form, QStringLiteral("Velmora"), twipsRect(Place::Label1), 0x00FF0000,
                              FormStyle::boldFont(FormStyle::Serif, 27.75));

    setTabOrder(Command1, Text1);
    connect(Command1, &QPushButton::clicked, this, &Ajuda::Command1_Click);
    connect(form, &QObject::destroyed, this, [this] {
        Command1 = nullptr;
        Text1 = nullptr;
        Label1 = nullptr;
    });
    Command1->setFocus();
}

void Ajuda::Command1_Click()
{
    Handler::unguarded([&] { Unload(); });
}
