// The test camera itself: the formats it offers through IAMStreamConfig, the
// frames it delivers on the graph clock, and the dummy's failures.
#include "tests/camera/CameraGraphTestUtil.h"
#include "tests/camera/CameraPicture.h"
#include "tests/camera/CameraTestSupport.h"
#include "tests/camera/TestCameraIds.h"

#include <dshow.h>
#include <qedit.h>
#include <string.h>
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
