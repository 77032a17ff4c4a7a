#include "forms/animated_picture.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QImageReader>
#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>

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
    if (m_paused || m_frames.size() < 2 || (lastOfLoop && m_loopsLeft == 0))
        return;
    m_timer.start(m_frames[m_current].delayMs, this);
}

void AnimatedPicture::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    m_timer.stop();
    if (++m_current == m_frames.size()) {
        m_current = 0;
        if (m_loopsLeft > 0)
            --m_loopsLeft;
    }
    update(m_frames[m_current].picture.rect());
    schedule();
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
