#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

class QWindow;

// Tells when a window is wholly covered by others, as an X server without a
// compositing manager says it (with one, or on another platform, a window is
// never covered: everything may be shown at any time).
class WindowCover : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit WindowCover(QWindow *window, QObject *parent = nullptr);
    ~WindowCover() override;

    bool isCovered() const { return m_covered; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    void changed();

private:
    quint32 m_window = 0; // 0: not on an X server
    bool m_covered = false;
};
