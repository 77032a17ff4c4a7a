#include "conference_link.h"

#ifdef Q_OS_WIN
#include "com_conference_link.h"
#else
#include "dbus_conference_link.h"
#endif

std::unique_ptr<ConferenceLink> ConferenceLink::create()
{
#ifdef Q_OS_WIN
    return std::make_unique<ComConferenceLink>();
#else
    return std::make_unique<DbusConferenceLink>();
#endif
}
