#include "runtime/ending_watch.h"

#include "runtime/handler.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int Watched[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};
int signalPipe[2] = {-1, -1};

void onSignal(int number)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

EndingWatch::EndingWatch(QObject *parent) : QObject(parent)
{
    std::atexit(keepAtExit);
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &EndingWatch::takeSignal);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A signal ignored by whoever started the program (nohup's SIGHUP, say) stays ignored.
    for (const int number : Watched) {
        struct sigaction before = {};
        if (sigaction(number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(number, &action, nullptr);
    }
}

EndingWatch::~EndingWatch()
{
    for (const int number : Watched) {
        struct sigaction now = {};
        if (sigaction(number, nullptr, &now) == 0 && now.sa_handler == onSignal)
            std::signal(number, SIG_DFL);
    }
}

void EndingWatch::takeSignal()
{
    unsigned char number = 0;
    if (::read(signalPipe[0], &number, 1) == 1)
        Handler::endUnchosen(number);
}

bool EndingWatch::nativeEventFilter(const QByteArray &, void *, qintptr *)
{
    return false;
}
