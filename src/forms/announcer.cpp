#include "forms/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>

#ifdef Q_OS_WIN
#include "forms/windows_notification.h"
#endif

namespace {

class AccessibleAnnouncer : public QAccessibleWidget
{
public:
    explicit AccessibleAnnouncer(Announcer *announcer) : QAccessibleWidget(announcer, QAccessible::Notification) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name)
            return static_cast<const Announcer *>(widget())->current();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface *accessibleAnnouncer(const QString &className, QObject *object)
{
    if (className == QLatin1String("Announcer") && object && object->isWidgetType())
        return new AccessibleAnnouncer(static_cast<Announcer *>(object));
    return nullptr;
}

} // namespace

Announcer::Announcer(QWidget *parent) : QWidget(parent)
{
    // Installed once the application exists: one installed before loses to Qt's own.
    static const bool installed = (QAccessible::installFactory(accessibleAnnouncer), true);
    Q_UNUSED(installed);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 1, 1);
    hide();
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &Announcer::tell);
}

void Announcer::announce(const QString &text)
{
    if (m_waiting.isEmpty())
        m_waitingSince.start();
    m_waiting.append(text);
    if (m_waitingSince.elapsed() < LongestWaitMs)
        m_quiet.start(m_waiting.size() == 1 ? QuietMs : QuietAfterManyMs);
    else
        tell();
}

void Announcer::tell()
{
    m_quiet.stop();
    const qsizetype earlier = std::max<qsizetype>(0, m_waiting.size() - MaxTexts);
    QStringList told = m_waiting.mid(earlier);
    m_waiting.clear();
    if (earlier > 0)
        told.append(earlier == 1 ? QStringLiteral("e mais 1 mensagem antes destas")
                                 : QStringLiteral("e mais %1 mensagens antes destas").arg(earlier));
    m_current = told.join(QLatin1Char('\n'));
    // Shown again for each announcement: a screen reader tells a notification
    // as it appears.
    hide();
    show();
#ifdef Q_OS_WIN
    if (!raiseWindowsNotification(window(), m_current)) {
        // Where UI Automation's notifications are missing, Qt's value change
        // carrying the text is raised as one.
        QAccessibleValueChangeEvent change(this, m_current);
        QAccessible::updateAccessibility(&change);
    }
#endif
}
