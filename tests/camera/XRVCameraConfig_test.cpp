// The camera graph on the test camera: the Windows Media road with pushed
// sound through start, pause, resume and stop, read back by ffprobe and
// ffmpeg; a failing camera; the profile folder.
// std strings come before the DirectShow headers.
#include <sstream>
#include <string>
#include <vector>

#include "camera/XRVCameraConfig.h"
#include "tests/camera/CameraPicture.h"
#include "tests/camera/CameraTestSupport.h"
#include "tests/camera/TestCameraIds.h"

#include "MediaTestUtil.h"
#include "TestSupport.h"
#include "platform/camkit/CamKit.h"
#include "XRVDirectShow/GraphUtil.h"

#include <dshow.h>
#include <math.h>

using namespace testsupport;

namespace {

const char kWithoutAudio[] = "Skorvale Studio Camera Video (CBR)";
const char kWithAudio[] = "Skorvale Studio Camera Video and Audio (CBR)";

std::string ShippedProfiles() { return SourceDir() + "\\resources\\Windows Media Profiles"; }

CString Narrow(LPCWSTR text) { return CString(CStringW(text)); }

// Runs a host command and returns its output lines.
std::vector<std::string> HostLines(const std::string& command)
{
    std::string out;
    RunHost(command, &out);
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

// Pushes half-second buffers of a 440 Hz tone in real time.
void PushTone(IXrvPushSource* push, int buffers, int* sent)
{
    for (int i = 0; i < buffers; ++i) {
        const std::string pcm = mediatest::Sine16(22050, 1, 440, 0.5, 0.5);
        EXPECT_EQ(S_OK, push->Push((const BYTE*)pcm.data(), (LONG)pcm.size())) << "buffer " << *sent;
        ++*sent;
        Sleep(500);
    }
}

class XRVCameraConfigTest : public CameraTest {
protected:
    void SetUp() override
    {
        CameraTest::SetUp();
        camera.reset(new XRVCameraConfig("3.0", kTestKeyFormat, kTestSection));
        camera->SetProfileNames(kWithoutAudio, kWithAudio, ShippedProfiles().c_str());
    }
    void TearDown() override
    {
        camera.reset();
        CameraTest::TearDown();
    }
    std::unique_ptr<XRVCameraConfig> camera;
};

TEST_F(XRVCameraConfigTest, StopWithoutStartAndStartWhileCapturing)
{
    EXPECT_FALSE(camera->StopCapture(TRUE, 5000)) << "neither capturing nor prepared";
    ASSERT_TRUE(camera->GetSettings()->SelectDevice(Narrow(TEST_CAMERA_A_NAME)));
    ScratchDir dir("vxcam");
    camera->SetCodecFlag(FALSE);
    camera->SetOutputName(dir.File("a_Camera.wmv").c_str());
    ASSERT_TRUE(camera->StartCapture(TRUE, 5000, FALSE, NULL));
    EXPECT_TRUE(camera->IsCapturing());
    EXPECT_TRUE(camera->StartCapture(TRUE, 5000, FALSE, NULL)) << "already capturing";
    EXPECT_FALSE(camera->StartPreview(NULL)) << "the preview is refused while recording";
    EXPECT_TRUE(camera->StopCapture(TRUE, 5000));
    EXPECT_FALSE(camera->IsCapturing());
    EXPECT_FALSE(camera->IsRecordGraphBuilt());
}

// The graph ends in the Windows Media writer named "Kestravon Avi Mux", with
// the frame skip and the grabber after the camera, no tee without a window.
TEST_F(XRVCameraConfigTest, DefaultCodecGraphEndsInTheWindowsMediaWriter)
{
    ASSERT_TRUE(camera->GetSettings()->SelectDevice(Narrow(TEST_CAMERA_A_NAME)));
    ScratchDir dir("vxcam");
    camera->SetCodecFlag(TRUE);
    camera->SetPushSourceAudio(TRUE);
    camera->SetOutputName(dir.File("b_Camera.wmv").c_str());
    ASSERT_TRUE(camera->StartCapture(FALSE, 5000, TRUE, NULL));
    EXPECT_TRUE(camera->IsPrepared());
    struct Case {
        LPCWSTR name;
        bool present;
    } cases[] = {
        {L"Kestravon Avi Mux", true},          {L"Kestravon Frame Skip Filter", true},
        {L"SampleGrabber", true},              {TEST_CAMERA_A_NAME, true},
        {L"Audio FrameSkipper", true},         {L"Kestravon SimplePushBitmap Source", true},
        {L"Video Tee Filter", false},          {L"Kestravon File Writer", false},
        {L"Kestravon Audio Capture Source", false},
    };
    for (const Case& c : cases) {
        IBaseFilter* f = NULL;
        const HRESULT hr = camera->Graph()->FindFilterByName(c.name, &f);
        EXPECT_EQ(c.present, SUCCEEDED(hr)) << CString(CStringW(c.name)).GetString();
        if (f) {
            if (wcscmp(c.name, L"Kestravon Avi Mux") == 0) {
                CLSID clsid;
                f->GetClassID(&clsid);
                EXPECT_TRUE(clsid == CLSID_WMAsfWriter);
            }
            f->Release();
        }
    }
    IXrvPushSource* push = camera->GetPushSource();
    ASSERT_TRUE(push != NULL);
    WAVEFORMATEX wf;
    push->GetFormat(&wf);
    EXPECT_EQ(0, wf.cbSize);
    push->Release();
    EXPECT_TRUE(camera->StopCapture(TRUE, 5000));
}

// Start, pause for a second, resume and stop, as the recorder engine does:
// the file is an ASF at 320x240 and 15/s with a frame for each 1/15 s
// recorded (the pause records nothing), the picture's counter rising by one
// and the times by a frame; every pushed buffer of the tone is in the
// sound. The wait for each state change ends on the graph's own state.
TEST_F(XRVCameraConfigTest, RecordsTheCameraWithPushedSoundThroughAPause)
{
    ASSERT_TRUE(camera->GetSettings()->SelectDevice(Narrow(TEST_CAMERA_A_NAME)));
    ScratchDir dir("vxcam");
    const std::string file = dir.File("rec_Camera.wmv");
    camera->SetCodecFlag(TRUE);
    camera->SetPushSourceAudio(TRUE);
    const WAVEFORMATEX format = mediatest::PcmFormat(22050, 1, 16);
    camera->SetAudioFormat(&format);
    camera->SetOutputName(file.c_str());
    ASSERT_TRUE(camera->StartCapture(FALSE, 5000, TRUE, NULL));
    IXrvPushSource* push = camera->GetPushSource();
    ASSERT_TRUE(push != NULL);
    int sent = 0;
    const DWORD t0 = GetTickCount();
    ASSERT_TRUE(camera->StartCapture(TRUE, 5000, FALSE, NULL));
    EXPECT_LT(GetTickCount() - t0, 4000u) << "the run's wait ends on the graph state";
    PushTone(push, 4, &sent);
    ASSERT_TRUE(camera->PauseCapture(TRUE, 5000));
    Sleep(1000);
    ASSERT_TRUE(camera->StartCapture(TRUE, 5000, FALSE, NULL));
    PushTone(push, 4, &sent);
    const DWORD s0 = GetTickCount();
    ASSERT_TRUE(camera->StopCapture(TRUE, 5000));
    EXPECT_LT(GetTickCount() - s0, 4500u) << "the stop's wait ends on the graph state";
    EXPECT_EQ(S_FALSE, push->Push((const BYTE*)"\0\0", 2)) << "a stopped graph refuses at once";
    push->Release();

    const std::string unix = UnixPath(file);
    const std::vector<std::string> container =
        HostLines("ffprobe -v error -show_entries format=format_name -of csv=p=0 '" + unix + "'");
    ASSERT_EQ(1u, container.size());
    EXPECT_EQ("asf", container[0]);
    std::vector<std::string> video = HostLines("ffprobe -v error -select_streams v:0 -show_entries "
                                               "stream=width,height,r_frame_rate -of csv=p=0 '" + unix + "'");
    ASSERT_EQ(1u, video.size());
    EXPECT_EQ("320,240,15/1", video[0]);
    std::vector<std::string> times = HostLines("ffprobe -v error -select_streams v:0 -show_entries frame=pts_time "
                                               "-of csv=p=0 '" + unix + "'");
    // About four seconds recorded at 15 frames per second.
    EXPECT_GE((int)times.size(), 4 * 15 - 8);
    EXPECT_LE((int)times.size(), 4 * 15 + 8);
    // Our Windows Media writer lays the frames on the profile's frame grid.
    for (size_t i = 1; i < times.size(); ++i) {
        const double step = atof(times[i].c_str()) - atof(times[i - 1].c_str());
        EXPECT_NEAR(0.0667, step, 0.002) << "frame " << i;
    }
    std::string joined;
    for (const std::string& t : times)
        joined += t + " ";
    SCOPED_TRACE("frame times: " + joined);

    // The pictures: counters rise by one (a couple of drops allowed).
    const std::string raw = dir.File("frames.rgb");
    std::string out;
    ASSERT_EQ(0, RunHost("ffmpeg -v error -y -i '" + unix + "' -vsync passthrough -f rawvideo -pix_fmt bgr24 '" + UnixPath(raw) + "'",
                         &out))
        << out;
    std::string frames;
    ASSERT_TRUE(ReadFileBytes(raw, &frames));
    const size_t frameBytes = 320 * 240 * 3;
    ASSERT_GT(frames.size(), frameBytes);
    std::vector<BYTE> flipped(frameBytes);
    int drops = 0, repeats = 0;
    DWORD previous = 0;
    for (size_t f = 0; f * frameBytes + frameBytes <= frames.size(); ++f) {
        // ffmpeg's rows go top-down; the reader takes bottom-up rows.
        for (int y = 0; y < 240; ++y)
            memcpy(&flipped[(239 - y) * 960], frames.data() + f * frameBytes + y * 960, 960);
        const CameraPicture p = ReadCameraPicture(flipped.data(), 320, 240);
        EXPECT_TRUE(p.readable) << "frame " << f;
        if (f > 0) {
            EXPECT_GE(p.frame, previous) << "frame " << f;
            if (p.frame == previous)
                ++repeats;   // the grid's first or last slot held over
            else
                drops += (int)(p.frame - previous - 1);
        }
        previous = p.frame;
    }
    EXPECT_LE(drops, 2);
    EXPECT_LE(repeats, 2);

    // The sound: PCM, as long as the video within half a second, the tone.
    EXPECT_EQ("pcm_s16le", HostLines("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name "
                                     "-of csv=p=0 '" + unix + "'")
                               .at(0));
    const std::vector<int> samples = mediatest::DecodeAudio16(file, dir.File("sound.raw"), 22050);
    const double soundSeconds = samples.size() / 22050.0;
    const double videoSeconds = times.empty() ? 0 : atof(times.back().c_str()) - atof(times.front().c_str());
    EXPECT_NEAR(sent * 0.5, soundSeconds, 0.05) << "every pushed buffer is in the file";
    EXPECT_NEAR(videoSeconds, soundSeconds, 0.5);
    size_t loud = 0;
    EXPECT_NEAR(440.0, mediatest::LoudToneFrequency(samples, 22050, &loud), 5.0);
}

// Without pushed sound the graph records the sound input itself: Wine's
// capture filter offers no pin, so our source over waveIn takes its place.
// The tone played into the sound server is in the camera file, placed where
// it was recorded: the input starts late (over a second under Wine), and its
// sound begins that much into the file and ends with the pictures.
TEST_F(XRVCameraConfigTest, RecordsTheSoundInputWhenNothingIsPushed)
{
    ASSERT_TRUE(camera->GetSettings()->SelectDevice(Narrow(TEST_CAMERA_A_NAME)));
    ScratchDir dir("vxcam");
    const std::string file = dir.File("input_Camera.wmv");
    camera->SetCodecFlag(TRUE);
    camera->SetPushSourceAudio(FALSE);
    const WAVEFORMATEX format = mediatest::PcmFormat(22050, 1, 16);
    camera->SetAudioFormat(&format);
    camera->SetOutputName(file.c_str());
    ASSERT_TRUE(mediatest::PlayToneInBackground(440, 8.0, 0.5));
    ASSERT_TRUE(camera->StartCapture(FALSE, 5000, TRUE, NULL));
    EXPECT_TRUE(camera->GetPushSource() == NULL) << "nothing to push into";
    {
        CComPtr<IBaseFilter> source;
        ASSERT_EQ(S_OK, camera->Graph()->FindFilterByName(L"Kestravon Audio Capture Source", &source.p));
        CComPtr<IPin> out;
        EXPECT_EQ(S_OK, FindOutputPin(source, &out.p, 0)) << "the source in the graph has a pin";
        CComPtr<IPin> to;
        EXPECT_EQ(S_OK, out->ConnectedTo(&to.p));
    }
    ASSERT_TRUE(camera->StartCapture(TRUE, 5000, FALSE, NULL));
    Sleep(5000);
    ASSERT_TRUE(camera->StopCapture(TRUE, 5000));

    const std::string unix = UnixPath(file);
    EXPECT_EQ("pcm_s16le", HostLines("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name "
                                     "-of csv=p=0 '" + unix + "'")
                               .at(0));
    const std::vector<std::string> frames = HostLines("ffprobe -v error -select_streams v:0 -show_entries "
                                                      "frame=pts_time -of csv=p=0 '" + unix + "'");
    ASSERT_GE(frames.size(), 50u);
    const double videoEnd = atof(frames.back().c_str()) + 1 / 15.0;
    // Each sound packet: its time and size (16-bit mono, 22050 Hz).
    const std::vector<std::string> packets = HostLines("ffprobe -v error -select_streams a:0 -show_entries "
                                                       "packet=pts_time,size -of csv=p=0 '" + unix + "'");
    ASSERT_FALSE(packets.empty());
    const double soundStart = atof(packets.front().c_str());
    const double soundEnd = atof(packets.back().c_str()) +
                            atof(packets.back().substr(packets.back().find(',') + 1).c_str()) / 44100.0;
    EXPECT_GE(soundStart, 0.0);
    EXPECT_NEAR(videoEnd, soundEnd, 0.5) << "the sound ends with the pictures; it began at " << soundStart << " s";
    const std::vector<int> samples = mediatest::DecodeAudio16(file, dir.File("sound.raw"), 22050);
    EXPECT_NEAR(soundEnd - soundStart, samples.size() / 22050.0, 0.1) << "no gap inside the sound";
    size_t loud = 0;
    EXPECT_NEAR(440.0, mediatest::LoudToneFrequency(samples, 22050, &loud), 5.0);
    EXPECT_GT(loud, samples.size() / 2) << "the tone fills most of the sound";
}

// The program keeps one camera object: each recording of a session, on
// either road, gets the pictures (a second graph built in the stopped first
// one passed none).
TEST_F(XRVCameraConfigTest, EveryRecordingOfTheSameCameraObjectHasPictures)
{
    ASSERT_TRUE(camera->GetSettings()->SelectDevice(Narrow(TEST_CAMERA_A_NAME)));
    ScratchDir dir("vxcam");
    struct Case {
        const char* codec;
        const char* file;
        const char* container;
    } cases[] = {
        {NULL, "first_Camera.wmv", "asf"},
        {NULL, "second_Camera.wmv", "asf"},
        {"Kestravon Screen Capture Codec", "third_Camera.avi", "avi"},
        {NULL, "fourth_Camera.wmv", "asf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_TRUE(camera->SetCodec(c.codec ? CString(c.codec) : CameraSettings::DefaultCodecName()));
        const std::string file = dir.File(c.file);
        camera->SetCodecFlag(FALSE);
        camera->SetOutputName(file.c_str());
        ASSERT_TRUE(camera->StartCapture(TRUE, 5000, FALSE, NULL));
        Sleep(2000);
        ASSERT_TRUE(camera->StopCapture(TRUE, 5000));
        const std::string unix = UnixPath(file);
        const std::vector<std::string> format =
            HostLines("ffprobe -v error -show_entries format=format_name -of csv=p=0 '" + unix + "'");
        ASSERT_EQ(1u, format.size());
        EXPECT_NE(std::string::npos, format[0].find(c.container)) << format[0];
        // Packets: ffmpeg has no decoder for the xrvc pictures.
        const std::vector<std::string> frames = HostLines("ffprobe -v error -select_streams v:0 -count_packets "
                                                          "-show_entries stream=nb_read_packets -of csv=p=0 '" +
                                                          unix + "'");
        ASSERT_EQ(1u, frames.size());
        EXPECT_GE(atoi(frames[0].c_str()), 2 * 15 - 8) << "about two seconds of pictures";
    }
}

TEST_F(XRVCameraConfigTest, FailingCameraEndsTheStartWithFalse)
{
    struct Case {
        DWORD failAt;
        BOOL pauseAfterBuilding;
    } cases[] = {{kDummyFailAtPause, TRUE}, {kDummyFailAtRun, FALSE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failAt);
        SetDummyCameraFailure(c.failAt);
        ASSERT_TRUE(camera->GetSettings()->SelectDevice(Narrow(TEST_CAMERA_DUMMY_NAME)));
        ScratchDir dir("vxcam");
        camera->SetCodecFlag(FALSE);
        camera->SetOutputName(dir.File("c_Camera.wmv").c_str());
        EXPECT_FALSE(camera->StartCapture(TRUE, 5000, c.pauseAfterBuilding, NULL));
        EXPECT_FALSE(camera->IsCapturing());
        camera->StopCapture(FALSE, 5000);
    }
}

TEST_F(XRVCameraConfigTest, ProfileFolderFallsBackToTheProgramFolder)
{
    const CString folder = XRVCameraConfig::GetProfileFolder();
    char module[MAX_PATH];
    GetModuleFileNameA(NULL, module, MAX_PATH);
    CString expected(module);
    expected = expected.Left(expected.ReverseFind('\\') + 1) + "Windows Media Profiles";
    EXPECT_STREQ(expected, folder) << "no App Paths entry in the test prefix";
}

// The settings the engine gives per recording, the lists and the size.
TEST_F(XRVCameraConfigTest, RecordingSettingsListsAndSize)
{
    // The sound format: six fields copied, the extra-size word kept.
    WAVEFORMATEX wf = mediatest::PcmFormat(44100, 2, 16);
    wf.cbSize = 22;
    camera->SetAudioFormat(&wf);
    const WAVEFORMATEX& kept = camera->GetSettings()->m_audioFormat;
    EXPECT_EQ(44100u, kept.nSamplesPerSec);
    EXPECT_EQ(2, kept.nChannels);
    EXPECT_EQ(176400u, kept.nAvgBytesPerSec);
    EXPECT_EQ(4, kept.nBlockAlign);
    EXPECT_EQ(16, kept.wBitsPerSample);
    EXPECT_EQ(WAVE_FORMAT_PCM, kept.wFormatTag);
    EXPECT_EQ(0xFFFF, kept.cbSize);

    int w = 0, h = 0;
    ASSERT_TRUE(camera->GetVideoSize(&w, &h));
    EXPECT_EQ(320, w);
    EXPECT_EQ(240, h);

    // The device list: both cameras, never our own driver; cached.
    CStringArray devices;
    camera->BuildDeviceList(&devices);
    ASSERT_EQ(2, devices.GetSize());
    for (INT_PTR i = 0; i < devices.GetSize(); ++i)
        EXPECT_STRNE("Skorvale Studio Video Capture Driver", devices[i]);
    UseCameras(kCameraA);
    camera->BuildDeviceList(&devices);
    EXPECT_EQ(2, devices.GetSize()) << "the list is built once";
    UseCameras(kCamerasAll);

    // Without the list-compressors flag the codec list is the default entry.
    CStringArray codecs;
    camera->BuildCodecList(&codecs);
    ASSERT_EQ(1, codecs.GetSize());
    EXPECT_STREQ("默认编码", codecs[0]);
    EXPECT_TRUE(camera->UsesDefaultCodec());

    // A camera is picked only when none is set.
    EXPECT_TRUE(camera->GetDeviceName().IsEmpty());
    EXPECT_FALSE(camera->EnsureDevice(FALSE));
    EXPECT_TRUE(camera->EnsureDevice(TRUE));
    EXPECT_STREQ(devices[0], camera->GetDeviceName());
    EXPECT_FALSE(camera->SetDevice("No Such Camera"));
    EXPECT_STREQ(devices[0], camera->GetDeviceName());
}

// The preview: a second start while it runs answers TRUE; the recording's
// start stops it first; the stop of a preview that does not run is harmless.
TEST_F(XRVCameraConfigTest, PreviewStartsOnceAndGivesWayToARecording)
{
    ASSERT_TRUE(camera->GetSettings()->SelectDevice(Narrow(TEST_CAMERA_B_NAME)));
    camera->StopPreview();
    EXPECT_FALSE(camera->IsPreviewRunning());
    ASSERT_TRUE(camera->StartPreview(NULL));
    EXPECT_TRUE(camera->IsPreviewRunning());
    EXPECT_TRUE(camera->StartPreview(NULL));
    ScratchDir dir("vxcam");
    camera->SetCodecFlag(FALSE);
    camera->SetOutputName(dir.File("p_Camera.wmv").c_str());
    camera->StopPreview();
    EXPECT_FALSE(camera->IsPreviewRunning());
    ASSERT_TRUE(camera->StartCapture(TRUE, 5000, FALSE, NULL));
    EXPECT_FALSE(camera->StartPreview(NULL)) << "refused while recording";
    EXPECT_TRUE(camera->StopCapture(TRUE, 5000));
    EXPECT_TRUE(camera->StartPreview(NULL)) << "free again";
    camera->StopPreview();
}

// A compressor chosen for the camera: the graph ends in the compressor, the
// AVI mux and the file writer, and writes an xrvc AVI at the camera's size
// and rate with a key frame every 30 frames (the stored settings reach the
// compressor), over an older file.
TEST_F(XRVCameraConfigTest, CompressorRoadWritesAnXrvcAvi)
{
    ASSERT_TRUE(camera->GetSettings()->SelectDevice(Narrow(TEST_CAMERA_A_NAME)));
    ASSERT_TRUE(camera->SetCodec("Kestravon Screen Capture Codec")) << "the xrvc compressor is listed";
    EXPECT_FALSE(camera->UsesDefaultCodec());
    camera->GetSettings()->m_useDefaultCodecSettings = FALSE;
    camera->GetSettings()->m_useKeyFrameRate = TRUE;
    camera->GetSettings()->m_keyFrameRate = 30;
    ASSERT_EQ(S_OK, camera->ApplyCodecState());
    ScratchDir dir("vxcam");
    const std::string file = dir.File("x_Camera.avi");
    ASSERT_TRUE(WriteFileBytes(file, "an older, longer file to overwrite", 34));
    camera->SetCodecFlag(FALSE);
    camera->SetOutputName(file.c_str());
    ASSERT_TRUE(camera->StartCapture(TRUE, 5000, FALSE, NULL));
    for (LPCWSTR name : {L"Kestravon Avi Mux", L"Kestravon File Writer", L"Kestravon Screen Capture Codec"}) {
        IBaseFilter* f = NULL;
        EXPECT_EQ(S_OK, camera->Graph()->FindFilterByName(name, &f)) << CString(CStringW(name)).GetString();
        if (f)
            f->Release();
    }
    Sleep(3000);
    ASSERT_TRUE(camera->StopCapture(TRUE, 5000));
    const std::string unix = UnixPath(file);
    const std::vector<std::string> video = HostLines("ffprobe -v error -select_streams v:0 -show_entries "
                                                     "stream=codec_tag_string,width,height,r_frame_rate "
                                                     "-of csv=p=0 '" + unix + "'");
    ASSERT_EQ(1u, video.size());
    EXPECT_EQ("xrvc,320,240,15/1", video[0]);
    const std::vector<std::string> flags = HostLines("ffprobe -v error -select_streams v:0 -show_entries "
                                                     "packet=flags -of csv=p=0 '" + unix + "'");
    ASSERT_GE(flags.size(), 35u) << "about three seconds of frames";
    // Every 30th frame is a key frame. (The codec marks the frames between
    // as key frames too with this 24-bit input; that is the codec's.)
    for (size_t i = 0; i < flags.size(); i += 30)
        EXPECT_NE(std::string::npos, flags[i].find('K')) << "packet " << i;
}

}  // namespace
