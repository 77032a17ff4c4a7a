#include "forms/lamp_shape.h"

#include <QAccessible>
#include <QPainter>

LampShape::LampShape(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LampShape::setAppearance(State state, const QColor &colour, const QString &description)
{
    m_looks[size_t(state)] = {colour, description};
    if (state == m_state) {
        describe();
        update();
    }
}

void LampShape::setName(const QString &name)
{
    m_name = name;
    describe();
}

void LampShape::describe()
{
    const QString &description = look(m_state).description;
    setAccessibleDescription(description);
    setAccessibleName(description.isEmpty() ? m_name : m_name + QStringLiteral(": ") + description);
}

void LampShape::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    update();
    // The state is told to screen readers in the lamp's name and description
    // (which Qt reports as changed), and a change is announced.
    describe();
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void LampShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int diameter = std::min(width(), height()) - 1;
    const QRectF circle((width() - diameter) / 2.0, (height() - diameter) / 2.0, diameter, diameter);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(fillColor());
    painter.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
}
