#pragma once

#include <QImage>
#include <QPoint>

#include <cstdint>
#include <memory>
#include <vector>

class QWindow;
struct xcb_connection_t;

// The frames of a small animation kept on the X server, each shown by one
// request: a new frame costs the program a single write to the server, with
// no repaint and no image sent. Only where the window's pixels are the
// frames' own (32 bits, 8 bits a colour, the server's byte order as ours).
class X11Frames
{
public:
    // Null when the window is not on an X server or its pixels differ.
    static std::unique_ptr<X11Frames> upload(const std::vector<QImage> &frames, const QWindow *window);
    ~X11Frames();
    X11Frames(const X11Frames &) = delete;
    X11Frames &operator=(const X11Frames &) = delete;

    // Draws the frame at `at`, in the window's own pixels (the frames are not
    // scaled: for a window at one pixel to the logical pixel).
    void show(size_t frame, const QWindow *window, QPoint at) const;

private:
    X11Frames() = default;

    xcb_connection_t *m_connection = nullptr;
    std::uint32_t m_context = 0;
    std::vector<std::uint32_t> m_pixmaps;
    std::vector<QSize> m_sizes;
};
