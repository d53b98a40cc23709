// The test camera itself: the formats it offers through IAMStreamConfig, the
// frames it delivers on the graph clock, the dummy's failures, and the
// capture pin's format page.
#include "tests/camera/CameraGraphTestUtil.h"
#include "tests/camera/CameraPicture.h"
#include "tests/camera/CameraTestSupport.h"
#include "tests/camera/TestCameraIds.h"

#include <dshow.h>
#include <qedit.h>
#include <string.h>
#include <string>
#include <utility>
#include <vector>

namespace {

// camera -> Sample Grabber -> Null Renderer.
struct CameraGraph {
    Ptr<IGraphBuilder> graph;
    Ptr<IBaseFilter> camera;
    Ptr<IBaseFilter> grabber;
    Ptr<IBaseFilter> renderer;
    Ptr<IMediaControl> control;
    Ptr<IAMStreamConfig> config;
    IPin* out = NULL;

    HRESULT Build(REFCLSID clsid)
    {
        HRESULT hr = CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, (void**)&graph);
        if (SUCCEEDED(hr))
            hr = CoCreateInstance(clsid, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void**)&camera);
        if (SUCCEEDED(hr))
            hr = CoCreateInstance(kSampleGrabber, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void**)&grabber);
        if (SUCCEEDED(hr))
            hr = CoCreateInstance(kNullRenderer, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void**)&renderer);
        if (SUCCEEDED(hr))
            hr = graph->AddFilter(camera.p, L"Camera");
        if (SUCCEEDED(hr))
            hr = graph->AddFilter(grabber.p, L"Grabber");
        if (SUCCEEDED(hr))
            hr = graph->AddFilter(renderer.p, L"Renderer");
        if (SUCCEEDED(hr))
            hr = camera->FindPin(L"Capture", &out);
        if (SUCCEEDED(hr))
            hr = out->QueryInterface(IID_IAMStreamConfig, (void**)&config);
        if (SUCCEEDED(hr))
            hr = graph->QueryInterface(IID_IMediaControl, (void**)&control);
        return hr;
    }
    HRESULT Connect(ISampleGrabberCB* callback)
    {
        Ptr<IEnumPins> pins;
        IPin* in = NULL;
        IPin* gout = NULL;
        IPin* rin = NULL;
        grabber->EnumPins(&pins);
        IPin* pin = NULL;
        while (pins->Next(1, &pin, NULL) == S_OK) {
            PIN_DIRECTION dir;
            pin->QueryDirection(&dir);
            (dir == PINDIR_INPUT ? in : gout) = pin;
        }
        Ptr<IEnumPins> rpins;
        renderer->EnumPins(&rpins);
        rpins->Next(1, &rin, NULL);
        Ptr<ISampleGrabber> sg;
        grabber->QueryInterface(IID_ISampleGrabber, (void**)&sg);
        sg->SetBufferSamples(FALSE);
        sg->SetCallback(callback, 0);
        HRESULT hr = graph->Connect(out, in);
        if (SUCCEEDED(hr))
            hr = graph->Connect(gout, rin);
        in->Release();
        gout->Release();
        rin->Release();
        return hr;
    }
    ~CameraGraph()
    {
        if (control.p)
            control->Stop();
        if (out)
            out->Release();
    }
};

class TestCameraTest : public CameraTest {};

// A page site that records the page's status changes.
class RecordingSite : public IPropertyPageSite {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IPropertyPageSite) {
            *ppv = static_cast<IPropertyPageSite*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&refs); }
    STDMETHODIMP OnStatusChange(DWORD flags) override
    {
        statuses.push_back(flags);
        return S_OK;
    }
    STDMETHODIMP GetLocaleID(LCID* lcid) override
    {
        *lcid = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    STDMETHODIMP GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }

    volatile LONG refs = 1;
    std::vector<DWORD> statuses;
};

BOOL CALLBACK FindSizeListChild(HWND h, LPARAM found)
{
    if (::GetDlgCtrlID(h) != kTestCameraPageSizeList)
        return TRUE;
    *(HWND*)found = h;
    return FALSE;
}

std::vector<std::string> ListEntries(HWND list)
{
    std::vector<std::string> entries;
    const int count = (int)::SendMessageA(list, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        char text[64] = "";
        ::SendMessageA(list, CB_GETLBTEXT, (WPARAM)i, (LPARAM)text);
        entries.push_back(text);
    }
    return entries;
}

// Width and height of the pin's present format.
std::pair<LONG, LONG> CurrentSize(IAMStreamConfig* config)
{
    AM_MEDIA_TYPE* mt = NULL;
    if (FAILED(config->GetFormat(&mt)) || !mt)
        return {0, 0};
    const BITMAPINFOHEADER& bih = ((const VIDEOINFOHEADER*)mt->pbFormat)->bmiHeader;
    const std::pair<LONG, LONG> size(bih.biWidth, bih.biHeight);
    CoTaskMemFree(mt->pbFormat);
    CoTaskMemFree(mt);
    return size;
}

TEST_F(TestCameraTest, OffersThreeSizesAndTakesTheOneSet)
{
    CameraGraph g;
    ASSERT_EQ(S_OK, g.Build(CLSID_TestCameraA));
    int count = 0, size = 0;
    ASSERT_EQ(S_OK, g.config->GetNumberOfCapabilities(&count, &size));
    // Indexes 0 and 1 keep their sizes: the camera tests pick them by index.
    const LONG sizes[3][2] = {{320, 240}, {160, 120}, {640, 480}};
    ASSERT_EQ(3, count);
    EXPECT_EQ((int)sizeof(VIDEO_STREAM_CONFIG_CAPS), size);
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        AM_MEDIA_TYPE* mt = NULL;
        VIDEO_STREAM_CONFIG_CAPS caps;
        ASSERT_EQ(S_OK, g.config->GetStreamCaps(i, &mt, (BYTE*)&caps));
        const VIDEOINFOHEADER* vih = (const VIDEOINFOHEADER*)mt->pbFormat;
        EXPECT_EQ(sizes[i][0], vih->bmiHeader.biWidth);
        EXPECT_EQ(sizes[i][1], vih->bmiHeader.biHeight);
        EXPECT_EQ(sizes[i][0], caps.MaxOutputSize.cx);
        EXPECT_EQ(sizes[i][1], caps.MaxOutputSize.cy);
        EXPECT_EQ(666667, vih->AvgTimePerFrame);
        EXPECT_EQ(333333, caps.MinFrameInterval);
        EXPECT_TRUE(mt->subtype == MEDIASUBTYPE_RGB24);
        CoTaskMemFree(mt->pbFormat);
        CoTaskMemFree(mt);
    }
    AM_MEDIA_TYPE* none = NULL;
    VIDEO_STREAM_CONFIG_CAPS caps;
    EXPECT_EQ(S_FALSE, g.config->GetStreamCaps(count, &none, (BYTE*)&caps)) << "past the last size";
    AM_MEDIA_TYPE* current = NULL;
    ASSERT_EQ(S_OK, g.config->GetFormat(&current));
    EXPECT_EQ(320, ((VIDEOINFOHEADER*)current->pbFormat)->bmiHeader.biWidth);
    // An unsupported size is refused and changes nothing.
    ((VIDEOINFOHEADER*)current->pbFormat)->bmiHeader.biWidth = 800;
    ((VIDEOINFOHEADER*)current->pbFormat)->bmiHeader.biHeight = 600;
    EXPECT_NE(S_OK, g.config->SetFormat(current));
    CoTaskMemFree(current->pbFormat);
    CoTaskMemFree(current);
    ASSERT_EQ(S_OK, g.config->GetFormat(&current));
    EXPECT_EQ(320, ((VIDEOINFOHEADER*)current->pbFormat)->bmiHeader.biWidth);
    CoTaskMemFree(current->pbFormat);
    CoTaskMemFree(current);
}

// Frames come at the set size, one frame number after the other, a frame
// time apart on the graph clock (66.7 ms by default, 33.3 ms when 30 frames
// per second are set), with the picture's time matching.
TEST_F(TestCameraTest, DeliversNumberedFramesAtTheSetRate)
{
    struct Case {
        REFCLSID clsid;
        int capsIndex;
        LONG width, height;
        REFERENCE_TIME frameTime;
        int colour;
    } cases[] = {{CLSID_TestCameraA, 0, 320, 240, 666667, 0},
                 {CLSID_TestCameraB, 1, 160, 120, 666667, 1},
                 {CLSID_TestCameraA, 2, 640, 480, 333333, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        CameraGraph g;
        ASSERT_EQ(S_OK, g.Build(c.clsid));
        AM_MEDIA_TYPE* mt = NULL;
        VIDEO_STREAM_CONFIG_CAPS caps;
        ASSERT_EQ(S_OK, g.config->GetStreamCaps(c.capsIndex, &mt, (BYTE*)&caps));
        ((VIDEOINFOHEADER*)mt->pbFormat)->AvgTimePerFrame = c.frameTime;
        ASSERT_EQ(S_OK, g.config->SetFormat(mt));
        CoTaskMemFree(mt->pbFormat);
        CoTaskMemFree(mt);
        FrameCollector collector;
        collector.width = c.width;
        collector.height = c.height;
        ASSERT_EQ(S_OK, g.Connect(&collector));
        ASSERT_TRUE(SUCCEEDED(g.control->Run()));
        const DWORD begin = GetTickCount();
        while (collector.Take().size() < 12 && GetTickCount() - begin < 20000)
            Sleep(20);
        g.control->Stop();
        std::vector<FrameCollector::Frame> frames = collector.Take();
        ASSERT_GE(frames.size(), 12u);
        int jumps = 0;
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_TRUE(frames[i].picture.readable) << "frame " << i;
            EXPECT_EQ((long)(((c.width * 3 + 3) & ~3) * c.height), frames[i].length);
            EXPECT_EQ(frames[i].start / 10000, (LONGLONG)frames[i].picture.milliseconds) << "frame " << i;
            EXPECT_EQ(kTestCameraColour[c.colour][0], frames[i].picture.background[0]);
            EXPECT_EQ(kTestCameraColour[c.colour][1], frames[i].picture.background[1]);
            EXPECT_EQ(kTestCameraColour[c.colour][2], frames[i].picture.background[2]);
            if (i == 0)
                continue;
            EXPECT_EQ(frames[i - 1].picture.frame + 1, frames[i].picture.frame) << "frame " << i;
            const REFERENCE_TIME step = frames[i].start - frames[i - 1].start;
            // Slots of one frame time; the machine is loaded, so a late frame
            // may leave a slot out.
            EXPECT_GE(step, c.frameTime) << "frame " << i;
            EXPECT_EQ(0, step % c.frameTime) << "frame " << i;
            if (step > c.frameTime)
                ++jumps;
        }
        EXPECT_LE(jumps, (int)frames.size() / 2);
        EXPECT_EQ(0u, frames[0].picture.frame);
    }
}

// The capture pin names the format page; the page, made through the
// registered class, takes only a stream config, lists the pin's sizes with
// the present one selected, turns dirty on another choice and sets it on
// Apply: on a free pin, and on a pin connected in a stopped graph (which
// connects again with the new size); a paused graph refuses the change.
TEST_F(TestCameraTest, FormatPageListsTheSizesAndAppliesTheChosenOne)
{
    enum Pin { kFree, kConnectedStopped, kConnectedPaused };
    const struct {
        Pin pin;
        HRESULT apply;
        LONG width;
    } cases[] = {{kFree, S_OK, 160}, {kConnectedStopped, S_OK, 160}, {kConnectedPaused, VFW_E_NOT_STOPPED, 320}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pin);
        CameraGraph g;
        ASSERT_EQ(S_OK, g.Build(CLSID_TestCameraA));
        Ptr<ISpecifyPropertyPages> specify;
        ASSERT_EQ(S_OK, g.out->QueryInterface(IID_ISpecifyPropertyPages, (void**)&specify));
        CAUUID pages = {0, NULL};
        ASSERT_EQ(S_OK, specify->GetPages(&pages));
        ASSERT_EQ(1u, pages.cElems);
        EXPECT_TRUE(pages.pElems[0] == CLSID_TestCameraFormatPage);
        CoTaskMemFree(pages.pElems);

        Ptr<IPropertyPage> page;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_TestCameraFormatPage, NULL, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                         (void**)&page));
        PROPPAGEINFO info;
        memset(&info, 0, sizeof(info));
        ASSERT_EQ(S_OK, page->GetPageInfo(&info));
        EXPECT_EQ(sizeof(PROPPAGEINFO), info.cb);
        EXPECT_STREQ(TEST_CAMERA_FORMAT_PAGE_TITLE, info.pszTitle);
        EXPECT_GT(info.size.cx, 0);
        EXPECT_GT(info.size.cy, 0);
        CoTaskMemFree(info.pszTitle);
        EXPECT_EQ(E_POINTER, page->GetPageInfo(NULL));

        HWND parent = ::CreateWindowExA(0, "STATIC", "page parent", WS_POPUP | WS_VISIBLE, 0, 0, 300, 120, NULL, NULL,
                                        NULL, NULL);
        ASSERT_TRUE(parent != NULL);
        const RECT area = {4, 6, 4 + info.size.cx, 6 + info.size.cy};
        EXPECT_EQ(E_UNEXPECTED, page->Activate(parent, &area, TRUE)) << "no object yet";
        IUnknown* filterOnly[] = {g.camera.p};
        EXPECT_EQ(E_NOINTERFACE, page->SetObjects(1, filterOnly)) << "a filter is no stream config";
        EXPECT_EQ(E_POINTER, page->SetObjects(1, NULL));
        EXPECT_EQ(E_UNEXPECTED, page->Activate(parent, &area, TRUE)) << "the refused object was not taken";

        RecordingSite site;
        ASSERT_EQ(S_OK, page->SetPageSite(&site));
        EXPECT_EQ(E_UNEXPECTED, page->SetPageSite(&site)) << "one site at a time";
        IUnknown* objects[] = {g.config.p};
        ASSERT_EQ(S_OK, page->SetObjects(1, objects));
        FrameCollector collector;
        if (c.pin != kFree) {
            ASSERT_EQ(S_OK, g.Connect(&collector));
            if (c.pin == kConnectedPaused)
                ASSERT_TRUE(SUCCEEDED(g.control->Pause()));
        }
        ASSERT_EQ(S_OK, page->Activate(parent, &area, TRUE));
        EXPECT_EQ(E_UNEXPECTED, page->Activate(parent, &area, TRUE)) << "active already";
        EXPECT_EQ(S_OK, page->Show(SW_SHOW));
        HWND list = NULL;
        ::EnumChildWindows(parent, &FindSizeListChild, (LPARAM)&list);
        ASSERT_TRUE(list != NULL);
        EXPECT_TRUE(::IsWindowVisible(list));

        // The list holds what the pin offers, however many sizes that is.
        std::vector<std::string> offered;
        int count = 0, capsSize = 0, small = -1;
        ASSERT_EQ(S_OK, g.config->GetNumberOfCapabilities(&count, &capsSize));
        for (int i = 0; i < count; ++i) {
            AM_MEDIA_TYPE* mt = NULL;
            VIDEO_STREAM_CONFIG_CAPS caps;
            ASSERT_EQ(S_OK, g.config->GetStreamCaps(i, &mt, (BYTE*)&caps));
            const BITMAPINFOHEADER& bih = ((const VIDEOINFOHEADER*)mt->pbFormat)->bmiHeader;
            offered.push_back(std::to_string(bih.biWidth) + " x " + std::to_string(bih.biHeight));
            if (bih.biWidth == 160 && bih.biHeight == 120)
                small = i;
            CoTaskMemFree(mt->pbFormat);
            CoTaskMemFree(mt);
        }
        ASSERT_GE(small, 0);
        EXPECT_EQ(offered, ListEntries(list));
        EXPECT_EQ(0, (int)::SendMessageA(list, CB_GETCURSEL, 0, 0)) << "320 x 240, the pin's size";
        EXPECT_EQ(S_FALSE, page->IsPageDirty());

        // The choice the list reports to its dialog, as a click would.
        ::SendMessageA(list, CB_SETCURSEL, (WPARAM)small, 0);
        ::SendMessageA(::GetParent(list), WM_COMMAND, MAKEWPARAM(kTestCameraPageSizeList, CBN_SELCHANGE),
                       (LPARAM)list);
        EXPECT_EQ(S_OK, page->IsPageDirty());
        ASSERT_FALSE(site.statuses.empty());
        EXPECT_TRUE(site.statuses.back() & PROPPAGESTATUS_DIRTY);
        EXPECT_EQ(320, CurrentSize(g.config.p).first) << "nothing is set before Apply";

        EXPECT_EQ(c.apply, page->Apply());
        EXPECT_EQ(c.width, CurrentSize(g.config.p).first);
        EXPECT_EQ(c.width * 3 / 4, CurrentSize(g.config.p).second);
        EXPECT_EQ(c.apply == S_OK ? S_FALSE : S_OK, page->IsPageDirty());
        if (c.pin != kFree) {
            AM_MEDIA_TYPE connected;
            ASSERT_EQ(S_OK, g.out->ConnectionMediaType(&connected)) << "still connected";
            EXPECT_EQ(c.width, ((const VIDEOINFOHEADER*)connected.pbFormat)->bmiHeader.biWidth);
            CoTaskMemFree(connected.pbFormat);
        }

        const RECT moved = {10, 12, 10 + info.size.cx, 12 + info.size.cy};
        EXPECT_EQ(S_OK, page->Move(&moved));
        RECT now;
        ::GetWindowRect(::GetParent(list), &now);
        ::MapWindowPoints(NULL, parent, (POINT*)&now, 2);
        EXPECT_EQ(10, now.left);
        EXPECT_EQ(12, now.top);
        EXPECT_EQ(E_POINTER, page->TranslateAccelerator(NULL));
        MSG key = {list, WM_KEYDOWN, VK_DOWN, 0, 0, {0, 0}};
        EXPECT_EQ(S_FALSE, page->TranslateAccelerator(&key)) << "the frame's dialog handling moves the keys";

        EXPECT_EQ(S_OK, page->Deactivate());
        EXPECT_FALSE(::IsWindow(list));
        EXPECT_EQ(E_UNEXPECTED, page->Deactivate());
        EXPECT_EQ(E_UNEXPECTED, page->Show(SW_SHOW));
        EXPECT_EQ(E_UNEXPECTED, page->Move(&moved));
        EXPECT_EQ(S_OK, page->SetObjects(0, NULL));
        EXPECT_EQ(S_OK, page->SetPageSite(NULL));
        page->Release();
        page.p = NULL;
        EXPECT_EQ(1, site.refs) << "the page let its site go";
        ::DestroyWindow(parent);
    }
}

TEST_F(TestCameraTest, DummyFailsAtTheStateItIsSetTo)
{
    struct Case {
        DWORD failAt;
        bool pauseFails;
        bool runFails;
    } cases[] = {{kDummyFailNever, false, false}, {kDummyFailAtPause, true, true}, {kDummyFailAtRun, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failAt);
        SetDummyCameraFailure(c.failAt);
        Ptr<IBaseFilter> dummy;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_TestCameraDummy, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                         (void**)&dummy));
        EXPECT_EQ(c.pauseFails, FAILED(dummy->Pause()));
        EXPECT_EQ(c.runFails, FAILED(dummy->Run(0)));
        dummy->Stop();
    }
}

}  // namespace
