// The start-up recovery of a recording cut short: the questions and their
// answers, what giving up deletes (the recording's own files, nothing else),
// what stays when the recovery cannot run, and the recovered output read
// back by ffprobe and gsf: plain AVIs (one segment, with sound, joined
// segments, xrvc) and packages with a repaired camera file.
#include "../wmwriter/AsfTestMedia.h"
#include "MediaTestUtil.h"
#include "RecoveryTestUtil.h"
#include "TestSupport.h"
#include "XRVDirectShow/RecordingJoiner.h"
#include "capture/RecordingFinish.h"
#include "media/LastRecordingDir.h"
#include "media/RecordingData.h"
#include "platform/wmwriter/AsfFile.h"
#include "recovery/Recovery.h"
#include "resources/ids_finishing.h"

#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <deque>

using namespace recoverytest;

namespace {

const DWORD kXrvc = mmioFOURCC('x', 'r', 'v', 'c');
const char kRecorderClass[] = "RECORDER_CLASS_D77CA95F_632A_4d48_8FD0_2A8DEAA6DA4A";

std::string Text(UINT id)
{
    CString t;
    t.LoadString(id);
    return std::string(t);
}

bool Exists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Answers from a script: each question takes the next answer (IDNO when
// the script has run out), each save dialog the next name ("" = Cancel).
class ScriptUi : public IRecoveryUi {
public:
    int AskYesNo(UINT textId) override
    {
        asked.push_back(textId);
        if (answers.empty())
            return IDNO;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    BOOL AskFileName(BOOL package, CString& path) override
    {
        asked.push_back(package ? 1 : 0);
        if (names.empty())
            return FALSE;
        const std::string n = names.front();
        names.pop_front();
        path = n.c_str();
        return !n.empty();
    }
    void ShowMessage(LPCSTR text, UINT) override { shown.push_back(text); }

    std::deque<int> answers;
    std::deque<std::string> names;
    std::vector<UINT> asked;   // string ids of questions; 0/1 for the save dialog (package)
    std::vector<std::string> shown;
};

// What a killed recording left.
struct Recording {
    AviShape shape;
    const char* codec = "DIB";
    int segments = 1;
    bool sound = false;
    bool camera = false;
    bool package = false;
};

const DWORD kSoundRate = 22050;

// A cut sound file as the wave recorder leaves it: a 46-byte header whose
// sizes were never written, and samples up to the kill (one odd byte more).
std::string CutSound(double seconds)
{
    WAVEFORMATEX wf = mediatest::PcmFormat(kSoundRate, 1, 16);
    std::string samples = mediatest::Sine16(kSoundRate, 1, 440.0, seconds, 0.5);
    samples.push_back('\x11');
    std::string wav = mediatest::MakeWav(&wf, 18, samples);
    memset(&wav[4], 0, 4);
    memset(&wav[42], 0, 4);
    return wav;
}

class RecoveryFlow : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = GetLastRecordingDir();
        mediatest::ResetMessageBoxes(IDOK);
        m_folder = m_dir.Path() + "\\Temp1";
        ASSERT_TRUE(::CreateDirectoryA(m_folder.c_str(), nullptr));
        ASSERT_EQ("", InstallXrvc());
        static CTimelineJoiner joiner;
        SetRecordingJoiner(&joiner);
    }
    void TearDown() override { SetLastRecordingDir(m_saved); }

    std::string In(const std::string& name) const { return m_folder + "\\" + name; }

    // Writes the killed recording and its note; the files it lists.
    std::vector<std::string> Make(const Recording& r)
    {
        std::vector<std::string> files;
        CRecordingData note;
        note.SetIsPackage(r.package);
        note.SetAudioIsSeparate(!r.camera);
        for (int s = 0; s < r.segments; ++s) {
            const std::string avi = In(s == 0 ? "Capture_Screen.avi" : "Capture_Screen" + std::to_string(s) + ".avi");
            EXPECT_EQ("", WriteAvi(avi, r.shape));
            // Earlier segments were closed when the next began.
            if (s == r.segments - 1) {
                EXPECT_EQ("", KillAvi(avi, 50));
            }
            files.push_back(avi);
        }
        if (r.sound) {
            for (int s = 0; s < r.segments; ++s) {
                const std::string wav = In(s == 0 ? "Capture_Screen_Audio.wav"
                                                  : "Capture_Screen" + std::to_string(s) + "_Audio.wav");
                const std::string bytes = CutSound((double)r.shape.frames * r.shape.scale / r.shape.rate);
                EXPECT_TRUE(testsupport::WriteFileBytes(wav, bytes.data(), bytes.size()));
                files.push_back(wav);
            }
        }
        if (r.camera) {
            asftest::WrittenFile info;
            const std::string wmv = In("Capture_Camera.wmv");
            EXPECT_TRUE(asftest::WriteMovieFile(wmv, 20, 10, 3200, asf::Tags(), false, &info)) << info.error;
            files.push_back(wmv);
            note.SetCameraTrack(asftest::kWidth, asftest::kHeight, 32, asftest::kFps, TRUE, "Default", "", NULL, 1, 0,
                                1);
            note.SetCameraTrackName(wmv.c_str());
        }
        for (const auto& f : files)
            note.AddFile(f.c_str(), f.c_str());
        WAVEFORMATEX wf = mediatest::PcmFormat(kSoundRate, 1, 16);
        note.SetVideoTrack(r.shape.width, r.shape.height, r.shape.bitCount, (double)r.shape.rate / r.shape.scale,
                           r.sound, r.codec, &wf, 1, 0, 1);
        note.SetVideoTrackName(files[0].c_str());
        if (r.sound)
            note.SetAudioTrackName(files[r.segments].c_str());
        EXPECT_TRUE(note.WriteManifest((m_folder + "\\RecInfo.xml").c_str()));
        SetLastRecordingDir(m_folder.c_str());
        return files;
    }

    testsupport::ScratchDir m_dir{"recovery"};
    std::string m_folder;
    CString m_saved;
};

}  // namespace

// Another recorder runs: its recording is not touched, nothing is asked.
// A recording still being written (a recorder elsewhere) is left alone too.
TEST_F(RecoveryFlow, ARunningRecorderOrRecordingIsLeftAlone)
{
    const auto files = Make(Recording());
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kRecorderClass;
    ::RegisterClassA(&wc);
    HWND other = ::CreateWindowA(kRecorderClass, "", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, other);
    {
        RecoveryInfo info;
        ScriptUi ui;
        ui.answers = { IDYES };
        CString out;
        EXPECT_EQ(1, CheckAndRecoverLastRecording(info, out, FALSE, ui));
        EXPECT_TRUE(ui.asked.empty());
    }
    ::DestroyWindow(other);
    {
        HANDLE writing = ::CreateFileA(files[0].c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, writing);
        RecoveryInfo info;
        ScriptUi ui;
        ui.answers = { IDYES };
        CString out;
        EXPECT_EQ(1, CheckAndRecoverLastRecording(info, out, TRUE, ui));
        EXPECT_TRUE(ui.asked.empty());
        ::CloseHandle(writing);
    }
    for (const auto& f : files)
        EXPECT_TRUE(Exists(f)) << f;
    EXPECT_EQ(m_folder, std::string(GetLastRecordingDir()));
}

// A note of a newer version is refused with string 16045 at every start;
// the folder and LastRecDir stay. An unreadable note likewise stays.
TEST_F(RecoveryFlow, ANoteItCannotReadStaysForTheNextStart)
{
    const auto files = Make(Recording());
    std::string note;
    ASSERT_TRUE(testsupport::ReadFileBytes(In("RecInfo.xml"), &note));
    const size_t version = note.find("Version=\"3.00\"");
    ASSERT_NE(std::string::npos, version);
    const struct {
        const char* name;
        std::string text;
        bool message;
    } cases[] = {
        { "version 3.01", note.substr(0, version) + "Version=\"3.01\"" + note.substr(version + 14), true },
        { "not a note", "garbage", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(testsupport::WriteFileBytes(In("RecInfo.xml"), c.text.data(), c.text.size()));
        for (int start = 0; start < 2; ++start) {
            mediatest::ResetMessageBoxes(IDOK);
            RecoveryInfo info;
            ScriptUi ui;
            CString out;
            EXPECT_EQ(E_FAIL, CheckAndRecoverLastRecording(info, out, TRUE, ui));
            EXPECT_TRUE(ui.asked.empty());
            const auto boxes = mediatest::MessageBoxes();
            if (c.message) {
                ASSERT_EQ(1u, boxes.size());
                EXPECT_EQ(Text(IDS_MANIFEST_TOO_NEW), boxes[0]);
            } else {
                EXPECT_TRUE(boxes.empty());
            }
            EXPECT_EQ(m_folder, std::string(GetLastRecordingDir()));
        }
    }
    for (const auto& f : files)
        EXPECT_TRUE(Exists(f)) << f;
}

// Giving up, at the first question or at the save dialog, deletes the
// recording's files, its note and folder, and clears LastRecDir; a file the
// note lists outside the folder is not deleted. No to the confirmation goes
// on to the save dialog; Cancel there asks again.
TEST_F(RecoveryFlow, GivingUpDeletesOnlyTheRecordingsOwnFiles)
{
    const struct {
        const char* name;
        std::deque<int> answers;
        std::deque<std::string> names;
        std::vector<UINT> asked;
    } cases[] = {
        { "no, then yes", { IDNO, IDYES }, {}, { IDS_RECOVER_ASK, IDS_RECOVER_CONFIRM_CANCEL } },
        { "yes, cancel, yes", { IDYES, IDYES }, { "" }, { IDS_RECOVER_ASK, 0, IDS_RECOVER_CONFIRM_CANCEL } },
        { "no, no, cancel, no, cancel, yes",
          { IDNO, IDNO, IDNO, IDYES },
          { "", "" },
          { IDS_RECOVER_ASK, IDS_RECOVER_CONFIRM_CANCEL, 0, IDS_RECOVER_CONFIRM_CANCEL, 0,
            IDS_RECOVER_CONFIRM_CANCEL } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::CreateDirectoryA(m_folder.c_str(), nullptr);
        Recording r;
        r.sound = true;
        auto files = Make(r);
        // A hostile note also lists a file outside its folder.
        const std::string outside = m_dir.File("outside.avi");
        ASSERT_TRUE(testsupport::WriteFileBytes(outside, "keep", 4));
        CRecordingData note;
        ASSERT_TRUE(note.Load(In("RecInfo.xml").c_str()));
        note.AddFile(outside.c_str(), outside.c_str());
        ASSERT_TRUE(note.WriteManifest(In("RecInfo.xml").c_str()));

        RecoveryInfo info;
        ScriptUi ui;
        ui.answers = c.answers;
        ui.names = c.names;
        CString out;
        EXPECT_EQ(1, CheckAndRecoverLastRecording(info, out, TRUE, ui));
        EXPECT_EQ(c.asked, ui.asked);
        EXPECT_TRUE(out.IsEmpty());
        for (const auto& f : files)
            EXPECT_FALSE(Exists(f)) << f;
        EXPECT_FALSE(Exists(In("RecInfo.xml")));
        EXPECT_FALSE(Exists(m_folder)) << "the folder goes";
        EXPECT_TRUE(Exists(outside)) << "a file outside the folder stays";
        EXPECT_EQ("", std::string(GetLastRecordingDir()));
    }
}

// A note whose screen file is gone: LastRecDir is cleared (nothing to
// offer), but no file is deleted.
TEST_F(RecoveryFlow, AMissingScreenFileClearsTheValueOnly)
{
    Recording r;
    r.sound = true;
    const auto files = Make(r);
    ASSERT_TRUE(::DeleteFileA(files[0].c_str()));
    RecoveryInfo info;
    ScriptUi ui;
    CString out;
    EXPECT_EQ(E_FAIL, CheckAndRecoverLastRecording(info, out, TRUE, ui));
    EXPECT_TRUE(ui.asked.empty());
    EXPECT_TRUE(Exists(files[1]));
    EXPECT_TRUE(Exists(In("RecInfo.xml")));
    EXPECT_EQ("", std::string(GetLastRecordingDir()));
}

// Yes, a name, and the recording comes back as a plain AVI: every whole
// frame (the kill cut the last one), the exact rate, the sound of each
// segment; the folder goes and LastRecDir is cleared; the user is told.
TEST_F(RecoveryFlow, RecoversIntoAPlainAvi)
{
    struct Case {
        const char* name;
        Recording r;
    };
    std::vector<Case> cases;
    {
        Case c{ "one segment", {} };
        c.r.shape = { 64, 48, 24, 10, 1, 0, 12 };
        cases.push_back(c);
        c = { "one segment with sound at 29.97 fps", {} };
        c.r.shape = { 64, 48, 24, 30000, 1001, 0, 30 };
        c.r.sound = true;
        cases.push_back(c);
        c = { "three segments with sound", {} };
        c.r.shape = { 64, 48, 24, 10, 1, 0, 10 };
        c.r.segments = 3;
        c.r.sound = true;
        cases.push_back(c);
        c = { "two segments with sound at 29.97 fps", {} };
        c.r.shape = { 64, 48, 24, 30000, 1001, 0, 30 };
        c.r.segments = 2;
        c.r.sound = true;
        cases.push_back(c);
        c = { "xrvc", {} };
        c.r.shape = { 64, 48, 24, 10, 1, kXrvc, 12 };
        c.r.codec = "xrvc";
        cases.push_back(c);
        c = { "two xrvc segments with sound", {} };
        c.r.shape = { 64, 48, 24, 10, 1, kXrvc, 15 };
        c.r.codec = "xrvc";
        c.r.segments = 2;
        c.r.sound = true;
        cases.push_back(c);
    }
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::CreateDirectoryA(m_folder.c_str(), nullptr);
        const auto files = Make(c.r);
        const std::string out = m_dir.File("Recovered" + std::to_string(++n) + ".avi");
        RecoveryInfo info;
        ScriptUi ui;
        ui.answers = { IDYES };
        ui.names = { out };
        CString saved;
        ASSERT_EQ(S_OK, CheckAndRecoverLastRecording(info, saved, TRUE, ui)) << std::string(info.screenError);
        EXPECT_EQ(out, std::string(saved));
        ASSERT_EQ(1u, ui.shown.size());
        CString done;
        done.Format(IDS_RECOVER_DONE, out.c_str());
        EXPECT_EQ(std::string(done), ui.shown[0]);

        const int frames = c.r.shape.frames * c.r.segments - 1;
        std::vector<std::string> chunks;
        AVISTREAMINFOA si = {};
        ASSERT_TRUE(ReadVideoChunks(out, &chunks, &si, nullptr));
        EXPECT_EQ((size_t)frames, chunks.size());
        EXPECT_EQ(c.r.shape.rate, si.dwRate);
        EXPECT_EQ(c.r.shape.scale, si.dwScale);
        if (c.r.shape.codec) {
            EXPECT_EQ(c.r.shape.codec, si.fccHandler) << "the note's codec";
        } else {
            EXPECT_NE(kXrvc, si.fccHandler) << "DIB frames are not labelled xrvc";
            EXPECT_EQ(frames, ProbeFrameCount(out));
        }
        if (c.r.sound) {
            EXPECT_EQ("pcm_s16le", ProbeStream(out, "a:0", "codec_name"));
            const double video = (double)frames * c.r.shape.scale / c.r.shape.rate;
            const std::vector<int> sound = mediatest::DecodeAudio16(out, m_dir.File("sound.raw"), kSoundRate);
            const double audio = (double)sound.size() / kSoundRate;
            EXPECT_GT(video, 0.0);
            EXPECT_NEAR(video, audio, 1.5 * c.r.shape.scale / c.r.shape.rate + 0.05);
        } else {
            EXPECT_EQ("", ProbeStream(out, "a:0", "codec_name"));
        }
        EXPECT_FALSE(Exists(m_folder));
        EXPECT_EQ("", std::string(GetLastRecordingDir()));
    }
}

// A package recording with a camera: the camera file cut by the kill is
// repaired and indexed by our indexer, both streams go into the package
// (gsf lists them), and the user learns that the camera video was damaged.
// A camera file that is gone, or one the repair cannot mend (packed as it
// is), does not cost the screen.
TEST_F(RecoveryFlow, RecoversIntoAPackageWithTheCameraRepaired)
{
    const struct {
        const char* name;
        bool removeCamera;
        bool garbleCamera;
    } cases[] = { { "camera cut", false, false }, { "camera gone", true, false }, { "camera not repairable", false, true } };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::CreateDirectoryA(m_folder.c_str(), nullptr);
        Recording r;
        r.shape = { 64, 48, 24, 10, 1, 0, 12 };
        r.camera = true;
        r.package = true;
        const auto files = Make(r);
        std::string garbled;
        if (c.removeCamera) {
            ASSERT_TRUE(::DeleteFileA(files.back().c_str()));
        } else if (c.garbleCamera) {
            // Not an ASF file at all (an AVI of another compressor, or bytes
            // of nothing): the repair gives up.
            garbled = std::string("RIFF\x10\0\0\0AVI LIST", 16) + std::string(600, '\x5a');
            ASSERT_TRUE(testsupport::WriteFileBytes(files.back(), garbled.data(), garbled.size()));
        } else {
            ASSERT_EQ(0, CheckAsfFile(asftest::Wide(files.back()).c_str(), nullptr)) << "cut, not indexed";
        }
        const std::string out = m_dir.File("Package" + std::to_string(++n) + ".skorec");
        RecoveryInfo info;
        ScriptUi ui;
        ui.answers = { IDYES };
        ui.names = { out };
        CString saved;
        ASSERT_EQ(S_OK, CheckAndRecoverLastRecording(info, saved, TRUE, ui)) << std::string(info.screenError);
        EXPECT_EQ((std::vector<UINT>{ IDS_RECOVER_ASK, 1 }), ui.asked) << "the package's save dialog";
        ASSERT_EQ(1u, ui.shown.size());
        const bool damaged = ui.shown[0].find(Text(IDS_RECOVER_CAMERA_DAMAGED)) != std::string::npos;
        EXPECT_EQ(!c.removeCamera, damaged);
        std::string list;
        ASSERT_EQ(0, testsupport::RunHost("gsf list '" + testsupport::UnixPath(out) + "'", &list)) << list;
        EXPECT_NE(std::string::npos, list.find("manifest.skoxml")) << list;
        EXPECT_NE(std::string::npos, list.find("Screen_Stream.avi")) << list;
        EXPECT_EQ(!c.removeCamera, list.find("Camera_Stream.wmv") != std::string::npos) << list;
        if (c.garbleCamera) {
            // Kept as it was, for whatever a player can make of it.
            std::string packed;
            ASSERT_EQ(0, testsupport::RunHost("gsf cat '" + testsupport::UnixPath(out) + "' Camera_Stream.wmv", &packed));
            EXPECT_EQ(garbled, packed);
        } else if (!c.removeCamera) {
            // The camera stream as packed: indexed, and ffprobe reads it.
            const std::string wmv = m_dir.File("camera.wmv");
            std::string bytes;
            ASSERT_EQ(0, testsupport::RunHost("gsf cat '" + testsupport::UnixPath(out) + "' Camera_Stream.wmv > '" +
                                                  testsupport::UnixPath(wmv) + "'",
                                              &bytes));
            EXPECT_EQ(1, CheckAsfFile(asftest::Wide(wmv).c_str(), nullptr));
            EXPECT_EQ("zmbv", asftest::ProbeEntry(wmv, "v:0", "stream=codec_name"));
        }
        EXPECT_FALSE(Exists(m_folder));
        EXPECT_EQ("", std::string(GetLastRecordingDir()));
    }
}

// A rebuild that cannot succeed (the note's codec is not installed, or the
// screen file cannot be replaced because another program holds it open)
// keeps every file, the note and LastRecDir for the next start, and leaves
// nothing of its own behind; a file that cannot be replaced is named to the
// user (16054).
TEST_F(RecoveryFlow, AFailedRebuildKeepsEverything)
{
    const struct {
        const char* name;
        const char* codec;
        bool holdScreen;
        const char* error;   // part of the reason
    } cases[] = {
        { "codec not installed", "nonexistent codec", false, "codec" },
        { "screen file held open", "DIB", true, nullptr },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::CreateDirectoryA(m_folder.c_str(), nullptr);
        Recording r;
        r.codec = c.codec;
        r.sound = true;
        const auto files = Make(r);
        std::vector<std::string> before;
        for (const auto& f : files) {
            std::string b;
            ASSERT_TRUE(testsupport::ReadFileBytes(f, &b));
            before.push_back(b);
        }
        // Another program reading the screen file, sharing nothing else.
        HANDLE held = c.holdScreen ? ::CreateFileA(files[0].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                   OPEN_EXISTING, 0, nullptr)
                                   : INVALID_HANDLE_VALUE;
        RecoveryInfo info;
        ScriptUi ui;
        ui.answers = { IDYES };
        ui.names = { m_dir.File("never.avi") };
        CString out;
        EXPECT_EQ(E_FAIL, CheckAndRecoverLastRecording(info, out, TRUE, ui));
        if (held != INVALID_HANDLE_VALUE)
            ::CloseHandle(held);
        if (c.error) {
            EXPECT_NE(std::string::npos, std::string(info.screenError).find(c.error)) << std::string(info.screenError);
            EXPECT_TRUE(ui.shown.empty());
        } else {
            CString text;
            text.LoadString(IDS_RECOVER_CANNOT_SAVE);
            text.Replace("%s", files[0].c_str());
            ASSERT_EQ(1u, ui.shown.size());
            EXPECT_EQ(std::string(text), ui.shown[0]);
        }
        EXPECT_FALSE(Exists(m_dir.File("never.avi")));
        for (size_t i = 0; i < files.size(); ++i) {
            std::string b;
            ASSERT_TRUE(testsupport::ReadFileBytes(files[i], &b)) << files[i];
            if (files[i].size() > 4 && files[i].compare(files[i].size() - 4, 4, ".wav") == 0 && b != before[i]) {
                // A sound file may have had its sizes patched: its samples
                // are all there (a partial sample cut off).
                ASSERT_EQ(46 + (before[i].size() - 46) / 2 * 2, b.size()) << files[i];
                EXPECT_EQ(before[i].substr(46, b.size() - 46), b.substr(46)) << files[i];
            } else {
                EXPECT_EQ(before[i], b) << files[i];
            }
        }
        EXPECT_TRUE(Exists(In("RecInfo.xml")));
        EXPECT_EQ(m_folder, std::string(GetLastRecordingDir()));
        EXPECT_TRUE(mediatest::ListFiles(m_folder, "ScreenRecover*").empty()) << "no leftovers";
        testsupport::RemoveTree(m_folder);
    }
}
