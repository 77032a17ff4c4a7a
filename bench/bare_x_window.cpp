// The least a program can spend to play an animated picture on an X server:
// no toolkit, its frames kept on the server, and each frame one copy request
// after a sleep to the frame's time. The floor under the chat window's banner.
//   bare_x_window PICTURE
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <xcb/xcb.h>

#include <cstring>
#include <ctime>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv); // the picture formats are plugins
    if (argc < 2)
        return 2;
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    std::vector<QImage> frames;
    std::vector<int> delays;
    for (QImage frame; reader.read(&frame);) {
        QImage flat(frame.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, frame);
        frames.push_back(flat);
        delays.push_back(std::max(reader.nextImageDelay(), 1));
    }
    if (frames.empty())
        return 1;

    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t white = screen->white_pixel;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 426, 513, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL, &white);
    const char title[] = "Bare X window";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, strlen(title), title);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const uint32_t noExposures = 0;
    xcb_create_gc(c, gc, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    std::vector<xcb_pixmap_t> pixmaps;
    for (const QImage &frame : frames) {
        pixmaps.push_back(xcb_generate_id(c));
        xcb_create_pixmap(c, screen->root_depth, pixmaps.back(), window, frame.width(), frame.height());
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmaps.back(), gc, frame.width(), frame.height(), 0, 0, 0,
                      screen->root_depth, frame.sizeInBytes(), frame.constBits());
    }
    xcb_map_window(c, window);
    xcb_flush(c);

    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (size_t frame = 0;; frame = (frame + 1) % frames.size()) {
        xcb_copy_area(c, pixmaps[frame], window, gc, 0, 0, 8, 8, frames[frame].width(), frames[frame].height());
        if (xcb_flush(c) <= 0)
            return 0; // the server is gone
        next.tv_nsec += delays[frame] * 1000000L;
        next.tv_sec += next.tv_nsec / 1000000000L;
        next.tv_nsec %= 1000000000L;
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
}
