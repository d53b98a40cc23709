// The frame skip: an in-place filter that passes every sample or none.
#include "platform/camkit/CamKit.h"
#include "platform/filters/TransformFilter.h"

extern "C" const CLSID CLSID_XrvFrameSkip = {0x7d0c2b10, 0x5a3e, 0x4f61, {0x9b, 0x42, 0x1c, 0x83, 0x6e, 0x20, 0x51, 0x01}};
extern "C" const IID IID_IXrvFrameSkip = {0x7d0c2b10, 0x5a3e, 0x4f61, {0x9b, 0x42, 0x1c, 0x83, 0x6e, 0x20, 0x51, 0x11}};

namespace {

class CFrameSkipFilter : public CInPlaceFilterBase, public IXrvFrameSkip {
public:
    CFrameSkipFilter() : CInPlaceFilterBase(CLSID_XrvFrameSkip) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv && riid == IID_IXrvFrameSkip) {
            *ppv = static_cast<IXrvFrameSkip*>(this);
            AddRef();
            return S_OK;
        }
        return CInPlaceFilterBase::QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return CInPlaceFilterBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CInPlaceFilterBase::Release(); }

    STDMETHODIMP SetSkip(LONG skip) override
    {
        InterlockedExchange(&m_skip, skip ? 1 : 0);
        return S_OK;
    }
    STDMETHODIMP GetSkip(LONG* skip) override
    {
        if (!skip)
            return E_POINTER;
        *skip = InterlockedCompareExchange(&m_skip, 0, 0);
        return S_OK;
    }
    STDMETHODIMP GetCounts(LONG* passed, LONG* dropped) override
    {
        if (!passed || !dropped)
            return E_POINTER;
        *passed = m_passed;
        *dropped = m_dropped;
        return S_OK;
    }

    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override { return in ? S_OK : E_POINTER; }
    HRESULT TransformInPlace(IMediaSample*) override
    {
        if (InterlockedCompareExchange(&m_skip, 0, 0)) {
            InterlockedIncrement(&m_dropped);
            return S_FALSE;
        }
        InterlockedIncrement(&m_passed);
        return S_OK;
    }

private:
    volatile LONG m_skip = 0;
    volatile LONG m_passed = 0;
    volatile LONG m_dropped = 0;
};

}  // namespace

HRESULT CreateFrameSkipFilter(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new CFrameSkipFilter(), riid, ppv);
}
