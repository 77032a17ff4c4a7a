#include "accessibility/windows_screen_readers.h"
#include "accessibility/jaws_api.h"
#include "accessibility/nvda_controller.h"
#include "runtime/call_limit.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

Q_LOGGING_CATEGORY(lcTold, "velmora.accessibility")

namespace {

// One reader's call, shared with the thread that makes it (which may outlive
// the program's wait for it).
struct Call {
    bool finished = false;
    bool heard = false;
};

struct Reader {
    const char *name;
    std::function<bool()> present;
    std::function<bool(const std::wstring &)> say;
    std::shared_ptr<Call> late; // a call not come back in time
};

} // namespace

struct WindowsScreenReaders::Teller {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QString> texts;
    bool stopping = false;
};

WindowsScreenReaders::WindowsScreenReaders(QObject *parent)
    : QObject(parent), m_teller(std::make_shared<Teller>()), m_thread(&WindowsScreenReaders::takeTexts, this)
{
}

WindowsScreenReaders::~WindowsScreenReaders()
{
    {
        const std::lock_guard lock(m_teller->mutex);
        m_teller->stopping = true;
    }
    m_teller->changed.notify_all();
    m_thread.join();
}

void WindowsScreenReaders::tell(const QString &text)
{
    {
        const std::lock_guard lock(m_teller->mutex);
        m_teller->texts.push_back(text);
    }
    m_teller->changed.notify_all();
}

void WindowsScreenReaders::takeTexts()
{
    // The endpoint is the desktop of the program's threads (this one's, made by the window's thread).
    const std::wstring nvdaEndpoint = NvdaController::endpoint();
    Reader readers[] = {
        {"NVDA", [] { return true; },
         [nvdaEndpoint](const std::wstring &text) { return NvdaController::tell(nvdaEndpoint, text); }, {}},
        {"JAWS", &JawsApi::running, &JawsApi::say, {}},
    };
    const std::shared_ptr<Teller> teller = m_teller;
    std::unique_lock lock(teller->mutex);
    for (;;) {
        teller->changed.wait(lock, [&] { return teller->stopping || !teller->texts.empty(); });
        if (teller->stopping)
            return;
        const QString text = teller->texts.front();
        teller->texts.pop_front();
        const std::wstring spoken = text.toStdWString();
        const char *heardBy = nullptr;
        for (Reader &reader : readers) {
            if (reader.late && !reader.late->finished)
                continue;
            reader.late.reset();
            lock.unlock();
            const bool present = reader.present();
            lock.lock();
            if (!present)
                continue;
            const auto call = std::make_shared<Call>();
            std::thread([teller, call, say = reader.say, spoken] {
                const bool heard = say(spoken);
                const std::lock_guard done(teller->mutex);
                call->finished = true;
                call->heard = heard;
                teller->changed.notify_all();
            }).detach();
            teller->changed.wait_for(lock, std::chrono::milliseconds(CallLimitMs),
                                     [&] { return call->finished || teller->stopping; });
            if (teller->stopping)
                return;
            if (!call->finished) {
                qCDebug(lcTold, "%s did not answer within the call limit", reader.name);
                reader.late = call;
            } else if (call->heard) {
                heardBy = reader.name;
                break;
            }
        }
        if (heardBy) {
            qCDebug(lcTold, "told through %s: %s", heardBy, qUtf8Printable(text));
        } else {
            lock.unlock();
            emit unheard(text);
            lock.lock();
        }
    }
}
