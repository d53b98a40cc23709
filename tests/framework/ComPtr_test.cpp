#include "framework/ComPtr.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// An IUnknown whose reference count the test reads; it never frees itself.
class CountedUnknown : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        if (riid != IID_IUnknown)
            return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 0;
};

TEST(CComPtr, CopiesAndMovesKeepTheCountRight)
{
    CountedUnknown a, b;
    {
        CComPtr<IUnknown> first(&a);
        EXPECT_EQ(1u, a.refs);
        CComPtr<IUnknown> copy(first);
        EXPECT_EQ(2u, a.refs);

        CComPtr<IUnknown> moved(std::move(copy));
        EXPECT_EQ(2u, a.refs);
        EXPECT_TRUE(!copy);

        // Move assignment releases what the target held and takes the source's reference.
        CComPtr<IUnknown> other(&b);
        other = std::move(moved);
        EXPECT_EQ(0u, b.refs);
        EXPECT_EQ(2u, a.refs);
        EXPECT_TRUE(!moved);
        EXPECT_TRUE(other == &a);

        // Moving into itself keeps the one reference.
        CComPtr<IUnknown>& alias = other;
        other = std::move(alias);
        EXPECT_EQ(2u, a.refs);
        EXPECT_TRUE(other == &a);

        // Copy assignment and assignment of a raw pointer.
        other = &b;
        EXPECT_EQ(1u, a.refs);
        EXPECT_EQ(1u, b.refs);
        other = first;
        EXPECT_EQ(2u, a.refs);
        EXPECT_EQ(0u, b.refs);

        other.Release();
        EXPECT_EQ(1u, a.refs);
        EXPECT_TRUE(!other);
    }
    EXPECT_EQ(0u, a.refs);
    EXPECT_EQ(0u, b.refs);
}

TEST(CComPtr, AttachAndDetachHandOverTheReference)
{
    CountedUnknown a;
    a.AddRef();
    CComPtr<IUnknown> held;
    held.Attach(&a);
    EXPECT_EQ(1u, a.refs);
    IUnknown* raw = held.Detach();
    EXPECT_EQ(&a, raw);
    EXPECT_TRUE(!held);
    EXPECT_EQ(1u, a.refs);
    raw->Release();
}

}  // namespace
