#pragma once

// Owners for everything COM hands out (interfaces, strings, variants, type
// descriptions, marshalled interfaces), so that no path leaks or releases
// twice. Plain C++ for Windows, shared by every file that touches COM.
#include <windows.h>
#include <oaidl.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <utility>

// One reference to an interface.
template <typename T>
class ComRef
{
public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef &) = delete;
    ComRef &operator=(const ComRef &) = delete;
    ComRef(ComRef &&other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    ComRef &operator=(ComRef &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_pointer = std::exchange(other.m_pointer, nullptr);
        }
        return *this;
    }

    T *get() const { return m_pointer; }
    T *operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

    // The slot an out-parameter fills; whatever was held is released first.
    T **put()
    {
        reset();
        return &m_pointer;
    }
    void **putVoid() { return reinterpret_cast<void **>(put()); }

    void reset()
    {
        if (m_pointer)
            std::exchange(m_pointer, nullptr)->Release();
    }
    // Lets go of the reference without releasing it (a release would be a
    // call on a server that no longer answers).
    void abandon() { m_pointer = nullptr; }

    // Another interface of the same object.
    template <typename U>
    HRESULT queryInto(REFIID iid, ComRef<U> &other) const
    {
        return m_pointer ? m_pointer->QueryInterface(iid, other.putVoid()) : E_POINTER;
    }

private:
    T *m_pointer = nullptr;
};

// A string as COM passes it, with its length (embedded NULs survive).
class Bstr
{
public:
    Bstr() = default;
    explicit Bstr(const std::wstring &text) : m_bstr(SysAllocStringLen(text.data(), UINT(text.size()))) {}
    explicit Bstr(const wchar_t *text) : m_bstr(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(m_bstr); }
    Bstr(const Bstr &) = delete;
    Bstr &operator=(const Bstr &) = delete;

    BSTR get() const { return m_bstr; }
    BSTR *put()
    {
        SysFreeString(std::exchange(m_bstr, nullptr));
        return &m_bstr;
    }
    std::wstring text() const { return m_bstr ? std::wstring(m_bstr, SysStringLen(m_bstr)) : std::wstring(); }

private:
    BSTR m_bstr = nullptr;
};

// A VARIANT, cleared when it goes.
class Variant
{
public:
    Variant() { VariantInit(&m_variant); }
    ~Variant() { VariantClear(&m_variant); }
    Variant(const Variant &) = delete;
    Variant &operator=(const Variant &) = delete;

    VARIANT *get() { return &m_variant; }

private:
    VARIANT m_variant;
};

// A type's description, given back to its type information when it goes.
class TypeAttr
{
public:
    explicit TypeAttr(ITypeInfo *info) : m_info(info)
    {
        if (!info || FAILED(info->GetTypeAttr(&m_attributes)))
            m_attributes = nullptr;
    }
    ~TypeAttr()
    {
        if (m_attributes)
            m_info->ReleaseTypeAttr(m_attributes);
    }
    TypeAttr(const TypeAttr &) = delete;
    TypeAttr &operator=(const TypeAttr &) = delete;

    explicit operator bool() const { return m_attributes != nullptr; }
    const TYPEATTR *operator->() const { return m_attributes; }

private:
    ITypeInfo *m_info;
    TYPEATTR *m_attributes = nullptr;
};

// One function's description, given back to its type information when it goes.
class FuncDesc
{
public:
    FuncDesc(ITypeInfo *info, UINT index) : m_info(info)
    {
        if (!info || FAILED(info->GetFuncDesc(index, &m_function)))
            m_function = nullptr;
    }
    ~FuncDesc()
    {
        if (m_function)
            m_info->ReleaseFuncDesc(m_function);
    }
    FuncDesc(const FuncDesc &) = delete;
    FuncDesc &operator=(const FuncDesc &) = delete;

    explicit operator bool() const { return m_function != nullptr; }
    const FUNCDESC *operator->() const { return m_function; }

private:
    ITypeInfo *m_info;
    FUNCDESC *m_function = nullptr;
};

// An interface marshalled for another thread of the process: that thread
// takes it out once; one never taken is let go with its marshalled data.
class MarshalledInterface
{
public:
    MarshalledInterface() = default;
    ~MarshalledInterface() { letGo(); }
    MarshalledInterface(const MarshalledInterface &) = delete;
    MarshalledInterface &operator=(const MarshalledInterface &) = delete;

    HRESULT marshal(REFIID iid, IUnknown *object)
    {
        return CoMarshalInterThreadInterfaceInStream(iid, object, m_stream.put());
    }
    // The interface, on the thread that takes it; the stream is gone with it.
    HRESULT take(REFIID iid, void **object)
    {
        if (!m_stream)
            return E_POINTER;
        IStream *stream = m_stream.get();
        m_stream.abandon(); // released by the call, whatever its outcome
        return CoGetInterfaceAndReleaseStream(stream, iid, object);
    }
    // Lets go of an interface never taken (on a thread that is still in COM).
    void letGo()
    {
        if (m_stream) {
            CoReleaseMarshalData(m_stream.get());
            m_stream.reset();
        }
    }

private:
    ComRef<IStream> m_stream;
};
