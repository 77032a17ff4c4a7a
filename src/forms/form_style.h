#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

// The windows are laid out in the units they were drawn in, so that every
// control stands where the operator expects it: positions in twips (15 to the
// logical pixel), colours as 0x00BBGGRR, bold fonts in points at 96 dpi.
namespace FormStyle {

constexpr int TwipsPerPixel = 15;

constexpr int pixels(int twips)
{
    return twips / TwipsPerPixel;
}

// A place as a form gives it: Left, Top, Width, Height in twips.
struct Twips {
    int left;
    int top;
    int width;
    int height;
};

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

inline QRect twipsRect(const Twips &place)
{
    return twipsRect(place.left, place.top, place.width, place.height);
}

// 0x00BBGGRR, red in the low byte.
inline QColor bgr(quint32 value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

inline constexpr const char *SansSerif = "MS Sans Serif";
inline constexpr const char *Serif = "Times New Roman";

// A bold font of the given face; size in points at 96 dots per inch.
QFont boldFont(const char *face, double points);
// The window's default font, for controls without a font of their own.
QFont defaultFont();

// Metric-compatible faces where the designed ones are missing.
void installFontSubstitutes();

// A command button in the graphical style: it shows its own background colour.
QPushButton *graphicalButton(QWidget *parent, const QString &caption, QRect geometry, quint32 background,
                             double points = 8.25);

// A frame: an etched border with its caption on the top line; its
// children are placed from its top-left corner.
QGroupBox *frame(QWidget *parent, const QString &caption, QRect geometry);

// A label in the given colour and font, its caption shown as plain text.
QLabel *label(QWidget *parent, const QString &caption, QRect geometry, quint32 colour, const QFont &font);
QLabel *label(QWidget *parent, const QString &caption, QRect geometry, const QColor &colour, const QFont &font);

// A one-pixel horizontal rule along line (its left and width; its top the y).
QFrame *horizontalRule(QWidget *parent, const Twips &line);

// The user's display colours a window may name, by their classic numbers.
enum class SystemColour {
    Desktop = 1,
    ActiveTitleBar = 2
};
// One of them, with a fixed fallback where the platform has none.
QColor systemColour(SystemColour which);

// Centres a top-level window on the screen it will appear on.
void centreOnScreen(QWidget *window);

} // namespace FormStyle
