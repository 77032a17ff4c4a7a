#include "conference_link/conference_link.h"

#ifdef Q_OS_WIN
#include "conference_link/com_conference_link.h"
#else
#include "conference_link/dbus_conference_link.h"
#endif

std::unique_ptr<ConferenceLink> ConferenceLink::create()
{
#ifdef Q_OS_WIN
    return std::make_unique<ComConferenceLink>();
#else
    return std::make_unique<DbusConferenceLink>();
#endif
}
