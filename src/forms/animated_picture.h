#pragma once

#include <QBasicTimer>
#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class X11Frames;

// An animated picture (a GIF) on a plain background, as a form's animation
// control shows it: its frames decoded once, laid on the background, and
// shown one after another at the picture's own pace, as many times as the
// picture says. A new frame repaints the control's own rectangle, opaque, and
// nothing under it; on an X server, where the frames can be kept there, a new
// frame is only a copy the server makes of one of them.
class AnimatedPicture : public QWidget
{
    Q_OBJECT

public:
    AnimatedPicture(const QString &file, const QColor &background, QWidget *parent = nullptr);
    ~AnimatedPicture() override;

    // Paused, the control costs nothing; it goes on from the same frame.
    void setPaused(bool paused);
    bool isRunning() const { return m_timer.isActive(); }
    int frameCount() const { return int(m_frames.size()); }
    int currentFrame() const { return int(m_current); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    void schedule();
    void showFrame();

    struct Frame {
        QPixmap picture;
        int delayMs;
    };
    QColor m_background;
    std::vector<Frame> m_frames;
    size_t m_current = 0;
    int m_loopsLeft = -1; // -1: for ever
    bool m_paused = false;
    QBasicTimer m_timer;
    int m_interval = 0;
    std::unique_ptr<X11Frames> m_onServer;
    bool m_serverRefused = false;
};
