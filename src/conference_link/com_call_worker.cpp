#include "conference_link/com_call_worker.h"

#include "windows/com_owners.h"

#include <utility>

namespace {

// Holds the lock for one scope. (Win32's own lock and condition: MinGW's
// win32 thread model has no std::mutex.)
class Locked
{
public:
    explicit Locked(SRWLOCK &lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~Locked() { ReleaseSRWLockExclusive(&m_lock); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;

private:
    SRWLOCK &m_lock;
};

} // namespace

struct ComCallWorker::Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE wake = CONDITION_VARIABLE_INIT;
    Call call;
    DWORD retryDelayMs = 0;
    ULONGLONG deadline = 0;
    bool pending = false; // a call handed over and not ended yet
    bool stopping = false;
    HRESULT result = S_OK;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The window thread's references, marshalled for the worker to take its own.
    MarshalledInterface conferenceStream;
    MarshalledInterface eventsStream;
    HRESULT marshalled = E_UNEXPECTED;
    IID conferenceInterface = IID_IUnknown;

    ~Shared()
    {
        CloseHandle(done);
        CloseHandle(ready);
        CloseHandle(finished);
    }

    // The worker thread: a member of the multithreaded apartment, where no
    // message filter waits for anything.
    static DWORD WINAPI start(void *handedOver)
    {
        // The thread holds the shared state for as long as it runs.
        const std::shared_ptr<Shared> self = std::move(*static_cast<std::shared_ptr<Shared> *>(handedOver));
        delete static_cast<std::shared_ptr<Shared> *>(handedOver);
        work(self);
        SetEvent(self->finished);
        return 0;
    }

    static void work(const std::shared_ptr<Shared> &self)
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            ComRef<IUnknown> conference;
            ComRef<IConnectionPoint> events;
            HRESULT reached = self->marshalled;
            if (SUCCEEDED(reached))
                reached = self->conferenceStream.take(self->conferenceInterface, conference.putVoid());
            if (SUCCEEDED(reached))
                reached = self->eventsStream.take(IID_IConnectionPoint, events.putVoid());
            SetEvent(self->ready);
            AcquireSRWLockExclusive(&self->lock);
            for (;;) {
                while (!self->stopping && !self->call)
                    SleepConditionVariableSRW(&self->wake, &self->lock, INFINITE, 0);
                if (self->stopping)
                    break;
                const Call call = std::move(self->call);
                self->call = nullptr;
                ReleaseSRWLockExclusive(&self->lock);
                HRESULT hr = reached;
                while (SUCCEEDED(reached)) {
                    hr = call(conference.get(), events.get());
                    const bool refused = hr == RPC_E_CALL_REJECTED || hr == RPC_E_SERVERCALL_RETRYLATER;
                    if (!refused || GetTickCount64() + self->retryDelayMs >= self->deadline)
                        break;
                    Sleep(self->retryDelayMs);
                }
                AcquireSRWLockExclusive(&self->lock);
                self->result = hr;
                self->pending = false;
                SetEvent(self->done);
            }
            ReleaseSRWLockExclusive(&self->lock);
        }
        CoUninitialize();
    }
};

ComCallWorker::ComCallWorker(IUnknown *conference, REFIID conferenceInterface, IConnectionPoint *events)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->conferenceInterface = conferenceInterface;
    m_shared->marshalled = m_shared->conferenceStream.marshal(conferenceInterface, conference);
    if (SUCCEEDED(m_shared->marshalled))
        m_shared->marshalled = m_shared->eventsStream.marshal(IID_IConnectionPoint, events);
    DWORD index = 0;
    auto *handedOver = new std::shared_ptr<Shared>(m_shared);
    if (HANDLE thread = CreateThread(nullptr, 0, Shared::start, handedOver, 0, nullptr)) {
        CloseHandle(thread);
        CoWaitForMultipleHandles(0, INFINITE, 1, &m_shared->ready, &index);
    } else {
        delete handedOver;
    }
    // What the worker did not take (it failed half way) is let go here.
    m_shared->conferenceStream.letGo();
    m_shared->eventsStream.letGo();
}

ComCallWorker::~ComCallWorker()
{
    bool waiting = false;
    {
        const Locked locked(m_shared->lock);
        m_shared->stopping = true;
        waiting = m_shared->pending;
        WakeConditionVariable(&m_shared->wake);
    }
    // A worker free to end lets go of its references before this returns, so
    // that the application sees the object released when the link is gone.
    if (!waiting) {
        DWORD index = 0;
        CoWaitForMultipleHandles(0, StopWaitMs, 1, &m_shared->finished, &index);
    }
}

bool ComCallWorker::start(const Call &call, DWORD limitMs, DWORD retryDelayMs)
{
    const Locked locked(m_shared->lock);
    if (m_shared->pending)
        return false; // still waiting on the application
    m_shared->call = call;
    m_shared->retryDelayMs = retryDelayMs;
    m_shared->deadline = GetTickCount64() + limitMs;
    m_shared->pending = true;
    ResetEvent(m_shared->done);
    WakeConditionVariable(&m_shared->wake);
    return true;
}

HANDLE ComCallWorker::ended() const
{
    return m_shared->done;
}

HRESULT ComCallWorker::result() const
{
    const Locked locked(m_shared->lock);
    return m_shared->pending ? RPC_E_CALL_CANCELED : m_shared->result;
}

HRESULT ComCallWorker::run(const Call &call, DWORD limitMs, DWORD retryDelayMs)
{
    if (!start(call, limitMs, retryDelayMs))
        return RPC_E_CALL_CANCELED;
    DWORD index = 0;
    CoWaitForMultipleHandles(0, limitMs, 1, &m_shared->done, &index);
    return result();
}
