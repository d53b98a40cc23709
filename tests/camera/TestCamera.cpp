// The test cameras: live video sources for the camera tests, built as a COM
// server (testcamera.dll) that the tests register in the video input device
// category. Each offers RGB24 at 320x240, 160x120 or 640x480 and 15 frames
// per second (or the rate set through IAMStreamConfig, up to 30), stamps its frames on the
// graph clock and draws a moving pattern with its frame number and time as
// blocks (TestCameraIds.h). The dummy fails at Pause or Run on request.
// The capture pin offers one property page, the video format page
// (TestCameraFormatPage.cpp), as a camera driver's pin does.
#include "platform/filters/FilterBase.h"
#include "platform/filters/SourceStream.h"
#include "tests/camera/TestCameraFormatPage.h"
#include "tests/camera/TestCameraIds.h"

#include <dshow.h>
#include <olectl.h>
#include <string.h>

namespace {

volatile LONG g_objects = 0;
volatile LONG g_locks = 0;

const REFERENCE_TIME kDefaultFrameTime = 666667;

struct SizeCap {
    LONG width, height;
};
const SizeCap kSizes[] = {{320, 240}, {160, 120}, {640, 480}};

void MakeType(CDsMediaType* mt, LONG width, LONG height, REFERENCE_TIME frameTime)
{
    VIDEOINFOHEADER vih;
    memset(&vih, 0, sizeof(vih));
    vih.AvgTimePerFrame = frameTime;
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = width;
    vih.bmiHeader.biHeight = height;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = 24;
    vih.bmiHeader.biSizeImage = ((width * 3 + 3) & ~3) * height;
    vih.dwBitRate = (DWORD)((ULONGLONG)vih.bmiHeader.biSizeImage * 8 * 10000000 / frameTime);
    AM_MEDIA_TYPE t;
    memset(&t, 0, sizeof(t));
    t.majortype = MEDIATYPE_Video;
    t.subtype = MEDIASUBTYPE_RGB24;
    t.bFixedSizeSamples = TRUE;
    t.lSampleSize = vih.bmiHeader.biSizeImage;
    t.formattype = FORMAT_VideoInfo;
    t.cbFormat = sizeof(vih);
    t.pbFormat = (BYTE*)&vih;
    mt->Set(&t);
}

DWORD ReadSwitch(LPCSTR name)
{
    DWORD value = 0, size = sizeof(value), type = 0;
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, TEST_CAMERA_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    if (RegQueryValueExA(key, name, NULL, &type, (BYTE*)&value, &size) != ERROR_SUCCESS || type != REG_DWORD)
        value = 0;
    RegCloseKey(key);
    return value;
}

class CTestCamera;

class CCameraPin : public CSourceStreamPin, public IAMStreamConfig, public ISpecifyPropertyPages {
public:
    CCameraPin(CTestCamera* filter, int colour);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IAMStreamConfig) {
            *ppv = static_cast<IAMStreamConfig*>(this);
            AddRef();
            return S_OK;
        }
        if (riid == IID_ISpecifyPropertyPages) {
            *ppv = static_cast<ISpecifyPropertyPages*>(this);
            AddRef();
            return S_OK;
        }
        return CSourceStreamPin::QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return CSourceStreamPin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CSourceStreamPin::Release(); }

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override
    {
        if (!mt || mt->majortype != MEDIATYPE_Video || mt->subtype != MEDIASUBTYPE_RGB24 ||
            mt->formattype != FORMAT_VideoInfo || mt->cbFormat < sizeof(VIDEOINFOHEADER) || !mt->pbFormat)
            return VFW_E_TYPE_NOT_ACCEPTED;
        const VIDEOINFOHEADER* vih = (const VIDEOINFOHEADER*)mt->pbFormat;
        for (const SizeCap& s : kSizes)
            if (vih->bmiHeader.biWidth == s.width && vih->bmiHeader.biHeight == s.height &&
                vih->bmiHeader.biBitCount == 24 && vih->AvgTimePerFrame > 0)
                return S_OK;
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override
    {
        if (index < 0)
            return E_INVALIDARG;
        if (index > 0)
            return VFW_S_NO_MORE_ITEMS;
        return DsCopyMediaType(mt, &m_format);
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        const VIDEOINFOHEADER* vih = (const VIDEOINFOHEADER*)CurrentMediaType().pbFormat;
        request->cBuffers = request->cBuffers > 2 ? request->cBuffers : 2;
        request->cbBuffer = vih->bmiHeader.biSizeImage;
        request->cbAlign = request->cbAlign > 0 ? request->cbAlign : 1;
        ALLOCATOR_PROPERTIES actual;
        HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr))
            return hr;
        return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
    }
    HRESULT OnSeek(REFERENCE_TIME) override { return S_OK; }
    REFERENCE_TIME Duration() override { return 0x7FFFFFFFFFFFFFFFLL / 2; }
    HRESULT Active() override
    {
        m_frame = 0;
        m_started = false;
        return CSourceStreamPin::Active();
    }
    HRESULT FillBuffer(IMediaSample* sample) override;

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** ppmt) override
    {
        if (!ppmt)
            return E_POINTER;
        *ppmt = DsCreateMediaType(IsConnected() ? &CurrentMediaType() : &m_format);
        return *ppmt ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP GetNumberOfCapabilities(int* piCount, int* piSize) override
    {
        if (!piCount || !piSize)
            return E_POINTER;
        *piCount = (int)(sizeof(kSizes) / sizeof(kSizes[0]));
        *piSize = sizeof(VIDEO_STREAM_CONFIG_CAPS);
        return S_OK;
    }
    STDMETHODIMP GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) override
    {
        if (!ppmt || !pSCC)
            return E_POINTER;
        if (iIndex < 0 || iIndex >= (int)(sizeof(kSizes) / sizeof(kSizes[0])))
            return S_FALSE;
        CDsMediaType mt;
        MakeType(&mt, kSizes[iIndex].width, kSizes[iIndex].height, kDefaultFrameTime);
        *ppmt = DsCreateMediaType(&mt);
        VIDEO_STREAM_CONFIG_CAPS caps;
        memset(&caps, 0, sizeof(caps));
        caps.guid = FORMAT_VideoInfo;
        caps.InputSize.cx = caps.MinCroppingSize.cx = caps.MaxCroppingSize.cx = kSizes[iIndex].width;
        caps.InputSize.cy = caps.MinCroppingSize.cy = caps.MaxCroppingSize.cy = kSizes[iIndex].height;
        caps.MinOutputSize = caps.MaxOutputSize = caps.InputSize;
        caps.MinFrameInterval = 333333;
        caps.MaxFrameInterval = 10000000;
        memcpy(pSCC, &caps, sizeof(caps));
        return *ppmt ? S_OK : E_OUTOFMEMORY;
    }

    // ISpecifyPropertyPages: the video format page.
    STDMETHODIMP GetPages(CAUUID* pages) override
    {
        if (!pages)
            return E_POINTER;
        pages->pElems = (GUID*)CoTaskMemAlloc(sizeof(GUID));
        if (!pages->pElems) {
            pages->cElems = 0;
            return E_OUTOFMEMORY;
        }
        pages->cElems = 1;
        pages->pElems[0] = CLSID_TestCameraFormatPage;
        return S_OK;
    }

private:
    void Draw(BYTE* bits, const BITMAPINFOHEADER& bih, DWORD frame, DWORD milliseconds);

    int m_colour;
    CDsMediaType m_format;
    DWORD m_frame = 0;
    REFERENCE_TIME m_nextTime = 0;
    bool m_started = false;
};

class CTestCamera : public CFilterBase, public ISpecifyPropertyPages {
public:
    CTestCamera(REFCLSID clsid, int colour) : CFilterBase(clsid), m_dummy(colour == 2)
    {
        InterlockedIncrement(&g_objects);
        AddPin(new CCameraPin(this, colour));
    }
    ~CTestCamera() override { InterlockedDecrement(&g_objects); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_ISpecifyPropertyPages) {
            *ppv = static_cast<ISpecifyPropertyPages*>(this);
            AddRef();
            return S_OK;
        }
        return CFilterBase::QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return CFilterBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CFilterBase::Release(); }

    // A live source: nothing to cue while paused.
    STDMETHODIMP GetState(DWORD timeout, FILTER_STATE* state) override
    {
        HRESULT hr = CFilterBase::GetState(timeout, state);
        return SUCCEEDED(hr) && state && *state == State_Paused ? VFW_S_CANT_CUE : hr;
    }
    STDMETHODIMP Pause() override
    {
        if (m_dummy && ReadSwitch("DummyFailAt") == kDummyFailAtPause)
            return E_FAIL;
        return CFilterBase::Pause();
    }
    STDMETHODIMP Run(REFERENCE_TIME start) override
    {
        if (m_dummy && ReadSwitch("DummyFailAt") == kDummyFailAtRun)
            return E_FAIL;
        return CFilterBase::Run(start);
    }

    // ISpecifyPropertyPages: none of our own; the sheet opens empty.
    STDMETHODIMP GetPages(CAUUID* pages) override
    {
        if (!pages)
            return E_POINTER;
        pages->cElems = 0;
        pages->pElems = NULL;
        return S_OK;
    }

    BOOL IsRunning() const { return m_state == State_Running; }

private:
    BOOL m_dummy;
};

CCameraPin::CCameraPin(CTestCamera* filter, int colour) : CSourceStreamPin(filter, L"Capture"), m_colour(colour)
{
    MakeType(&m_format, 320, 240, kDefaultFrameTime);
}

// A new format on a connected pin is taken the way a capture driver takes
// it: in a stopped graph, when the pin downstream accepts it, by the graph
// connecting the two pins again with it.
STDMETHODIMP CCameraPin::SetFormat(AM_MEDIA_TYPE* pmt)
{
    if (!pmt)
        return E_POINTER;
    if (CheckMediaType(pmt) != S_OK)
        return VFW_E_INVALIDMEDIATYPE;
    const VIDEOINFOHEADER* vih = (const VIDEOINFOHEADER*)pmt->pbFormat;
    CDsMediaType wanted;
    MakeType(&wanted, vih->bmiHeader.biWidth, vih->bmiHeader.biHeight, vih->AvgTimePerFrame);
    if (!IsConnected() || DsMediaTypeEquals(&wanted, &CurrentMediaType()))
        return m_format.Set(&wanted);
    if (Filter()->State() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    IFilterGraph* graph = Filter()->Graph();
    IFilterGraph2* graph2 = NULL;
    if (!graph || FAILED(graph->QueryInterface(IID_IFilterGraph2, (void**)&graph2)))
        return VFW_E_ALREADY_CONNECTED;
    HRESULT hr = GetConnected()->QueryAccept(&wanted) == S_OK ? S_OK : VFW_E_INVALIDMEDIATYPE;
    if (SUCCEEDED(hr)) {
        CDsMediaType previous;
        previous.Set(&m_format);
        m_format.Set(&wanted);
        hr = graph2->ReconnectEx(this, &wanted);
        if (FAILED(hr))
            m_format.Set(&previous);
    }
    graph2->Release();
    return hr;
}

// Waits for the running state and the next frame's time on the graph clock,
// then draws the frame and stamps it with its slot's stream time.
HRESULT CCameraPin::FillBuffer(IMediaSample* sample)
{
    CTestCamera* camera = static_cast<CTestCamera*>(Filter());
    const VIDEOINFOHEADER* vih = (const VIDEOINFOHEADER*)CurrentMediaType().pbFormat;
    const REFERENCE_TIME frameTime = vih->AvgTimePerFrame > 0 ? vih->AvgTimePerFrame : kDefaultFrameTime;
    REFERENCE_TIME now = 0;
    for (;;) {
        if (StopRequested())
            return S_FALSE;
        IReferenceClock* clock = camera->Clock();
        if (camera->IsRunning() && clock) {
            REFERENCE_TIME t = 0;
            clock->GetTime(&t);
            // Stream time is negative until the graph's start time comes.
            now = t - camera->StartTime();
            if (now >= 0 && (!m_started || now < m_nextTime - 20 * frameTime)) {
                m_nextTime = now;   // the first frame, or the clock went back
                m_started = true;
            }
            if (m_started && now >= m_nextTime)
                break;
        }
        Sleep(3);
    }
    // Late by more than a frame: the frames in between are not taken.
    while (m_nextTime + frameTime <= now)
        m_nextTime += frameTime;
    BYTE* bits = NULL;
    sample->GetPointer(&bits);
    // Stamped with its slot on the frame grid: a late frame keeps its slot.
    Draw(bits, vih->bmiHeader, m_frame, (DWORD)(m_nextTime / 10000));
    sample->SetActualDataLength(vih->bmiHeader.biSizeImage);
    REFERENCE_TIME start = m_nextTime, stop = m_nextTime + frameTime;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    // Only the first frame of a run follows a gap.
    sample->SetDiscontinuity(m_frame == 0);
    ++m_frame;
    m_nextTime += frameTime;
    return S_OK;
}

void CCameraPin::Draw(BYTE* bits, const BITMAPINFOHEADER& bih, DWORD frame, DWORD milliseconds)
{
    const LONG width = bih.biWidth, height = bih.biHeight;
    const LONG stride = (width * 3 + 3) & ~3;
    const LONG block = width / kTestCameraBits;
    const BYTE* colour = kTestCameraColour[m_colour];
    const LONG barX = (LONG)(frame % kTestCameraBits) * block;
    for (LONG y = 0; y < height; ++y) {
        // Bottom-up rows: row 0 of the picture is the last in memory.
        BYTE* row = bits + (height - 1 - y) * stride;
        const LONG band = y / block;
        for (LONG x = 0; x < width; ++x) {
            BYTE r = colour[0], g = colour[1], b = colour[2];
            const LONG bit = x / block;
            if (band < 2 && bit < kTestCameraBits) {
                const DWORD value = band == 0 ? frame : milliseconds;
                const BYTE v = (value >> (kTestCameraBits - 1 - bit)) & 1 ? 255 : 0;
                r = g = b = v;
            } else if (band >= 3 && x >= barX && x < barX + block) {
                r = g = b = 255;
            }
            row[x * 3 + 0] = b;
            row[x * 3 + 1] = g;
            row[x * 3 + 2] = r;
        }
    }
}

class CFactory : public IClassFactory {
public:
    explicit CFactory(REFCLSID clsid) : m_clsid(clsid) {}
    virtual ~CFactory() {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_ref); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG r = InterlockedDecrement(&m_ref);
        if (r == 0)
            delete this;
        return r;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (m_clsid == CLSID_TestCameraFormatPage)
            return CreateTestCameraFormatPage(riid, ppv);
        const int colour = m_clsid == CLSID_TestCameraA ? 0 : m_clsid == CLSID_TestCameraB ? 1 : 2;
        return DsCreateFilterObject(new CTestCamera(m_clsid, colour), riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock)
            InterlockedIncrement(&g_locks);
        else
            InterlockedDecrement(&g_locks);
        return S_OK;
    }

private:
    volatile LONG m_ref = 0;
    CLSID m_clsid;
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        SetTestCameraModule(instance);
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    if (clsid != CLSID_TestCameraA && clsid != CLSID_TestCameraB && clsid != CLSID_TestCameraDummy &&
        clsid != CLSID_TestCameraFormatPage)
        return CLASS_E_CLASSNOTAVAILABLE;
    CFactory* factory = new CFactory(clsid);
    factory->AddRef();
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow()
{
    return g_objects == 0 && g_locks == 0 && TestCameraFormatPagesAlive() == 0 ? S_OK : S_FALSE;
}
