#include "accessibility/accessible_event_gate.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QCoreApplication>
#include <QList>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace AccessibleEventGate {
namespace {

struct Held {
    QPointer<QAbstractScrollArea> box;
    int position = 0;
    QString text;
};

struct Gate {
    QList<QPointer<QAbstractScrollArea>> boxes;
    QAccessible::UpdateHandler next = nullptr;
    Held held;
    // A focused box's scroll bar whose value has changed since it was last told.
    QPointer<QScrollBar> moved;
    QTimer *batch = nullptr;
};

Gate &gate()
{
    static Gate instance;
    return instance;
}

void handle(QAccessibleEvent *event);

// On to the handler installed before, or to the platform (a screen reader),
// as Qt hands an event on where no handler is installed. The gate stays
// installed throughout: an event raised meanwhile is gated too, and a
// handler installed after it keeps its place.
void pass(QAccessibleEvent *event)
{
    if (gate().next) {
        gate().next(event);
        return;
    }
    if (QPlatformIntegration *integration = QGuiApplicationPrivate::platformIntegration())
        if (QPlatformAccessibility *platform = integration->accessibility())
            platform->notifyAccessibilityUpdate(event);
}

void release()
{
    Held held = std::exchange(gate().held, Held{});
    if (held.box && !held.text.isEmpty()) {
        QAccessibleTextInsertEvent insert(held.box, held.position, held.text);
        pass(&insert);
    }
    if (QPointer<QScrollBar> moved = std::exchange(gate().moved, nullptr)) {
        QAccessibleValueChangeEvent change(moved.data(), moved->value());
        pass(&change);
    }
}

QAbstractScrollArea *boxOf(QObject *object, bool *isScrollBar)
{
    *isScrollBar = false;
    for (const auto &box : std::as_const(gate().boxes)) {
        if (!box)
            continue;
        if (object == box)
            return box;
        if (object == box->verticalScrollBar() || object == box->horizontalScrollBar()) {
            *isScrollBar = true;
            return box;
        }
    }
    return nullptr;
}

void handle(QAccessibleEvent *event)
{
    bool isScrollBar = false;
    QAbstractScrollArea *box = event->object() ? boxOf(event->object(), &isScrollBar) : nullptr;
    if (!box) {
        pass(event);
        return;
    }
    const bool focused = box->hasFocus();
    if (isScrollBar) {
        // Unfocused, a scroll bar's moves are not told; focused, the last
        // of each batch is.
        if (event->type() != QAccessible::ValueChanged) {
            pass(event);
        } else if (focused) {
            gate().moved = qobject_cast<QScrollBar *>(event->object());
            if (!gate().batch->isActive())
                gate().batch->start();
        }
        return;
    }
    switch (event->type()) {
    case QAccessible::TextCaretMoved:
        if (!focused)
            return;
        break;
    case QAccessible::TextInserted: {
        const auto *insert = static_cast<QAccessibleTextInsertEvent *>(event);
        Held &held = gate().held;
        if (held.box == box && insert->changePosition() == held.position + held.text.size()) {
            held.text += insert->textInserted();
            return;
        }
        release();
        gate().held = {box, insert->changePosition(), insert->textInserted()};
        gate().batch->start();
        return;
    }
    default:
        break;
    }
    release(); // what was held comes first
    pass(event);
}

} // namespace

void quieten(QAbstractScrollArea *box)
{
    Gate &g = gate();
    if (!g.batch) {
        g.batch = new QTimer(QCoreApplication::instance());
        g.batch->setSingleShot(true);
        g.batch->setInterval(BatchMs);
        QObject::connect(g.batch, &QTimer::timeout, release);
        g.next = QAccessible::installUpdateHandler(handle);
    }
    g.boxes.removeAll(nullptr);
    g.boxes.append(box);
}

} // namespace AccessibleEventGate
