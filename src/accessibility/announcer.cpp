#include "accessibility/announcer.h"
#include "accessibility/operator_activity.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

#ifdef Q_OS_WIN
#include "accessibility/uia_notification.h"
#include "accessibility/windows_screen_readers.h"
#endif

// Qt 6.8 brought announcements, which a screen reader speaks and brailles
// as they are sent. Before, the notification shown anew is what it tells.
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
#define VELMORA_ANNOUNCEMENTS 1
#else
#define VELMORA_ANNOUNCEMENTS 0
#endif

namespace {

QAccessibleInterface *accessibleAnnouncer(const QString &className, QObject *object)
{
    if (className == QLatin1String("Announcer") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Notification);
    return nullptr;
}

// A text of a summary, cut short where it is long (never inside a surrogate pair).
QString cut(const QString &text)
{
    if (text.size() <= Announcer::MaxSummarisedLength)
        return text;
    qsizetype length = Announcer::MaxSummarisedLength;
    if (text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length) + QChar(0x2026);
}

} // namespace

Announcer::Announcer(QWidget *parent, OperatorActivity *activity) : QWidget(parent)
{
    // Installed once the application exists: one installed before loses to Qt's own.
    static const bool installed = (QAccessible::installFactory(accessibleAnnouncer), true);
    Q_UNUSED(installed);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 1, 1);
    // No name of its own: what it tells is its label's, which a screen reader
    // leaves off the braille line when the notification's name holds it too.
    setAccessibleName(QString());
#if !VELMORA_ANNOUNCEMENTS
    m_label = new QLabel(this);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setGeometry(0, 0, 1, 1);
#endif
    hide();
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &Announcer::tellWaiting);
#ifdef Q_OS_WIN
    m_screenReaders = new WindowsScreenReaders(this);
    connect(m_screenReaders, &WindowsScreenReaders::unheard, this, &Announcer::tellOnPlatform);
#endif
    connect(activity, &OperatorActivity::typed, this, &Announcer::typed);
}

Announcer::~Announcer() = default;

QString Announcer::spoken(const QString &text)
{
    return text.trimmed().isEmpty() ? QStringLiteral("mensagem em branco") : text;
}

void Announcer::typed(bool sent)
{
    // Enter sends what was typed: a short pause is pause enough after it.
    m_lastKey.start();
    m_sent = sent;
    if (m_sent && !m_waiting.isEmpty())
        schedule();
}

int Announcer::pauseLeftMs() const
{
    if (!m_lastKey.isValid())
        return 0;
    return int(std::max<qint64>(0, (m_sent ? QuietMs : TypingPauseMs) - m_lastKey.elapsed()));
}

void Announcer::announce(const QString &text)
{
    if (m_waiting.isEmpty())
        m_waitingSince.start();
    m_waiting.append(text);
    schedule();
}

void Announcer::announceNow(const QString &text)
{
    tell(spoken(text));
}

void Announcer::schedule()
{
    qint64 delay = m_waiting.size() == 1 ? QuietMs : QuietAfterManyMs;
    if (m_waitingSince.elapsed() >= LongestWaitMs)
        delay = 0;
    // The typing pause is the rule for every wait, however long it has been.
    m_quiet.start(int(std::max<qint64>(delay, pauseLeftMs())));
}

void Announcer::tellWaiting()
{
    if (const int left = pauseLeftMs(); left > 0) {
        m_quiet.start(left);
        return;
    }
    if (m_waiting.isEmpty())
        return;
    if (m_waiting.size() == 1) {
        tell(spoken(m_waiting.takeFirst()));
        return;
    }
    const qsizetype earlier = std::max<qsizetype>(0, m_waiting.size() - MaxTexts);
    QStringList told;
    for (qsizetype i = earlier; i < m_waiting.size(); ++i)
        told.append(cut(spoken(m_waiting.at(i))));
    m_waiting.clear();
    if (earlier > 0)
        told.append(earlier == 1 ? QStringLiteral("e mais 1 mensagem antes destas")
                                 : QStringLiteral("e mais %1 mensagens antes destas").arg(earlier));
    tell(told.join(QLatin1Char('\n')));
}

void Announcer::tell(const QString &text)
{
#ifdef Q_OS_WIN
    // Told by the platform's events only where no screen reader's own interface takes it: heard once.
    m_screenReaders->tell(text);
#else
    tellOnPlatform(text);
#endif
}

void Announcer::tellOnPlatform(const QString &text)
{
#if VELMORA_ANNOUNCEMENTS
    QAccessibleAnnouncementEvent announcement(this, text);
    announcement.setPoliteness(QAccessible::AnnouncementPoliteness::Polite);
    QAccessible::updateAccessibility(&announcement);
#else
    m_label->setText(text);
    // Shown again for each announcement: a screen reader tells a notification
    // as it appears.
    hide();
    show();
#endif
#ifdef Q_OS_WIN
    if (raiseWindowsNotification(window(), text)) {
        qCDebug(lcTold, "told as a UI Automation notification: %s", qUtf8Printable(text));
    } else {
        // Where UI Automation's notifications are missing, Qt's value change
        // carrying the text is raised as one.
        QAccessibleValueChangeEvent change(this, text);
        QAccessible::updateAccessibility(&change);
        qCDebug(lcTold, "told as a value change: %s", qUtf8Printable(text));
    }
#endif
}
