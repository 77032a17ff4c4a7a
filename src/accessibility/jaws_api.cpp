#include <windows.h>

#include "accessibility/jaws_api.h"
#include "windows/com_owners.h"

namespace JawsApi {

bool running()
{
    return FindWindowW(L"JFWUI2", nullptr) != nullptr;
}

namespace {

bool sayInApartment(const std::wstring &text)
{
    CLSID jaws{};
    if (FAILED(CLSIDFromProgID(L"FreedomSci.JawsApi", &jaws)))
        return false;
    ComRef<IDispatch> api;
    if (FAILED(CoCreateInstance(jaws, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IDispatch,
                                api.putVoid()))
        || !api)
        return false;
    wchar_t name[] = L"SayString";
    LPOLESTR names[] = {name};
    DISPID sayString = DISPID_UNKNOWN;
    if (FAILED(api->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &sayString)))
        return false;
    // IDispatch takes the arguments last first: flush, then the text.
    const Bstr spoken(text);
    VARIANTARG arguments[2];
    VariantInit(&arguments[0]);
    arguments[0].vt = VT_BOOL;
    arguments[0].boolVal = VARIANT_FALSE;
    VariantInit(&arguments[1]);
    arguments[1].vt = VT_BSTR;
    arguments[1].bstrVal = spoken.get();
    DISPPARAMS parameters{arguments, nullptr, 2, 0};
    Variant said;
    if (FAILED(api->Invoke(sayString, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, said.get(),
                           nullptr, nullptr)))
        return false;
    return said.get()->vt == VT_BOOL && said.get()->boolVal != VARIANT_FALSE;
}

} // namespace

bool say(const std::wstring &text)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return false;
    const bool said = sayInApartment(text);
    CoUninitialize();
    return said;
}

} // namespace JawsApi
