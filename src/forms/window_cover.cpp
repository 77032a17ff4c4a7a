#include "forms/window_cover.h"

#include <QGuiApplication>
#include <QWindow>

#ifdef VELMORA_X11
#include <xcb/xcb.h>
#endif

WindowCover::WindowCover(QWindow *window, QObject *parent) : QObject(parent)
{
#ifdef VELMORA_X11
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection || !window)
        return;
    // The server tells a window's visibility to those who ask for it, on top
    // of the events Qt asked for.
    const xcb_window_t id = xcb_window_t(window->winId());
    xcb_get_window_attributes_reply_t *attributes = xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, id), nullptr);
    if (!attributes)
        return;
    const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
    free(attributes);
    xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
    m_window = id;
    qGuiApp->installNativeEventFilter(this);
#else
    Q_UNUSED(window);
#endif
}

WindowCover::~WindowCover()
{
    if (m_window && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

bool WindowCover::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result)
{
    Q_UNUSED(result);
#ifdef VELMORA_X11
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_VISIBILITY_NOTIFY)
        return false;
    const auto *visibility = static_cast<const xcb_visibility_notify_event_t *>(message);
    if (visibility->window != m_window)
        return false;
    const bool covered = visibility->state == XCB_VISIBILITY_FULLY_OBSCURED;
    if (covered != m_covered) {
        m_covered = covered;
        emit changed();
    }
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    return false;
}
