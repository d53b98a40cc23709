#pragma once
// Small helpers of the camera graph tests: counted pointers, a grabber
// callback that reads the test camera's picture, pin lookup.
#include "framework/AfxPlatform.h"
#include "tests/camera/CameraPicture.h"

#include <dshow.h>
#include <qedit.h>
#include <vector>

static const CLSID kSampleGrabber = {0xc1f400a0, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};
static const CLSID kNullRenderer = {0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

// Collects what the grabber hands over: picture and sample time.
class FrameCollector : public ISampleGrabberCB {
public:
    struct Frame {
        CameraPicture picture;
        REFERENCE_TIME start;
        long length;
    };
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
            *ppv = this;
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override
    {
        BYTE* bits = NULL;
        sample->GetPointer(&bits);
        REFERENCE_TIME start = 0, stop = 0;
        sample->GetTime(&start, &stop);
        Frame f = {ReadCameraPicture(bits, width, height), start, sample->GetActualDataLength()};
        EnterCriticalSection(&lock);
        frames.push_back(f);
        LeaveCriticalSection(&lock);
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return S_OK; }

    FrameCollector() { InitializeCriticalSection(&lock); }
    ~FrameCollector() { DeleteCriticalSection(&lock); }
    std::vector<Frame> Take()
    {
        EnterCriticalSection(&lock);
        std::vector<Frame> out = frames;
        LeaveCriticalSection(&lock);
        return out;
    }
    LONG width = 320, height = 240;

private:
    CRITICAL_SECTION lock;
    std::vector<Frame> frames;
};

template <class T> struct Ptr {
    Ptr() = default;
    Ptr(const Ptr&) = delete;
    T* p = NULL;
    ~Ptr()
    {
        if (p)
            p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};


// The first pin of the filter in that direction that is not yet connected.
inline IPin* FreePin(IBaseFilter* filter, PIN_DIRECTION want)
{
    IEnumPins* pins = NULL;
    if (FAILED(filter->EnumPins(&pins)))
        return NULL;
    IPin* pin = NULL;
    IPin* found = NULL;
    while (!found && pins->Next(1, &pin, NULL) == S_OK) {
        PIN_DIRECTION dir;
        IPin* peer = NULL;
        pin->QueryDirection(&dir);
        if (dir == want && pin->ConnectedTo(&peer) == VFW_E_NOT_CONNECTED)
            found = pin;
        else
            pin->Release();
        if (peer)
            peer->Release();
    }
    pins->Release();
    return found;
}

// Connects the first free output of `from` to the first free input of `to`.
inline HRESULT ConnectFilters(IGraphBuilder* graph, IBaseFilter* from, IBaseFilter* to)
{
    IPin* out = FreePin(from, PINDIR_OUTPUT);
    IPin* in = FreePin(to, PINDIR_INPUT);
    HRESULT hr = out && in ? graph->Connect(out, in) : E_FAIL;
    if (out)
        out->Release();
    if (in)
        in->Release();
    return hr;
}

// A filter made by class id, added to the graph.
inline IBaseFilter* AddNew(IGraphBuilder* graph, REFCLSID clsid, LPCWSTR name, HRESULT (*create)(REFIID, void**) = NULL)
{
    IBaseFilter* f = NULL;
    HRESULT hr = create ? create(IID_IBaseFilter, (void**)&f)
                        : CoCreateInstance(clsid, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void**)&f);
    if (FAILED(hr) || FAILED(graph->AddFilter(f, name))) {
        if (f)
            f->Release();
        return NULL;
    }
    return f;
}

// A Sample Grabber with the callback installed for samples.
inline IBaseFilter* AddGrabber(IGraphBuilder* graph, LPCWSTR name, ISampleGrabberCB* callback)
{
    IBaseFilter* g = AddNew(graph, kSampleGrabber, name);
    ISampleGrabber* sg = NULL;
    if (g && SUCCEEDED(g->QueryInterface(IID_ISampleGrabber, (void**)&sg))) {
        sg->SetBufferSamples(FALSE);
        sg->SetCallback(callback, 0);
        sg->Release();
    }
    return g;
}

// Waits (generously: the machine is loaded) until `done` holds.
template <class Done> bool WaitFor(Done done, DWORD timeoutMs = 20000)
{
    const DWORD begin = GetTickCount();
    while (!done()) {
        if (GetTickCount() - begin > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}
