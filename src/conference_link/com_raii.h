#pragma once

// Small owners for what COM hands out, so that every early return releases
// what it holds.
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <string>
#include <utility>

// One reference to an interface.
template <typename T>
class ComPtr
{
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr &) = delete;
    ComPtr &operator=(const ComPtr &) = delete;
    ComPtr(ComPtr &&other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    ComPtr &operator=(ComPtr &&other) noexcept
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
    HRESULT queryInto(REFIID iid, ComPtr<U> &other) const
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
