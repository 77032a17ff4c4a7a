#include "forms/x11_frames.h"

#include <QGuiApplication>
#include <QWindow>

#ifdef VELMORA_X11
#include <xcb/xcb.h>

#include <algorithm>

namespace {

// The visual whose pixels are QImage::Format_RGB32's: 0xffRRGGBB in 32 bits (the top byte unused).
bool visualIsRgb32(const xcb_setup_t *setup, xcb_visualid_t visual, quint8 depth)
{
    if (setup->image_byte_order
        != (QSysInfo::ByteOrder == QSysInfo::LittleEndian ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST))
        return false;
    bool thirtyTwoBits = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        if (f.data->depth == depth)
            thirtyTwoBits = f.data->bits_per_pixel == 32 && f.data->scanline_pad == 32;
    if (!thirtyTwoBits)
        return false;
    for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s))
        for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d))
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
                if (v.data->visual_id == visual)
                    return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xff0000
                           && v.data->green_mask == 0xff00 && v.data->blue_mask == 0xff;
    return false;
}

} // namespace

std::unique_ptr<X11Frames> X11Frames::upload(const std::vector<QImage> &frames, const QWindow *window)
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    // (Qt's offscreen platform answers as X11, with no connection.)
    xcb_connection_t *connection = x11 && window ? x11->connection() : nullptr;
    if (!connection)
        return nullptr;
    const xcb_window_t id = xcb_window_t(window->winId());

    // Two questions, once: the window's depth and visual.
    xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
    xcb_get_window_attributes_reply_t *attributes = xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, id), nullptr);
    // Each frame goes up in one request, within the server's limit (in 4-byte units, less the header).
    const qsizetype limit = qsizetype(xcb_get_maximum_request_length(connection)) * 4 - 64;
    const bool fits = std::all_of(frames.begin(), frames.end(), [&](const QImage &frame) {
        return qsizetype(frame.width()) * frame.height() * 4 <= limit;
    });
    const bool usable = fits && geometry && attributes
                        && visualIsRgb32(xcb_get_setup(connection), attributes->visual, geometry->depth);
    const quint8 depth = geometry ? geometry->depth : 0;
    free(geometry);
    free(attributes);
    if (!usable)
        return nullptr;

    std::unique_ptr<X11Frames> kept(new X11Frames);
    kept->m_connection = connection;
    kept->m_context = xcb_generate_id(connection);
    // No exposure events for the copies: nothing is ever waiting for them.
    const uint32_t noExposures = 0;
    xcb_create_gc(connection, kept->m_context, id, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    for (const QImage &frame : frames) {
        const QImage pixels = frame.convertToFormat(QImage::Format_RGB32);
        const xcb_pixmap_t pixmap = xcb_generate_id(connection);
        xcb_create_pixmap(connection, depth, pixmap, id, quint16(pixels.width()), quint16(pixels.height()));
        xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, kept->m_context, quint16(pixels.width()),
                      quint16(pixels.height()), 0, 0, 0, depth, uint32_t(pixels.sizeInBytes()), pixels.constBits());
        kept->m_pixmaps.push_back(pixmap);
        kept->m_sizes.push_back(pixels.size());
    }
    xcb_flush(connection);
    return kept;
}

X11Frames::~X11Frames()
{
    // The connection ends with the application; the server frees all then.
    if (!qGuiApp)
        return;
    for (xcb_pixmap_t pixmap : m_pixmaps)
        xcb_free_pixmap(m_connection, pixmap);
    xcb_free_gc(m_connection, m_context);
    xcb_flush(m_connection);
}

void X11Frames::show(size_t frame, const QWindow *window, QPoint at) const
{
    const QSize size = m_sizes[frame];
    xcb_copy_area(m_connection, m_pixmaps[frame], xcb_window_t(window->winId()), m_context, 0, 0, qint16(at.x()),
                  qint16(at.y()), quint16(size.width()), quint16(size.height()));
    xcb_flush(m_connection);
}

#else

// No X server on this platform: the frames are painted as any widget's.
std::unique_ptr<X11Frames> X11Frames::upload(const std::vector<QImage> &, const QWindow *)
{
    return nullptr;
}

X11Frames::~X11Frames() = default;

void X11Frames::show(size_t, const QWindow *, QPoint) const
{
}

#endif
