// The end of a recording through the real main window and engine: a
// recording that is not saved (the package refused, the finishing failed, a
// split recording that cannot be joined) keeps every file, a recovery note
// that names each of them, and LastRecDir; a discarded one leaves nothing; a
// save without an output folder goes to the user's videos folder; the zoom
// factor of the window is the engine's.
#include "SmallRecordingPrefs.h"
#include "app/MainFrame.h"

#include "app/MainWindowStart.h"
#include "capture/AviInterleaveWriter.h"
#include "capture/RecorderEngine.h"
#include "media/LastRecordingDir.h"
#include "media/RecordingData.h"
#include "resources/ids_finishing.h"
#include "resources/ids_media.h"
#include "settings/RecorderPrefs.h"
#include "tests/support/MediaTestUtil.h"
#include "tests/support/TestSupport.h"
#include "CaptureTestSupport.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using namespace capturetest;
using testsupport::ScratchDir;

namespace {

std::string Text(UINT id)
{
    CString text;
    text.LoadString(id);
    return std::string(text);
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return (char)tolower(c); });
    return s;
}

bool HasBox(const std::vector<std::string>& boxes, const std::string& text)
{
    return std::find(boxes.begin(), boxes.end(), text) != boxes.end();
}

std::string JoinBoxes(const std::vector<std::string>& boxes)
{
    std::string all;
    for (const std::string& b : boxes)
        all += "[" + b + "] ";
    return all;
}

// What a kept recording's folder holds, read back from the disk.
struct KeptFolder {
    std::set<std::string> onDisk;   // lower-case full paths, the note excluded
    std::set<std::string> inNote;   // the note's file list, lower-case
    std::string videoTrack;
    std::string audioTrack;
    bool noteLoaded = false;
};

KeptFolder ReadKeptFolder(const std::string& folder)
{
    KeptFolder kept;
    for (const std::string& name : mediatest::ListFiles(folder, "*")) {
        // The note itself, and the manifest a refused package leaves beside
        // the media (no medium of the recording).
        if (name == "." || name == ".." || name == "RecInfo.xml" ||
            Lower(name).find(".skomanifest") != std::string::npos)
            continue;
        kept.onDisk.insert(Lower(folder + name));
    }
    CRecordingData note;
    kept.noteLoaded = note.Load((folder + "RecInfo.xml").c_str());
    if (kept.noteLoaded) {
        for (int i = 0; i < note.GetFileCount(); ++i)
            kept.inNote.insert(Lower(std::string(note.GetManifestFile(i))));
        kept.videoTrack = Lower(std::string(note.GetVideoTrackName()));
        kept.audioTrack = Lower(std::string(note.GetAudioTrackName()));
    }
    return kept;
}

// The real main window with preferences for short recordings of a fixed
// region at its start point: uncompressed frames at 5 per second, no preview
// and no post-save dialog. Message boxes are answered by the test
// application (Yes/No with No).
class MainFrameSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App().ClearBoxes();
        m_lastRecDir = GetLastRecordingDir();
        SetLastRecordingDir("");
        IMainWindowStart* start = CMainFrame::Make(NULL, "Vexcap save test");
        ASSERT_TRUE(start != NULL);
        m_frame = static_cast<CMainFrame*>(start);
        CRecorderPrefs* p = m_frame->GetPrefs();
        SetSmallRecordingPrefs(p, m_temp.Path().c_str(), m_output.Path().c_str());
        p->m_muteAudio = FALSE;
    }

    void TearDown() override
    {
        CAviInterleaveWriter::SetSizeLimit(0);
        CRecorderEngine::SetSegmentLimit(0);
        App().SetYesNoAnswer(IDNO);
        if (m_frame) {
            if (m_frame->GetEngine()) {
                m_frame->Discard();
                PumpUntil([&] { return m_frame->GetEngine() == NULL; }, 30000);
            }
            ::DestroyWindow(m_frame->GetSafeHwnd());
        }
        if (!m_folder.empty())
            testsupport::RemoveTree(m_folder);
        SetLastRecordingDir(m_lastRecDir);
    }

    void WithSound()
    {
        CRecorderPrefs* p = m_frame->GetPrefs();
        p->m_recordAudio = TRUE;
        p->m_audioDeviceId = (int)WAVE_MAPPER;
        const WAVEFORMATEX format = mediatest::PcmFormat(22050, 1, 16);
        p->SetAudioFormat(&format);
    }

    // Records for `ms`, then stops (or discards) and waits until the window
    // has let the engine go. Keeps the recording's folder in m_folder.
    void RecordFor(DWORD ms, bool discard = false)
    {
        ASSERT_TRUE(m_frame->Record());
        ASSERT_TRUE(m_frame->GetEngine() != NULL);
        m_folder = std::string(m_frame->GetEngine()->GetRecordingFolder());
        ASSERT_FALSE(m_folder.empty());
        ASSERT_TRUE(PumpUntil([&] { return m_frame->GetEngine()->GetCapturedFrames() > 0; }, 15000));
        Pump(ms);
        if (discard)
            m_frame->Discard();
        else
            m_frame->Stop();
        ASSERT_TRUE(PumpUntil([&] { return m_frame->GetEngine() == NULL; }, 120000))
            << "the window still holds the engine";
    }

    // Every file of the folder is in the note and every file of the note is
    // there; the folder is the last recording folder and the user was told.
    void ExpectKept(const KeptFolder& kept)
    {
        EXPECT_TRUE(kept.noteLoaded) << "no recovery note in " << m_folder;
        EXPECT_FALSE(kept.onDisk.empty());
        EXPECT_TRUE(kept.onDisk == kept.inNote)
            << "on disk " << ::testing::PrintToString(kept.onDisk) << " in the note "
            << ::testing::PrintToString(kept.inNote);
        EXPECT_TRUE(kept.onDisk.count(kept.videoTrack)) << kept.videoTrack;
        EXPECT_EQ(Lower(m_folder), Lower(std::string(GetLastRecordingDir())));
        CString told;
        told.Format(IDS_RECORDING_KEPT, m_folder.c_str());
        EXPECT_TRUE(HasBox(App().Boxes(), std::string(told))) << JoinBoxes(App().Boxes());
    }

    ScratchDir m_temp{"vxsave"};
    ScratchDir m_output{"vxout"};
    CMainFrame* m_frame = NULL;
    std::string m_folder;
    CString m_lastRecDir;
};

// A package that cannot be written and is not retried under another name:
// the renamed screen file, the note naming it and LastRecDir stay.
TEST_F(MainFrameSaveTest, RefusedPackageKeepsTheRenamedRecording)
{
    CRecorderPrefs* p = m_frame->GetPrefs();
    p->m_createSkoRecFile = TRUE;
    p->m_fileNaming = 1;
    p->m_outputDir = (m_output.Path() + "\\missing folder").c_str();
    p->m_fixedFileName = "Kept.skorec";
    RecordFor(1200);

    CString retry;
    retry.Format(IDS_PACKAGE_RETRY, "Kept(1).skorec");
    EXPECT_TRUE(HasBox(App().Boxes(), std::string(retry))) << JoinBoxes(App().Boxes());
    const KeptFolder kept = ReadKeptFolder(m_folder);
    ExpectKept(kept);
    EXPECT_EQ(Lower(m_folder + "Kept_Screen.avi"), kept.videoTrack);
    const std::string frames =
        Probe(m_folder + "Kept_Screen.avi", "-count_frames -select_streams v:0 -show_entries stream=nb_read_frames");
    EXPECT_GE(atoi(frames.c_str()), 3) << frames;
}

// A plain save under a fixed name that cannot be written, given up: the
// recording stays as recorded, with its note and LastRecDir.
TEST_F(MainFrameSaveTest, PlainSaveGivenUpKeepsTheRecording)
{
    CRecorderPrefs* p = m_frame->GetPrefs();
    p->m_fileNaming = 1;
    p->m_outputDir = (m_output.Path() + "\\missing folder").c_str();
    p->m_fixedFileName = "Kept.avi";
    RecordFor(1200);

    CString gaveUp;
    gaveUp.Format(IDS_SAVE_GAVE_UP, (m_output.Path() + "\\missing folder\\Kept.avi").c_str());
    EXPECT_TRUE(HasBox(App().Boxes(), std::string(gaveUp))) << JoinBoxes(App().Boxes());
    const KeptFolder kept = ReadKeptFolder(m_folder);
    ExpectKept(kept);
    const std::vector<std::string> screens = mediatest::ListFiles(m_folder, "*_Screen.avi");
    ASSERT_EQ(1u, screens.size());
    EXPECT_EQ(Lower(m_folder + screens[0]), kept.videoTrack);
    EXPECT_TRUE(kept.audioTrack.empty()) << "no sound was recorded: " << kept.audioTrack;
}

// Finishing that fails (here the interleaved file reaches the writer's
// size limit) loses nothing: the screen AVI as recorded and the sound file
// stay, and the note names both, the sound as its sound track.
TEST_F(MainFrameSaveTest, FailedInterleaveKeepsScreenAndSound)
{
    WithSound();
    CAviInterleaveWriter::SetSizeLimit(64 * 1024);
    RecordFor(1500);

    const KeptFolder kept = ReadKeptFolder(m_folder);
    ExpectKept(kept);
    const std::vector<std::string> screens = mediatest::ListFiles(m_folder, "*_Screen.avi");
    ASSERT_EQ(1u, screens.size());
    const std::vector<std::string> sounds = mediatest::ListFiles(m_folder, "*_Audio.wav");
    ASSERT_EQ(1u, sounds.size()) << "the sound file was not kept";
    EXPECT_EQ(Lower(m_folder + sounds[0]), kept.audioTrack);
    EXPECT_EQ(Lower(m_folder + screens[0]), kept.videoTrack);
    const std::string frames =
        Probe(m_folder + screens[0], "-count_frames -select_streams v:0 -show_entries stream=nb_read_frames");
    EXPECT_GE(atoi(frames.c_str()), 3) << frames;
    const mediatest::WavInfo wav = mediatest::ReadWav(m_folder + sounds[0]);
    EXPECT_TRUE(wav.ok) << wav.layout;
    EXPECT_GT(wav.data.size(), 22050u) << "at least half a second of sound";
}

// A recording split into segments cannot be joined yet: every segment, the
// sound of each and the note naming them all stay, and the user is told
// where they lie.
TEST_F(MainFrameSaveTest, SplitRecordingKeepsEverySegment)
{
    WithSound();
    CRecorderEngine::SetSegmentLimit(100 * 1024);   // a segment holds two frames of 160 x 120
    // Each change of segment waits for the sound input's latency (about a
    // second under Wine) to end the segment's sound at its end.
    RecordFor(4500);

    EXPECT_TRUE(HasBox(App().Boxes(), Text(IDS_CANNOT_RENDER_AVI))) << JoinBoxes(App().Boxes());
    const KeptFolder kept = ReadKeptFolder(m_folder);
    ExpectKept(kept);
    const std::vector<std::string> segments = mediatest::ListFiles(m_folder, "*_Screen*.avi");
    EXPECT_GE(segments.size(), 3u);
    const std::vector<std::string> sounds = mediatest::ListFiles(m_folder, "*_Audio.wav");
    EXPECT_GE(sounds.size(), 2u) << "each segment records its own sound";
    EXPECT_FALSE(kept.audioTrack.empty());
}

namespace {

struct DialogSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK TakeOwnedDialog(HWND h, LPARAM param)
{
    DialogSearch* search = (DialogSearch*)param;
    char cls[16] = "";
    ::GetClassNameA(h, cls, sizeof(cls));
    if (strcmp(cls, "#32770") == 0 && ::GetWindow(h, GW_OWNER) == search->owner) {
        search->found = h;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

// Cancelling the finishing and confirming that the recording goes deletes
// it, as the question says, rather than keeping it.
TEST_F(MainFrameSaveTest, CancelledFinishingThatTheUserConfirmsDeletesTheRecording)
{
    WithSound();
    ASSERT_TRUE(m_frame->Record());
    ASSERT_TRUE(m_frame->GetEngine() != NULL);
    m_folder = std::string(m_frame->GetEngine()->GetRecordingFolder());
    ASSERT_TRUE(PumpUntil([&] { return m_frame->GetEngine()->GetCapturedFrames() > 0; }, 15000));
    Pump(1000);
    // The engine's progress window takes Cancel before the finishing starts.
    DialogSearch search = {m_frame->GetSafeHwnd(), NULL};
    ::EnumThreadWindows(::GetCurrentThreadId(), TakeOwnedDialog, (LPARAM)&search);
    ASSERT_TRUE(search.found != NULL) << "no progress window";
    ::SendMessageA(search.found, WM_COMMAND, IDCANCEL, 0);
    App().SetYesNoAnswer(IDYES);
    m_frame->Stop();
    const bool ended = PumpUntil([&] { return m_frame->GetEngine() == NULL; }, 120000);
    App().SetYesNoAnswer(IDNO);
    ASSERT_TRUE(ended);

    EXPECT_TRUE(HasBox(App().Boxes(), Text(IDS_CANCEL_DELETE_CAPTURE))) << JoinBoxes(App().Boxes());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(m_folder.c_str()))
        << ::testing::PrintToString(mediatest::ListFiles(m_folder, "*"));
    EXPECT_EQ("", std::string(GetLastRecordingDir()));
}

// Discarding still deletes the whole recording, its sound included.
TEST_F(MainFrameSaveTest, DiscardLeavesNothing)
{
    WithSound();
    RecordFor(1000, true);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(m_folder.c_str()))
        << ::testing::PrintToString(mediatest::ListFiles(m_folder, "*"));
    EXPECT_EQ("", std::string(GetLastRecordingDir()));
}

// Fixed and automatic names without an output folder go to the user's
// videos folder, never to the root of the current drive; the recording
// folder is cleared.
TEST_F(MainFrameSaveTest, NameWithoutFolderGoesToTheVideosFolder)
{
    char videos[MAX_PATH] = "";
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathA(NULL, CSIDL_MYVIDEO | CSIDL_FLAG_CREATE, NULL, SHGFP_TYPE_CURRENT, videos)));
    ASSERT_GT(strlen(videos), 3u) << videos;
    const struct {
        int naming;
        const char* expected;   // the saved file's name
    } cases[] = {
        {1, "VexcapSaveTest.avi"},
        {2, "VexcapSaveTest-1.avi"},
    };
    for (const auto& c : cases) {
        const std::string expected = std::string(videos) + "\\" + c.expected;
        ::DeleteFileA(expected.c_str());
        CRecorderPrefs* p = m_frame->GetPrefs();
        p->m_outputDir = "";
        p->m_fileNaming = c.naming;
        p->m_fixedFileName = "VexcapSaveTest.avi";
        p->m_autoFilePrefix = "VexcapSaveTest-";
        App().ClearBoxes();
        RecordFor(1000);

        const std::string saved(m_frame->GetLastSavedName());
        EXPECT_EQ(Lower(expected), Lower(saved)) << c.naming << " " << JoinBoxes(App().Boxes());
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(expected.c_str())) << c.naming;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(m_folder.c_str())) << c.naming;
        EXPECT_EQ("", std::string(GetLastRecordingDir())) << c.naming;
        ::DeleteFileA(expected.c_str());
    }
}

// The window's zoom factor is the engine's from the start, at every initial
// zoom level (the output is the area seen through that level).
TEST_F(MainFrameSaveTest, ZoomFactorOfWindowAndEngineAgree)
{
    const struct {
        int level;
        float factor;
        int outputWidth;
    } cases[] = {
        {100, 1.0f, 160},
        {200, 0.5f, 320},
        {50, 2.0f, 80},
    };
    for (const auto& c : cases) {
        m_frame->GetPrefs()->m_zoomInitialLevel = c.level;
        ASSERT_TRUE(m_frame->Record()) << c.level;
        CRecorderEngine* engine = m_frame->GetEngine();
        ASSERT_TRUE(engine != NULL);
        EXPECT_EQ(c.outputWidth, engine->GetOutputWidth()) << c.level;
        EXPECT_FLOAT_EQ(c.factor, engine->GetZoomFactor()) << c.level;
        EXPECT_FLOAT_EQ(c.factor, m_frame->GetZoomFactor()) << c.level;
        // Toggling returns to the start area with the same factor.
        EXPECT_FLOAT_EQ(c.factor, engine->ToggleZoom()) << c.level;
        m_frame->Discard();
        ASSERT_TRUE(PumpUntil([&] { return m_frame->GetEngine() == NULL; }, 30000)) << c.level;
        EXPECT_FLOAT_EQ(1.0f, m_frame->GetZoomFactor()) << c.level;
    }
}

}  // namespace
