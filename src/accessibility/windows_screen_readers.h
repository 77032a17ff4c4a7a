#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QString>

#include <memory>
#include <thread>

// Tells a text through the screen reader that runs, by its own interface,
// whatever window is in front: NVDA's controller, else JAWS's automation
// object; the first that answers. Off the window's thread: a thread of its own
// takes the texts in order, and each reader's call runs on a thread of its
// own, waited for at most the call limit. A reader whose call has not come
// back is passed over until it does; one that starts or ends is found or
// dropped at the next text. A text no reader took comes back as unheard, on
// the window's thread, for the platform's own way of telling.
// Which way each text was told ("velmora.accessibility", debug).
Q_DECLARE_LOGGING_CATEGORY(lcTold)

class WindowsScreenReaders : public QObject
{
    Q_OBJECT

public:
    explicit WindowsScreenReaders(QObject *parent);
    ~WindowsScreenReaders() override;

    void tell(const QString &text);

signals:
    void unheard(const QString &text);

private:
    struct Teller;
    void takeTexts();

    const std::shared_ptr<Teller> m_teller;
    std::thread m_thread;
};
