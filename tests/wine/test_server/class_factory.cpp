#include "class_factory.h"

#include "conference.h"
#include "server_module.h"

HRESULT ClassFactory::QueryInterface(REFIID riid, void **object)
{
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *object = this;
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT ClassFactory::CreateInstance(IUnknown *outer, REFIID riid, void **object)
{
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return queryConference(riid, object);
}

HRESULT ClassFactory::LockServer(BOOL lock)
{
    if (lock) {
        InterlockedIncrement(&serverLocks);
        objectMade();
    } else {
        InterlockedDecrement(&serverLocks);
        objectGone();
    }
    return S_OK;
}
