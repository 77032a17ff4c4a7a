#include "forms/animated_picture.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QImageReader>
#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>
#include <QWindow>

#include "forms/x11_frames.h"

namespace {

QAccessibleInterface *accessibleAnimation(const QString &className, QObject *object)
{
    if (className == QLatin1String("AnimatedPicture") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Animation);
    return nullptr;
}

} // namespace

AnimatedPicture::AnimatedPicture(const QString &file, const QColor &background, QWidget *parent)
    : QWidget(parent), m_background(background)
{
    // Installed once the application exists: one installed before loses to Qt's own.
    static const bool installed = (QAccessible::installFactory(accessibleAnimation), true);
    Q_UNUSED(installed);
    setAttribute(Qt::WA_OpaquePaintEvent);

    QImageReader reader(file);
    QImage frame;
    while (reader.read(&frame)) {
        QImage flat(frame.size(), QImage::Format_RGB32);
        flat.fill(background);
        QPainter(&flat).drawImage(0, 0, frame);
        m_frames.push_back({QPixmap::fromImage(flat), std::max(reader.nextImageDelay(), 1)});
    }
    // The loops after the first, as the picture counts them.
    m_loopsLeft = reader.loopCount();
    if (!m_frames.empty())
        schedule();
}

AnimatedPicture::~AnimatedPicture() = default;

void AnimatedPicture::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    if (paused)
        m_timer.stop();
    else
        schedule();
}

void AnimatedPicture::schedule()
{
    const bool lastOfLoop = m_current + 1 == m_frames.size();
    if (m_paused || m_frames.size() < 2 || (lastOfLoop && m_loopsLeft == 0)) {
        m_timer.stop();
        return;
    }
    // A timer already going at the frame's delay is left to go on.
    const int delay = m_frames[m_current].delayMs;
    if (!m_timer.isActive() || delay != m_interval) {
        m_interval = delay;
        m_timer.start(delay, this);
    }
}

void AnimatedPicture::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (++m_current == m_frames.size()) {
        m_current = 0;
        if (m_loopsLeft > 0)
            --m_loopsLeft;
    }
    showFrame();
    schedule();
}

void AnimatedPicture::showFrame()
{
    const QRect picture = m_frames[m_current].picture.rect();
    // Straight onto the screen, where the frames can be kept there, when the
    // whole picture is in sight. A paint (a grab) draws the same frame; an
    // exposure shows the one last painted until the next frame comes.
    const QWindow *window = this->window()->windowHandle();
    if (!m_serverRefused && window && window->isExposed() && window->devicePixelRatio() == 1.0
        && (QRegion(picture) - visibleRegion()).isEmpty()) {
        if (!m_onServer) {
            std::vector<QImage> frames;
            for (const Frame &frame : m_frames)
                frames.push_back(frame.picture.toImage());
            m_onServer = X11Frames::upload(frames, window);
            m_serverRefused = !m_onServer;
        }
        if (m_onServer) {
            m_onServer->show(m_current, window, mapTo(this->window(), QPoint(0, 0)));
            return;
        }
    }
    update(picture);
}

void AnimatedPicture::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    QRegion around = event->region();
    if (!m_frames.empty()) {
        const QPixmap &picture = m_frames[m_current].picture;
        painter.drawPixmap(0, 0, picture);
        around -= picture.rect();
    }
    // The control beyond the picture (when it is larger) is background.
    for (const QRect &rect : around)
        painter.fillRect(rect, m_background);
}
