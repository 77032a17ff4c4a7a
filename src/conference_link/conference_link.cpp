#include "conference_link/conference_link.h"

#ifdef Q_OS_WIN
#include "conference_link/com_conference_link.h"
#else
#include "conference_link/dbus_conference_link.h"
#endif

namespace {
// How long texts are handed on in one go before the window's other events get their turn.
constexpr qint64 SliceNs = 8'000'000;
} // namespace

ConferenceLink::ConferenceLink()
{
    m_handOn.setSingleShot(true);
    m_handOn.setInterval(0);
    connect(&m_handOn, &QTimer::timeout, this, &ConferenceLink::handOn);
}

void ConferenceLink::received(const QString &stexto)
{
    m_arrived.enqueue(stexto);
    if (!m_handOn.isActive())
        m_handOn.start();
}

void ConferenceLink::handOn()
{
    QElapsedTimer slice;
    slice.start();
    while (!m_arrived.isEmpty() && slice.nsecsElapsed() < SliceNs)
        emit ChatTextReceived(m_arrived.dequeue());
    if (!m_arrived.isEmpty())
        m_handOn.start();
}

void ConferenceLink::handOnEverything()
{
    m_handOn.stop();
    while (!m_arrived.isEmpty())
        emit ChatTextReceived(m_arrived.dequeue());
}

std::unique_ptr<ConferenceLink> ConferenceLink::create()
{
#ifdef Q_OS_WIN
    return std::make_unique<ComConferenceLink>();
#else
    return std::make_unique<DbusConferenceLink>();
#endif
}
