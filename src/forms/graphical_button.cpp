#include "forms/graphical_button.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

GraphicalButton::GraphicalButton(const QString &caption, const QColor &background, QWidget *parent)
    : QPushButton(caption, parent), m_background(background)
{
}

void GraphicalButton::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && !event->isAutoRepeat()) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void GraphicalButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QRect face = rect();
    painter.fillRect(face, m_background);

    const bool sunk = isDown() || isChecked();
    if (hasFocus()) {
        painter.setPen(Qt::black);
        painter.drawRect(face.adjusted(0, 0, -1, -1));
        face.adjust(1, 1, -1, -1);
    }
    const QColor light = sunk ? QColor(128, 128, 128) : QColor(255, 255, 255);
    const QColor dark = sunk ? QColor(255, 255, 255) : QColor(64, 64, 64);
    const QColor shade = sunk ? m_background : QColor(128, 128, 128);
    painter.setPen(light);
    painter.drawLine(face.topLeft(), face.topRight() - QPoint(1, 0));
    painter.drawLine(face.topLeft(), face.bottomLeft() - QPoint(0, 1));
    painter.setPen(dark);
    painter.drawLine(face.bottomLeft(), face.bottomRight());
    painter.drawLine(face.topRight(), face.bottomRight());
    painter.setPen(shade);
    painter.drawLine(face.bottomLeft() + QPoint(1, -1), face.bottomRight() - QPoint(1, 1));
    painter.drawLine(face.topRight() + QPoint(-1, 1), face.bottomRight() - QPoint(1, 1));

    QRect textArea = face.adjusted(3, 3, -3, -3);
    if (sunk)
        textArea.translate(1, 1);
    painter.setFont(font());
    painter.setPen(isEnabled() ? Qt::black : Qt::gray);
    painter.drawText(textArea, Qt::AlignCenter | Qt::TextWordWrap, text());

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = face.adjusted(3, 3, -3, -3);
        option.backgroundColor = m_background;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}
