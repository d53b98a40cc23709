// Vexcap.exe recording the test camera beside the screen into a package:
// the camera stream with the pushed sound, read back by gsf, ffprobe and
// ffmpeg; a camera that fails to start leaves the sound with the screen.
#include <sstream>
#include <string>
#include <vector>

#include "app/AppMessages.h"
#include "media/LastRecordingDir.h"
#include "media/RecordingData.h"
#include "resources/ids_app.h"
#include "resources/ids_capture.h"
#include "tests/camera/CameraPicture.h"
#include "tests/camera/TestCameraIds.h"
#include "tests/camera/TestCameraRegistry.h"
#include "tests/support/MediaTestUtil.h"
#include "tests/support/TestSupport.h"
#include "AppTestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

using namespace apptest;
using testsupport::ReadFileBytes;
using testsupport::RunHost;
using testsupport::ScratchDir;
using testsupport::ScratchRegKey;
using testsupport::UnixPath;

namespace {

const char kPrefsKey[] = "Software\\Kestravon\\Skorvale Studio\\3.0\\Skorvale Recorder\\3.0";
const char kCameraKey[] = "Software\\Kestravon\\Skorvale Studio\\3.0\\Skorvale Recorder\\3.0\\Camera Video Settings";

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

bool TitleShows(HWND w, UINT stateId)
{
    const std::string title = WindowText(w), state = ResourceText(stateId);
    return title.size() >= state.size() && title.compare(title.size() - state.size(), state.size(), state) == 0;
}

// Preferences of a camera recording with sound into a package under an
// automatic name, with no preview or post-save dialog; the camera settings
// key is cleared, so that the first listed camera is taken.
class CameraPrefs {
public:
    explicit CameraPrefs(const std::string& folderPath)
    {
        ::SHDeleteKeyA(HKEY_CURRENT_USER, kCameraKey);
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, kPrefsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &m_key, NULL) !=
            ERROR_SUCCESS) {
            m_key = NULL;
            return;
        }
        const struct {
            const char* name;
            DWORD value;
        } numbers[] = {{"VideoInput", 0},      {"PrevAfterRec", 0},    {"OptionsAfterRec", 0},
                       {"CreateSkoRecFile", 1}, {"VideoFileNaming", 2}, {"VideoMinimize", 0},
                       {"VideoUseStartPt", 0},  {"RecordCamera", 1},    {"RecordAudio", 1},
                       {"AudioDeviceID", WAVE_MAPPER}};
        for (const auto& n : numbers)
            ::RegSetValueExA(m_key, n.name, 0, REG_DWORD, (const BYTE*)&n.value, sizeof(DWORD));
        ::RegDeleteValueA(m_key, "VideoRectFixed");
        ::RegDeleteValueA(m_key, "MuteAudio");
        ::RegDeleteValueA(m_key, "AutoPan");
        const std::string folder = folderPath + "\\";
        ::RegSetValueExA(m_key, "VideoFileOutputDir", 0, REG_SZ, (const BYTE*)folder.c_str(), (DWORD)folder.size() + 1);
        ::RegSetValueExA(m_key, "VideoAutoFilePrefix", 0, REG_SZ, (const BYTE*)"Capture-", 9);
    }
    ~CameraPrefs()
    {
        if (m_key)
            ::RegCloseKey(m_key);
        ::SHDeleteKeyA(HKEY_CURRENT_USER, kCameraKey);
        SetDummyCameraFailure(kDummyFailNever);
    }
    CameraPrefs(const CameraPrefs&) = delete;
    CameraPrefs& operator=(const CameraPrefs&) = delete;
    HKEY Key() const { return m_key; }

private:
    ScratchRegKey m_scratch{kPrefsKey};
    HKEY m_key = NULL;
};

// Dismisses the message boxes the program shows meanwhile (OK), counting them.
int DismissMessageBoxes()
{
    int n = 0;
    HWND box = NULL;
    while ((box = ::FindWindowExA(NULL, box, "#32770", NULL)) != NULL) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(box, &pid);
        if (pid == ::GetCurrentProcessId() || !::IsWindowVisible(box))
            continue;
        if (::GetDlgItem(box, IDOK) && ::GetDlgItem(box, 0xFFFF)) {
            ::PostMessageA(box, WM_COMMAND, IDOK, 0);
            ++n;
        }
    }
    return n;
}

// Records /R 2 s, /P 1 s, /R 2 s, /S into Capture-1.skorec with the tone
// playing; message boxes on the way are answered and counted.
bool RecordPauseResumeStop(const std::string& saved, int* boxes)
{
    Program first("/R");
    HWND main = NULL;
    if (!PumpUntil([&] { return (main = ::FindWindowA(RECORDER_CLASS_NAME, NULL)) != NULL; }, 20000))
        return false;
    if (!PumpUntil(
            [&] {
                *boxes += DismissMessageBoxes();
                return TitleShows(main, IDS_RECORD_STATE_RECORDING);
            },
            30000)) {
        ADD_FAILURE() << "the recording began";
        return false;
    }
    auto pumpDismissing = [&](DWORD ms) {
        const DWORD begin = ::GetTickCount();
        PumpUntil([&] {
            *boxes += DismissMessageBoxes();
            return ::GetTickCount() - begin >= ms;
        }, ms + 1000);
    };
    pumpDismissing(2000);
    EXPECT_EQ(1, RunProgram("/P"));
    EXPECT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_PAUSED); }, 10000));
    pumpDismissing(1000);
    EXPECT_EQ(1, RunProgram("/R"));
    EXPECT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_RECORDING); }, 10000));
    pumpDismissing(2000);
    EXPECT_EQ(1, RunProgram("/S"));
    const bool done = PumpUntil(
        [&] {
            *boxes += DismissMessageBoxes();
            return ::GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES &&
                   TitleShows(main, IDS_RECORD_STATE_IDLE);
        },
        60000);
    EXPECT_TRUE(done) << "saved as " << saved;
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000));
    return done;
}

// Copies a package stream out with gsf.
bool CatStream(const std::string& package, const char* stream, const std::string& to)
{
    std::string out;
    return RunHost("gsf cat '" + UnixPath(package) + "' " + stream + " > '" + UnixPath(to) + "'", &out) == 0;
}

// The camera track of a package's manifest: the test camera's default
// 320x240 RGB24 through the default codec and the profile with sound.
void ExpectStoredCameraTrack(const CRecordingData& data)
{
    int w = 0, h = 0, bpp = 0;
    BOOL hasAudio = FALSE;
    double fps = 0;
    CString codec, profile;
    data.GetCameraTrack(&w, &h, &bpp, &fps, &hasAudio, &codec, &profile, NULL, NULL, NULL, NULL);
    EXPECT_EQ(320, w);
    EXPECT_EQ(240, h);
    EXPECT_EQ(24, bpp);
    EXPECT_STREQ("默认编码", codec);
    EXPECT_STREQ("Skorvale Studio Camera Video and Audio (CBR)", profile);
    EXPECT_EQ(TRUE, hasAudio);
}

// A camera recording's package lists its manifest, screen and camera
// streams; the camera and screen streams are copied out to the two files.
void TakeStreams(const std::string& package, const std::string& camera, const std::string& screen)
{
    std::string list;
    ASSERT_EQ(0, RunHost("gsf list '" + UnixPath(package) + "'", &list)) << list;
    for (const char* stream : {"manifest.skoxml", "Screen_Stream.avi", "Camera_Stream.wmv"})
        EXPECT_NE(std::string::npos, list.find(stream)) << stream << " in " << list;
    ASSERT_TRUE(CatStream(package, "Camera_Stream.wmv", camera));
    ASSERT_TRUE(CatStream(package, "Screen_Stream.avi", screen));
}

double Seconds(const std::string& file, const char* stream)
{
    const std::vector<std::string> lines = HostLines(std::string("ffprobe -v error -select_streams ") + stream +
                                                     " -show_entries stream=duration -of csv=p=0 '" + UnixPath(file) + "'");
    return lines.empty() ? -1 : atof(lines[0].c_str());
}

// What ffprobe and ffmpeg read from a camera file.
struct CameraStream {
    std::string container;       // the format's name
    std::string video;           // "width,height,rate" of the first video stream
    std::vector<double> times;   // the video frames' presentation times, s
    std::string soundCodec;
    std::vector<int> samples;    // the sound as 16-bit mono at 22,050 Hz
};

std::string FirstLine(const std::vector<std::string>& lines)
{
    return lines.empty() ? std::string() : lines[0];
}

CameraStream ProbeCameraStream(const std::string& file, const ScratchDir& scratch)
{
    const std::string unix = UnixPath(file);
    CameraStream s;
    s.container = FirstLine(HostLines("ffprobe -v error -show_entries format=format_name -of csv=p=0 '" + unix + "'"));
    s.video = FirstLine(HostLines("ffprobe -v error -select_streams v:0 -show_entries "
                                  "stream=width,height,r_frame_rate -of csv=p=0 '" + unix + "'"));
    for (const std::string& t : HostLines("ffprobe -v error -select_streams v:0 -show_entries frame=pts_time "
                                          "-of csv=p=0 '" + unix + "'"))
        s.times.push_back(atof(t.c_str()));
    s.soundCodec = FirstLine(HostLines("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name "
                                       "-of csv=p=0 '" + unix + "'"));
    s.samples = mediatest::DecodeAudio16(file, scratch.File("sound.raw"), 22050);
    return s;
}

// The test camera's pictures decoded by ffmpeg, read by their counter.
struct CameraPictures {
    int frames = 0;
    int unreadable = 0;
    int drops = 0;        // counter values skipped
    int repeats = 0;      // pictures equal to the one before
    int trailing = 0;     // of those, at the end
    int backwards = 0;    // the counter went back
    std::string where;    // the repeated pictures
};

bool DecodeCameraPictures(const std::string& file, const ScratchDir& scratch, CameraPictures* p)
{
    const std::string raw = scratch.File("frames.rgb");
    std::string log;
    if (RunHost("ffmpeg -v error -y -i '" + UnixPath(file) + "' -vsync passthrough -f rawvideo -pix_fmt bgr24 '" +
                    UnixPath(raw) + "'",
                &log) != 0) {
        ADD_FAILURE() << log;
        return false;
    }
    std::string frames;
    if (!ReadFileBytes(raw, &frames))
        return false;
    const size_t frameBytes = 320 * 240 * 3;
    std::vector<BYTE> flipped(frameBytes);
    DWORD previous = 0;
    p->frames = (int)(frames.size() / frameBytes);
    for (int f = 0; f < p->frames; ++f) {
        for (int y = 0; y < 240; ++y)
            memcpy(&flipped[(239 - y) * 960], frames.data() + f * frameBytes + y * 960, 960);
        const CameraPicture picture = ReadCameraPicture(flipped.data(), 320, 240);
        p->unreadable += picture.readable ? 0 : 1;
        if (f > 0 && picture.frame == previous) {
            ++p->repeats;
            p->where += std::to_string(f) + " ";
        } else if (f > 0 && picture.frame > previous) {
            p->drops += (int)(picture.frame - previous - 1);
        } else if (f > 0) {
            ++p->backwards;
        }
        previous = picture.frame;
    }
    for (int f = p->frames - 1; f > 0; --f) {
        if (memcmp(frames.data() + f * frameBytes, frames.data() + (f - 1) * frameBytes, frameBytes) != 0)
            break;
        ++p->trailing;
    }
    return true;
}

// The manifest of a package, read with gsf.
bool ReadPackageManifest(const std::string& package, const ScratchDir& scratch, CRecordingData* data)
{
    const std::string manifest = scratch.File("manifest.out");
    std::string text;
    if (!CatStream(package, "manifest.skoxml", manifest) || !ReadFileBytes(manifest, &text) || text.size() <= 6)
        return false;
    // UTF-16 after a four-byte length.
    return data->Parse(CString(CStringW(reinterpret_cast<const wchar_t*>(text.data() + 4))));
}

class CameraRecordingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
        ASSERT_EQ(S_OK, RegisterTestCameras(TestCameraDllPath(), kCamerasAll));
    }
    void TearDown() override
    {
        UnregisterTestCameras();
        ::CoUninitialize();
    }
};

TEST_F(CameraRecordingTest, PackageHoldsTheCameraStreamWithTheSound)
{
    ScratchDir out("vxcamrec");
    CameraPrefs prefs(out.Path());
    ASSERT_TRUE(prefs.Key() != NULL);
    ASSERT_TRUE(mediatest::PlayToneInBackground(440.0, 20.0, 0.5));
    const std::string saved = out.File("Capture-1.skorec");
    int boxes = 0;
    ASSERT_TRUE(RecordPauseResumeStop(saved, &boxes));
    EXPECT_EQ(0, boxes) << "no camera failure was reported";

    const std::string camera = out.File("camera.wmv"), screen = out.File("screen.avi");
    ASSERT_NO_FATAL_FAILURE(TakeStreams(saved, camera, screen));
    const CameraStream stream = ProbeCameraStream(camera, out);
    EXPECT_EQ("asf", stream.container);
    EXPECT_EQ("320,240,15/1", stream.video);
    // The screen stream holds the recorded seconds; the camera the same
    // seconds at 15 frames each (its graph starts and stops beside it).
    const double screenSeconds = Seconds(screen, "v:0");
    EXPECT_GT(screenSeconds, 3.0);
    EXPECT_NEAR(screenSeconds * 15, (double)stream.times.size(), 15.0) << "camera frames against the screen's seconds";
    for (size_t i = 1; i < stream.times.size(); ++i)
        EXPECT_NEAR(0.0667, stream.times[i] - stream.times[i - 1], 0.002) << "frame " << i;

    // The decoded pictures: the counter rises by one.
    CameraPictures pictures;
    ASSERT_TRUE(DecodeCameraPictures(camera, out, &pictures));
    EXPECT_EQ(0, pictures.unreadable);
    EXPECT_EQ(0, pictures.backwards);
    EXPECT_LE(pictures.drops, 2);
    // The writer holds the last picture while the sound goes on: the sound
    // may outlast the pictures by less than half a second.
    EXPECT_LE(pictures.repeats - pictures.trailing, 2) << "repeated at " << pictures.where;
    EXPECT_LT(pictures.trailing, 8) << "repeated at " << pictures.where;

    // The sound is in the camera file, PCM, as long as its video, the tone;
    // the screen stream has none.
    EXPECT_EQ("pcm_s16le", stream.soundCodec);
    const double videoSeconds = stream.times.size() / 15.0;
    EXPECT_NEAR(videoSeconds, stream.samples.size() / 22050.0, 0.5);
    size_t loud = 0;
    EXPECT_NEAR(440.0, mediatest::LoudToneFrequency(stream.samples, 22050, &loud), 5.0);
    EXPECT_EQ(std::vector<std::string>{"video"},
              HostLines("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" + UnixPath(screen) + "'"));

    // The manifest's camera track.
    CRecordingData data;
    ASSERT_TRUE(ReadPackageManifest(saved, out, &data));
    ExpectStoredCameraTrack(data);

    // The camera settings were saved at exit: twelve values of their types.
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, kCameraKey, 0, KEY_READ, &key));
    const struct {
        const char* name;
        DWORD type;
    } values[] = {{"DeviceFriendlyName", REG_SZ},  {"DeviceMediaType", REG_BINARY}, {"DeviceFormatBlock", REG_BINARY},
                  {"CodecFriendlyName", REG_SZ},   {"CodecQuality", REG_DWORD},     {"UseCodecBitRate", REG_DWORD},
                  {"CodecBitRate", REG_DWORD},     {"UseCodecKeyFrameRate", REG_DWORD},
                  {"CodecKeyFrameRate", REG_DWORD}, {"UseDefaultCodecSettings", REG_DWORD},
                  {"CodecState", REG_BINARY},      {"CodecStateSize", REG_DWORD}};
    for (const auto& v : values) {
        DWORD type = 0;
        EXPECT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(key, v.name, NULL, &type, NULL, NULL)) << v.name;
        EXPECT_EQ(v.type, type) << v.name;
    }
    char device[260] = "";
    DWORD size = sizeof(device);
    ::RegQueryValueExA(key, "DeviceFriendlyName", NULL, NULL, (BYTE*)device, &size);
    EXPECT_STREQ(CString(CStringW(TEST_CAMERA_A_NAME)), device);
    ::RegCloseKey(key);
}

// Killed (TerminateProcess) about three seconds into a camera recording
// with sound into a package, and started again: the recording is offered,
// and with Yes and a name it is rebuilt and saved as a package holding the
// screen stream and the camera's. While it recorded, its recovery note named
// the camera file; the saved camera stream is the test camera's pictures for
// about the seconds recorded, with the tone; the recording's folder and
// LastRecDir are gone afterwards.
TEST_F(CameraRecordingTest, AKilledRecordingComesBackThroughRecovery)
{
    ScratchDir out("vxcamkill");
    CameraPrefs prefs(out.Path());
    ASSERT_TRUE(prefs.Key() != NULL);
    ASSERT_TRUE(mediatest::PlayToneInBackground(440.0, 20.0, 0.5));
    std::string folder;
    double recorded = 0;
    {
        Program recorder("/R");
        HWND main = NULL;
        ASSERT_TRUE(PumpUntil([&] { return (main = ::FindWindowA(RECORDER_CLASS_NAME, NULL)) != NULL; }, 20000));
        int boxes = 0;
        ASSERT_TRUE(PumpUntil(
            [&] {
                boxes += DismissMessageBoxes();
                return TitleShows(main, IDS_RECORD_STATE_RECORDING);
            },
            30000))
            << WindowText(main);
        const DWORD began = ::GetTickCount();
        Pump(3000);
        folder = std::string(GetLastRecordingDir());
        ASSERT_TRUE(TitleShows(main, IDS_RECORD_STATE_RECORDING)) << "still recording at the kill";
        ASSERT_TRUE(recorder.Kill(20000));
        recorded = (::GetTickCount() - began) / 1000.0;
        EXPECT_EQ(0, boxes) << "no camera failure was reported";
    }
    ASSERT_FALSE(folder.empty()) << "the recording's folder is remembered";
    if (folder.back() != '\\')
        folder += '\\';

    // What the killed recorder left: a note naming the camera file, which
    // holds what the writer had written.
    {
        CRecordingData note;
        ASSERT_TRUE(note.Load((folder + "RecInfo.xml").c_str()));
        const std::string camera(note.GetCameraTrackName());
        EXPECT_NE(std::string::npos, camera.find("_Camera.wmv")) << "the note's camera track: '" << camera << "'";
        WIN32_FILE_ATTRIBUTE_DATA file = {};
        EXPECT_TRUE(::GetFileAttributesExA((folder + PathFindFileNameA(camera.c_str())).c_str(), GetFileExInfoStandard,
                                           &file));
        EXPECT_GT(file.nFileSizeLow, 0u) << "the camera file holds packets";
    }

    const std::string saved = out.File("Recovered.skorec");
    ASSERT_NO_FATAL_FAILURE(RestartAndRecover(saved));
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(saved.c_str())) << saved;
    EXPECT_EQ("", std::string(GetLastRecordingDir()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(folder.c_str())) << "the recording's folder is gone";

    const std::string camera = out.File("camera.wmv"), screen = out.File("screen.avi");
    ASSERT_NO_FATAL_FAILURE(TakeStreams(saved, camera, screen));

    // The camera: about the recorded seconds at 15 frames each (the packets
    // the writer still held in memory went with the process; the camera
    // graph runs a moment before the recording shows), every picture the
    // test camera's, in order.
    const CameraStream stream = ProbeCameraStream(camera, out);
    EXPECT_EQ("asf", stream.container);
    EXPECT_EQ("320,240,15/1", stream.video);
    const double frames = (double)stream.times.size();
    EXPECT_GE(frames, recorded * 15 - 25) << "recorded " << recorded << " s";
    EXPECT_LE(frames, recorded * 15 + 25) << "recorded " << recorded << " s";
    for (size_t i = 1; i < stream.times.size(); ++i)
        EXPECT_NEAR(0.0667, stream.times[i] - stream.times[i - 1], 0.002) << "frame " << i;
    CameraPictures pictures;
    ASSERT_TRUE(DecodeCameraPictures(camera, out, &pictures));
    EXPECT_EQ((int)stream.times.size(), pictures.frames);
    EXPECT_EQ(0, pictures.unreadable);
    EXPECT_EQ(0, pictures.backwards);
    EXPECT_LE(pictures.drops, 2);
    EXPECT_LE(pictures.repeats, 2) << "repeated at " << pictures.where;
    // The sound: PCM, the tone, what had reached the file: the wave input
    // still held up to two seconds (and more while its start-up runs) when
    // the process went, so it is shorter than the pictures, never longer.
    EXPECT_EQ("pcm_s16le", stream.soundCodec);
    const double soundSeconds = stream.samples.size() / 22050.0;
    EXPECT_GT(soundSeconds, 0.2);
    EXPECT_LT(soundSeconds, frames / 15.0 + 0.5);
    size_t loud = 0;
    EXPECT_NEAR(440.0, mediatest::LoudToneFrequency(stream.samples, 22050, &loud), 5.0);

    // The screen: pictures only, for about the recorded seconds.
    EXPECT_EQ(std::vector<std::string>{"video"},
              HostLines("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" + UnixPath(screen) + "'"));
    const double screenSeconds = Seconds(screen, "v:0");
    EXPECT_NEAR(recorded, screenSeconds, 1.5);
    printf("recorded %.2f s: camera %d frames, sound %.2f s, screen %.2f s\n", recorded, (int)frames,
           stream.samples.size() / 22050.0, screenSeconds);

    // The package's manifest names the camera stream as its camera track,
    // described as at a normal save (the note written while recording holds
    // the camera's size, codec and profile).
    CRecordingData data;
    ASSERT_TRUE(ReadPackageManifest(saved, out, &data));
    EXPECT_STREQ("Camera_Stream.wmv", data.GetCameraTrackName());
    ExpectStoredCameraTrack(data);
}

// No camera, or one that fails at Pause or Run: the recording goes on
// without it and the package holds the screen stream with the tone.
TEST_F(CameraRecordingTest, WithoutAWorkingCameraTheSoundStaysWithTheScreen)
{
    struct Case {
        const char* label;
        int cameras;
        DWORD failAt;
        int expectedBoxes;
    } cases[] = {
        {"no camera", kCamerasNone, kDummyFailNever, 1},
        {"fails at pause", kCameraDummy, kDummyFailAtPause, 1},
        {"fails at run", kCameraDummy, kDummyFailAtRun, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(S_OK, RegisterTestCameras(TestCameraDllPath(), c.cameras));
        ScratchDir out("vxcamfail");
        CameraPrefs prefs(out.Path());
        SetDummyCameraFailure(c.failAt);
        if (c.cameras == kCameraDummy) {
            HKEY key = NULL;
            ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, kCameraKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                                       &key, NULL));
            const std::string name(CString(CStringW(TEST_CAMERA_DUMMY_NAME)));
            ::RegSetValueExA(key, "DeviceFriendlyName", 0, REG_SZ, (const BYTE*)name.c_str(), (DWORD)name.size() + 1);
            ::RegCloseKey(key);
        }
        ASSERT_TRUE(mediatest::PlayToneInBackground(440.0, 16.0, 0.5));
        const std::string saved = out.File("Capture-1.skorec");
        int boxes = 0;
        ASSERT_TRUE(RecordPauseResumeStop(saved, &boxes));
        EXPECT_EQ(c.expectedBoxes, boxes) << "the camera failure is reported once";
        std::string list;
        ASSERT_EQ(0, RunHost("gsf list '" + UnixPath(saved) + "'", &list)) << list;
        EXPECT_NE(std::string::npos, list.find("Screen_Stream.avi")) << list;
        EXPECT_EQ(std::string::npos, list.find("Camera_Stream.wmv")) << list;
        const std::string screen = out.File("screen.avi");
        ASSERT_TRUE(CatStream(saved, "Screen_Stream.avi", screen));
        const std::vector<int> samples = mediatest::DecodeAudio16(screen, out.File("sound.raw"), 22050);
        ASSERT_FALSE(samples.empty()) << "the screen stream carries the sound";
        size_t loud = 0;
        EXPECT_NEAR(440.0, mediatest::LoudToneFrequency(samples, 22050, &loud), 5.0);
    }
}

// Reads the picture shown in the client area of `window` from the screen.
CameraPicture ShownPicture(HWND window, int width, int height)
{
    POINT origin = {0, 0};
    ::ClientToScreen(window, &origin);
    HDC screen = ::GetDC(NULL);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = NULL;
    HBITMAP bitmap = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    const CameraPicture picture = ReadCameraPicture((const BYTE*)bits, width, height);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(NULL, screen);
    return picture;
}

// Two looks a second apart at the preview: camera A's picture, readable,
// its counter advanced.
void ExpectMovingPicture(HWND preview, const char* when)
{
    SCOPED_TRACE(when);
    RECT client;
    ::GetClientRect(preview, &client);
    EXPECT_EQ(320, client.right);
    EXPECT_EQ(240, client.bottom);
    CameraPicture first = {};
    EXPECT_TRUE(PumpUntil(
        [&] {
            first = ShownPicture(preview, 320, 240);
            return first.readable && first.background[2] == kTestCameraColour[0][2];
        },
        15000))
        << "the picture shows";
    Pump(1000);
    const CameraPicture second = ShownPicture(preview, 320, 240);
    EXPECT_TRUE(second.readable);
    EXPECT_EQ(kTestCameraColour[0][0], second.background[0]);
    EXPECT_EQ(kTestCameraColour[0][1], second.background[1]);
    EXPECT_EQ(kTestCameraColour[0][2], second.background[2]);
    EXPECT_GE(second.frame, first.frame + 10) << "a second of frames later";
    EXPECT_LE(second.frame, first.frame + 20);
}

// The main window's preview command shows the camera's picture in the
// preview window; while recording the picture's window stays in it, the
// window then translucent (alpha 178); the command again hides it.
TEST_F(CameraRecordingTest, PreviewShowsThePictureAlsoWhileRecording)
{
    ScratchDir out("vxcamprev");
    CameraPrefs prefs(out.Path());
    ASSERT_TRUE(prefs.Key() != NULL);
    Program first("");
    HWND main = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (main = ::FindWindowA(RECORDER_CLASS_NAME, NULL)) != NULL; }, 20000));
    ::PostMessageA(main, WM_COMMAND, ID_MAIN_CAMERA_PREVIEW, 0);
    HWND preview = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (preview = ::FindWindowA(NULL, "相机预览")) != NULL && ::IsWindowVisible(preview); },
                          15000));
    ExpectMovingPicture(preview, "preview");

    EXPECT_EQ(1, RunProgram("/R"));
    ASSERT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_RECORDING); }, 30000));
    // Xvfb does not compose a translucent window's pixels: while recording
    // the picture's window is checked, a visible child over the client area.
    HWND video = NULL;
    EXPECT_TRUE(PumpUntil(
        [&] {
            video = NULL;
            for (HWND c = ::GetWindow(preview, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
                RECT r;
                ::GetClientRect(c, &r);
                if (::IsWindowVisible(c) && r.right == 320 && r.bottom == 240)
                    video = c;
            }
            return video != NULL;
        },
        15000))
        << "the picture's window is in the preview";
    typedef BOOL(WINAPI * GetLayered)(HWND, COLORREF*, BYTE*, DWORD*);
    GetLayered get = (GetLayered)::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetLayeredWindowAttributes");
    ASSERT_TRUE(get != NULL);
    BYTE alpha = 0;
    DWORD flags = 0;
    EXPECT_TRUE(PumpUntil([&] { return get(preview, NULL, &alpha, &flags) && alpha == 178; }, 15000))
        << "alpha " << (int)alpha;
    EXPECT_TRUE(flags & LWA_ALPHA);

    EXPECT_EQ(1, RunProgram("/S"));
    const std::string saved = out.File("Capture-1.skorec");
    ASSERT_TRUE(PumpUntil([&] { return ::GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES &&
                                       TitleShows(main, IDS_RECORD_STATE_IDLE); },
                          60000));
    ::PostMessageA(main, WM_COMMAND, ID_MAIN_CAMERA_PREVIEW, 0);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindowVisible(preview); }, 10000)) << "the command hides it again";
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000));
}

}  // namespace
