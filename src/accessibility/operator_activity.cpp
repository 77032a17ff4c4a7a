#include "accessibility/operator_activity.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>

namespace {

// The keys that move through a text to read it.
bool isReadingKey(int key)
{
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right
           || key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Home || key == Qt::Key_End;
}

bool isModifier(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta
           || key == Qt::Key_AltGr || key == Qt::Key_CapsLock;
}

} // namespace

OperatorActivity::OperatorActivity(QObject *parent) : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
}

OperatorActivity::~OperatorActivity()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool OperatorActivity::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier && key->key() >= Qt::Key_0
        && key->key() <= Qt::Key_9) {
        emit historyKey(key->key() - Qt::Key_0);
        return true;
    }
    if (!isModifier(key->key()) && !(isReadingKey(key->key()) && qobject_cast<QPlainTextEdit *>(watched)))
        emit typed(key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter);
    return QObject::eventFilter(watched, event);
}
