#pragma once

// Makes the calls on the conference application's object from a thread of
// its own, so that the window thread waits on a call only as long as it
// chooses: past its limit the call is left to end (or not) over there, and
// the window goes on. Meanwhile the window thread waits in COM's modal loop,
// where the conference's events and painting go on and input waits.
// (A message filter answering PENDINGMSG_CANCELCALL would do the same on
// Windows; Wine marks such a call cancelled but goes on waiting for it.)
#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <memory>

class ComCallWorker
{
public:
    using Call = std::function<HRESULT(IUnknown *conference, IConnectionPoint *events)>;

    // conference and events are the window thread's; the worker gets its own
    // references to them, marshalled across. Throws nothing:
    // a worker that cannot reach them fails every call with the reason.
    ComCallWorker(IUnknown *conference, REFIID conferenceInterface, IConnectionPoint *events);
    // Lets the worker go; one still waiting on the application is left to end by itself.
    ~ComCallWorker();
    ComCallWorker(const ComCallWorker &) = delete;
    ComCallWorker &operator=(const ComCallWorker &) = delete;

    // Hands call to the worker without waiting for it; false when an earlier
    // call is still waiting on the application. A call refused by a busy
    // application is made again every retryDelayMs within limitMs.
    bool start(const Call &call, DWORD limitMs, DWORD retryDelayMs);
    // Set (until the next start) once the call last started has ended.
    HANDLE ended() const;
    // That call's HRESULT, or RPC_E_CALL_CANCELED while it has not ended.
    HRESULT result() const;
    // Starts call and waits up to limitMs for it: its HRESULT, or
    // RPC_E_CALL_CANCELED when it did not end in time (or an earlier call is
    // still waiting on the application).
    HRESULT run(const Call &call, DWORD limitMs, DWORD retryDelayMs);

private:
    static constexpr DWORD StopWaitMs = 2000;
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};
