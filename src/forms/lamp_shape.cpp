#include "forms/lamp_shape.h"

#include <QAccessible>
#include <QPainter>

LampShape::LampShape(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleDescription(describe(m_fill));
}

QString LampShape::describe(const QColor &colour)
{
    return colour == QColor(Qt::red) ? QStringLiteral("Recebendo áudio") : QStringLiteral("Sem áudio");
}

void LampShape::setFillColor(const QColor &colour)
{
    if (colour == m_fill)
        return;
    m_fill = colour;
    update();
    const QString description = describe(colour);
    if (description != accessibleDescription()) {
        // The state is told to screen readers as the lamp's description
        // (which Qt reports as changed), and a change is announced.
        setAccessibleDescription(description);
        QAccessibleEvent alert(this, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

void LampShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int diameter = std::min(width(), height()) - 1;
    const QRectF circle((width() - diameter) / 2.0, (height() - diameter) / 2.0, diameter, diameter);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(m_fill);
    painter.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
}
