#include "forms/form_style.h"

#include "forms/graphical_button.h"

#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

#ifdef Q_OS_WIN
#include "windows/system_colours.h"
#endif

namespace FormStyle {

QFont boldFont(const char *face, double points)
{
    QFont font(QString::fromLatin1(face));
    font.setPixelSize(qRound(points * 96.0 / 72.0));
    font.setBold(true);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

QFont defaultFont()
{
    QFont font = boldFont(SansSerif, 8.25);
    font.setBold(false);
    return font;
}

void installFontSubstitutes()
{
    QFont::insertSubstitution(QString::fromLatin1(SansSerif), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QString::fromLatin1(Serif), QStringLiteral("Liberation Serif"));
}

QPushButton *graphicalButton(QWidget *parent, const QString &caption, QRect geometry, quint32 background, double points)
{
    auto *button = new GraphicalButton(caption, bgr(background), parent);
    button->setGeometry(geometry);
    button->setFont(boldFont(SansSerif, points));
    return button;
}

QGroupBox *frame(QWidget *parent, const QString &caption, QRect geometry)
{
    auto *box = new QGroupBox(caption, parent);
    box->setGeometry(geometry);
    // An etched border with the caption standing on its top line.
    box->setStyleSheet(QStringLiteral("QGroupBox { border: 2px groove #d4d0c8; margin-top: 7px; }"
                                      "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
                                      " left: 6px; top: 0px; padding: 2px 1px 0px 1px; }"));
    return box;
}

QLabel *label(QWidget *parent, const QString &caption, QRect geometry, const QColor &colour, const QFont &font)
{
    auto *l = new QLabel(caption, parent);
    l->setGeometry(geometry);
    l->setFont(font);
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setWordWrap(true);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, colour);
    l->setPalette(palette);
    return l;
}

QLabel *label(QWidget *parent, const QString &caption, QRect geometry, quint32 colour, const QFont &font)
{
    return label(parent, caption, geometry, bgr(colour), font);
}

QFrame *horizontalRule(QWidget *parent, const Twips &place)
{
    auto *line = new QFrame(parent);
    line->setGeometry(pixels(place.left), pixels(place.top), pixels(place.left + place.width) - pixels(place.left) + 1,
                      1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, Qt::black);
    line->setPalette(palette);
    return line;
}

QColor systemColour(SystemColour which)
{
#ifdef Q_OS_WIN
    return bgr(quint32(windowsSystemColour(int(which))));
#else
    // Classic colours: active title bar from the desktop theme's highlight,
    // the desktop a fixed teal.
    if (which == SystemColour::ActiveTitleBar)
        return QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
    return QColor(0, 128, 128);
#endif
}

void centreOnScreen(QWidget *window)
{
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    window->move(available.center() - QPoint(window->width() / 2, window->height() / 2));
}

} // namespace FormStyle
