// The end-of-recording output: the recovery note, the package mode with its
// failures and retries, the save step with its naming modes, and deletes
// limited to the recording's folder.
#include "media/RecordingOutput.h"

#include "MediaTestUtil.h"
#include "FinishingTestUtil.h"
#include "TestSupport.h"
#include "capture/RecordingFinish.h"
#include "media/RecordingData.h"
#include "resources/ids_finishing.h"
#include "settings/RecorderPrefs.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

std::string Text(UINT id)
{
    CString text;
    text.LoadString(id);
    return std::string(text);
}

bool Exists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> g_announced;
void RecordAnnounce(LPCSTR path)
{
    g_announced.push_back(path);
}

// The main window's side, recorded; answers are set by the test.
class FakeHost : public IRecordingOutputHost {
public:
    explicit FakeHost(const CStringArray* files) : m_files(files) {}

    int ShowPreviewDialog(LPCSTR screen, LPCSTR) override
    {
        calls.push_back(std::string("preview ") + screen);
        return previewAnswer;
    }
    BOOL AskOutputFileName(CString& name) override
    {
        calls.push_back("ask");
        if (askAnswers.empty())
            return FALSE;
        const std::string answer = askAnswers.front();
        askAnswers.erase(askAnswers.begin());
        if (answer.empty())
            return FALSE;
        name = answer.c_str();
        return TRUE;
    }
    // The next free name prefix + n + extension in the folder, n from 1.
    BOOL MakeNumberedFileName(LPCSTR folder, LPCSTR prefix, LPCSTR extension, CString& name) override
    {
        for (int n = 1; n < 1000; ++n) {
            name.Format("%s%s%d%s", folder, prefix, n, extension);
            if (!Exists(std::string(name)))
                return TRUE;
        }
        return FALSE;
    }
    BOOL IsCameraPreviewShown() override { return cameraPreview; }
    void ShowCameraPreview(BOOL) override
    {
        cameraPreview = !cameraPreview;
        calls.push_back("camera preview");
    }
    void PrepareForPreview() override { calls.push_back("prepare"); }
    int RunPostSaveOptions() override
    {
        calls.push_back("options");
        return postSaveChoice;
    }
    void LaunchEditor(LPCSTR file, BOOL package, int choice) override
    {
        calls.push_back(std::string("editor ") + file + (package ? " package " : " avi ") + std::to_string(choice));
    }
    BOOL ShouldRestoreRecorder() override { return FALSE; }
    void RestoreMainWindow() override { calls.push_back("restore"); }
    void AddToOutputMru(LPCSTR name) override { mru.push_back(name); }
    BOOL SaveRecordingAs(LPCSTR destination, int part) override
    {
        calls.push_back(std::string("save ") + destination);
        if (failSaves)
            return FALSE;
        return SaveRecordingFileAs((*m_files)[part], destination);
    }
    void SetLastRecordingDir(LPCSTR folder) override { lastRecDir.push_back(folder); }

    const CStringArray* m_files;
    std::vector<std::string> calls;
    std::vector<std::string> askAnswers;
    std::vector<std::string> mru;
    std::vector<std::string> lastRecDir;
    int previewAnswer = 1;
    int postSaveChoice = 2;
    BOOL cameraPreview = FALSE;
    BOOL failSaves = FALSE;
};

// A recording folder as the engine leaves it: the finished screen AVI and
// the recovery note written at the start.
struct RecordingFolder {
    explicit RecordingFolder(const ScratchDir& dir, CRecorderPrefs& prefs)
    {
        folder = dir.File("SkoCapture1");
        ::CreateDirectoryA(folder.c_str(), NULL);
        screen = folder + "\\SkoCapture1_Screen.avi";
        EXPECT_TRUE(finishingtest::MakeScreenAvi(screen, 32, 24, 10, 10));
        files.Add(screen.c_str());
        CString note((folder + "\\RecInfo.xml").c_str());
        CStringArray media;
        media.Copy(files);
        EXPECT_TRUE(WriteRecordingPackage(note, media, prefs, info, NULL, false, NULL));
        EXPECT_TRUE(ReadFileBytes(screen, &screenBytes));
    }
    std::string folder;
    std::string screen;
    std::string screenBytes;
    CStringArray files;
    RecordingTrackInfo info;
};

void QuietPrefs(CRecorderPrefs& prefs, const ScratchDir& dir)
{
    prefs.m_previewAfterRecording = FALSE;
    prefs.m_optionsAfterRecording = FALSE;
    prefs.m_outputDir = dir.Path().c_str();
}

}  // namespace

TEST(RecordingOutput, RecoveryNoteDescribesTheRecording)
{
    ScratchDir dir;
    CRecorderPrefs prefs(NULL);
    prefs.m_recordAudio = TRUE;
    prefs.m_captureRate = CRational(15, 1, 1);
    prefs.m_playbackRate = CRational(15, 1, 1);
    const WAVEFORMATEX wf = mediatest::PcmFormat(22050, 1, 16);
    prefs.SetAudioFormat(&wf);
    RecordingTrackInfo info;
    info.outputWidth = 640;
    info.outputHeight = 480;
    info.outputBitDepth = 24;
    info.codecName = "xrvc codec";
    CStringArray media;
    media.Add(dir.File("r_Screen.avi").c_str());
    media.Add(dir.File("r_Audio.wav").c_str());
    CString note(dir.File("RecInfo.xml").c_str());
    const CDWordArray* noMarks = NULL;
    ASSERT_TRUE(WriteRecordingPackage(note, media, prefs, info, noMarks, false, NULL));

    CRecordingData read;
    ASSERT_TRUE(read.Load(note));
    ASSERT_EQ(2, read.GetFileCount());
    EXPECT_EQ(dir.File("r_Screen.avi"), std::string(read.GetManifestFile(0)));
    EXPECT_TRUE(read.IsAudioSeparate());
    EXPECT_EQ(dir.File("r_Audio.wav"), std::string(read.GetAudioTrackName()));
    EXPECT_EQ(dir.File("r_Screen.avi"), std::string(read.GetVideoTrackName()));
    int w, h, bpp;
    double fps;
    BOOL audio;
    CString codec;
    WAVEFORMATEX format;
    read.GetVideoTrack(&w, &h, &bpp, &fps, &audio, &codec, &format, NULL, NULL, NULL);
    EXPECT_EQ(640, w);
    EXPECT_EQ(24, bpp);
    EXPECT_DOUBLE_EQ(15.0, fps);
    EXPECT_TRUE(audio);
    EXPECT_EQ("xrvc codec", std::string(codec));
    EXPECT_EQ(22050u, format.nSamplesPerSec);

    // The frame rate is the exact playback rate the AVI is written with,
    // with or without time lapse (a whole number would turn 29.97 into 29
    // and 1/2 into 0; the capture rate of a time lapse is not the playback's).
    const struct {
        BOOL timeLapse;
        DWORD captureRate, captureScale, rate, scale;
        double fps;
    } rates[] = { { FALSE, 1, 2, 1, 2, 0.5 },
                  { TRUE, 1, 5, 15, 1, 15.0 },
                  { FALSE, 30000, 1001, 30000, 1001, 29.970030 },
                  { FALSE, 15, 1, 0, 1, 15.0 } };   // no playback rate: the capture rate
    for (const auto& r : rates) {
        prefs.m_captureRate = CRational(r.captureRate, r.captureScale, 1);
        prefs.m_playbackRate = CRational(r.rate, r.scale, 1);
        prefs.m_timeLapse = r.timeLapse;
        CString empty;
        ASSERT_TRUE(WriteRecordingPackage(empty, media, prefs, info, noMarks, false, NULL));
        EXPECT_NE(-1, empty.Find("SkoManifest")) << std::string(empty);
        CRecordingData again;
        ASSERT_TRUE(again.Load(empty));
        again.GetVideoTrack(NULL, NULL, NULL, &fps, NULL, NULL, NULL, NULL, NULL, NULL);
        EXPECT_NEAR(r.fps, fps, 1e-9) << r.timeLapse << " " << r.rate << "/" << r.scale;
    }
    // The sound track is the recording's sound file wherever it is listed,
    // and none when the recording has no sound file.
    const struct {
        std::vector<std::string> files;
        std::string audioTrack;
    } lists[] = {
        { { "r_Screen.avi" }, "" },
        { { "r_Screen.avi", "r_Screen1.avi" }, "" },
        { { "r_Screen.avi", "r_Screen1.avi", "r_Audio.wav", "r_Screen1_Audio.wav" }, "r_Audio.wav" },
        { { "r_Screen.avi", "r_Audio.WAV" }, "r_Audio.WAV" },
    };
    prefs.m_timeLapse = FALSE;
    for (const auto& l : lists) {
        CStringArray files;
        for (const std::string& f : l.files)
            files.Add(dir.File(f).c_str());
        ASSERT_TRUE(WriteRecordingPackage(note, files, prefs, info, noMarks, false, NULL));
        EXPECT_FALSE(Exists(std::string(note) + ".tmp")) << l.files.size();
        CRecordingData listed;
        ASSERT_TRUE(listed.Load(note));
        EXPECT_EQ(static_cast<int>(l.files.size()), listed.GetFileCount());
        EXPECT_EQ(l.audioTrack.empty() ? std::string() : dir.File(l.audioTrack), std::string(listed.GetAudioTrackName()))
            << l.files.size();
        EXPECT_EQ(dir.File("r_Screen.avi"), std::string(listed.GetVideoTrackName()));
    }
    prefs.m_fileType = 2;
    EXPECT_FALSE(WriteRecordingPackage(note, media, prefs, info, noMarks, false, NULL));
    CStringArray none;
    prefs.m_fileType = 0;
    EXPECT_FALSE(WriteRecordingPackage(note, none, prefs, info, noMarks, false, NULL));
}

// With the camera on, the note names the recording's camera file as the
// camera track wherever segments put it in the list, so that a recovery
// repairs it and packs it; a camera that did not start leaves none.
TEST(RecordingOutput, RecoveryNoteNamesTheCameraFile)
{
    ScratchDir dir;
    CRecorderPrefs prefs(NULL);
    prefs.m_recordAudio = TRUE;
    RecordingTrackInfo info;
    info.outputWidth = 640;
    info.outputHeight = 480;
    info.outputBitDepth = 24;
    info.cameraWidth = 320;
    info.cameraHeight = 240;
    const struct {
        BOOL camera;
        std::vector<std::string> files;
        std::string cameraTrack;
    } cases[] = {
        { TRUE, { "r_Screen.avi", "r_Camera.wmv" }, "r_Camera.wmv" },
        { TRUE, { "r_Screen.avi", "r_Camera.wmv", "r_Screen1.avi", "r_Screen2.avi" }, "r_Camera.wmv" },
        { TRUE, { "r_Screen.avi", "r_Camera.avi" }, "r_Camera.avi" },
        { TRUE, { "r_Screen.avi" }, "" },
        { FALSE, { "r_Screen.avi", "r_Audio.wav" }, "" },
    };
    const CString note(dir.File("RecInfo.xml").c_str());
    for (const auto& c : cases) {
        const std::string label = c.files.back() + (c.camera ? " with camera" : " without camera");
        prefs.m_recordCamera = c.camera;
        CStringArray files;
        for (const std::string& f : c.files)
            files.Add(dir.File(f).c_str());
        CString path = note;
        ASSERT_TRUE(WriteRecordingPackage(path, files, prefs, info, NULL, false, NULL)) << label;
        CRecordingData read;
        ASSERT_TRUE(read.Load(note)) << label;
        EXPECT_EQ(static_cast<int>(c.files.size()), read.GetFileCount()) << label;
        EXPECT_EQ(dir.File("r_Screen.avi"), std::string(read.GetVideoTrackName())) << label;
        EXPECT_EQ(c.cameraTrack.empty() ? std::string() : dir.File(c.cameraTrack),
                  std::string(read.GetCameraTrackName()))
            << label;
        int w = 0;
        BOOL audio = FALSE;
        read.GetCameraTrack(&w, NULL, NULL, NULL, &audio, NULL, NULL, NULL, NULL, NULL, NULL);
        if (c.camera) {
            EXPECT_EQ(320, w) << label;
            EXPECT_TRUE(audio) << label;
        }
    }
}

// With the defaults the save step writes a .skorec that gsf reads, with the
// screen stream byte for byte, and clears the recording's folder.
TEST(RecordingOutput, DefaultSaveWritesAPackage)
{
    ScratchDir dir;
    CRecorderPrefs prefs(NULL);
    QuietPrefs(prefs, dir);
    RecordingFolder rec(dir, prefs);
    FakeHost host(&rec.files);
    const std::string output = dir.File("My recording.skorec");
    host.askAnswers.push_back(output);
    CDWordArray marks;
    marks.Add(1500);
    g_announced.clear();
    SetShellNotifier(RecordAnnounce);
    CRecordingOutput out(&host, prefs, rec.info, rec.files, "", FALSE, marks);
    mediatest::ResetMessageBoxes();
    EXPECT_EQ(kOutputSaved, out.SaveRecordingOutput());
    SetShellNotifier(NULL);
    EXPECT_TRUE(mediatest::MessageBoxes().empty());
    EXPECT_EQ(output, std::string(out.GetSavedName()));
    ASSERT_EQ(1u, g_announced.size());
    EXPECT_EQ(output, g_announced[0]);
    ASSERT_EQ(1u, host.mru.size());
    EXPECT_EQ(output, host.mru[0]);
    ASSERT_EQ(1u, host.lastRecDir.size());
    EXPECT_EQ("", host.lastRecDir[0]);
    EXPECT_FALSE(Exists(rec.folder)) << "the recording's folder is removed";

    std::string list;
    ASSERT_EQ(0, RunHost("gsf list '" + UnixPath(output) + "'", &list)) << list;
    EXPECT_NE(std::string::npos, list.find("manifest.skoxml")) << list;
    EXPECT_NE(std::string::npos, list.find("Screen_Stream.avi")) << list;
    EXPECT_EQ(std::string::npos, list.find("Camera_Stream.wmv")) << list;
    const std::string copy = dir.File("screen.out");
    ASSERT_EQ(0, RunHost("gsf cat '" + UnixPath(output) + "' Screen_Stream.avi > '" + UnixPath(copy) + "'", &list));
    std::string catted;
    ASSERT_TRUE(ReadFileBytes(copy, &catted));
    EXPECT_TRUE(catted == rec.screenBytes) << catted.size() << " of " << rec.screenBytes.size() << " bytes";

    // The manifest stream: one screen stream, the camera track at its defaults, the bookmark.
    const std::string manifestCopy = dir.File("manifest.out");
    ASSERT_EQ(0, RunHost("gsf cat '" + UnixPath(output) + "' manifest.skoxml > '" + UnixPath(manifestCopy) + "'", &list));
    std::string counted;
    ASSERT_TRUE(ReadFileBytes(manifestCopy, &counted));
    ASSERT_GT(counted.size(), 6u);
    const CString text(CStringW(reinterpret_cast<const wchar_t*>(counted.data() + 4)));
    CRecordingData read;
    ASSERT_TRUE(read.Parse(text));
    ASSERT_EQ(1, read.GetFileCount());
    EXPECT_EQ("Screen_Stream.avi", std::string(read.GetManifestFile(0)));
    EXPECT_EQ("Screen_Stream.avi", std::string(read.GetVideoTrackName()));
    EXPECT_EQ("", std::string(read.GetCameraTrackName()));
    int cw = -1;
    read.GetCameraTrack(&cw, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    EXPECT_EQ(0, cw);
    RecordingBookmarkList readMarks;
    read.GetBookmarks(readMarks);
    ASSERT_EQ(1u, readMarks.size());
    EXPECT_EQ(1500u, readMarks[0].start);
}

// With CreateSkoRecFile off and automatic naming the save step writes a
// plain AVI under the next numbered name and announces it to the shell.
TEST(RecordingOutput, PlainAviUnderTheNextNumberedName)
{
    ScratchDir dir;
    CRecorderPrefs prefs(NULL);
    QuietPrefs(prefs, dir);
    prefs.m_createSkoRecFile = FALSE;
    prefs.m_fileNaming = 2;
    prefs.m_autoFilePrefix = "Capture-";
    ASSERT_TRUE(WriteFileBytes(dir.File("Capture-1.avi"), "old", 3));
    RecordingFolder rec(dir, prefs);
    FakeHost host(&rec.files);
    g_announced.clear();
    SetShellNotifier(RecordAnnounce);
    CRecordingOutput out(&host, prefs, rec.info, rec.files, "", FALSE, CDWordArray());
    EXPECT_EQ(kOutputSaved, out.SaveRecordingOutput());
    SetShellNotifier(NULL);
    const std::string expected = dir.File("Capture-2.avi");
    ASSERT_EQ(1u, g_announced.size());
    EXPECT_EQ(expected, g_announced[0]);
    std::string saved;
    ASSERT_TRUE(ReadFileBytes(expected, &saved));
    EXPECT_TRUE(saved == rec.screenBytes);
    EXPECT_EQ("rawvideo", finishingtest::ProbeStream(expected, "v:0", "codec_name"));
    EXPECT_FALSE(Exists(rec.folder + "\\RecInfo.xml"));
    EXPECT_FALSE(Exists(rec.folder));
    ASSERT_EQ(1u, host.lastRecDir.size());
}

// A fixed name that keeps failing ends with an error after Cancel, keeping
// the recording; Retry tries again.
TEST(RecordingOutput, FailingPlainSaveEndsInsteadOfLooping)
{
    ScratchDir dir;
    CRecorderPrefs prefs(NULL);
    QuietPrefs(prefs, dir);
    prefs.m_createSkoRecFile = FALSE;
    prefs.m_fileNaming = 1;
    prefs.m_fixedFileName = "Fixed.skorec";
    RecordingFolder rec(dir, prefs);
    FakeHost host(&rec.files);
    host.failSaves = TRUE;
    mediatest::ResetMessageBoxes(IDCANCEL);
    CRecordingOutput out(&host, prefs, rec.info, rec.files, "", FALSE, CDWordArray());
    EXPECT_EQ(kOutputKept, out.SaveRecordingOutput());
    const std::vector<std::string> boxes = mediatest::MessageBoxes();
    ASSERT_EQ(2u, boxes.size());
    CString first;
    first.Format(IDS_CANNOT_SAVE_FILE, dir.File("Fixed.avi").c_str());
    EXPECT_EQ(std::string(first), boxes[0]);
    EXPECT_NE(std::string::npos, boxes[1].find(dir.File("Fixed.avi")));
    EXPECT_TRUE(Exists(rec.screen));
    EXPECT_TRUE(Exists(rec.folder + "\\RecInfo.xml"));
    EXPECT_TRUE(host.lastRecDir.empty());
    EXPECT_EQ(1u, std::count(host.calls.begin(), host.calls.end(), "save " + dir.File("Fixed.avi")));
}

// Cancel in the save dialog asks; No asks for the name again, Yes discards.
TEST(RecordingOutput, CancelledNameAsksToDiscard)
{
    ScratchDir dir;
    CRecorderPrefs prefs(NULL);
    QuietPrefs(prefs, dir);
    prefs.m_createSkoRecFile = FALSE;
    RecordingFolder rec(dir, prefs);
    {
        FakeHost host(&rec.files);
        host.askAnswers = { "", dir.File("named.avi") };
        mediatest::ResetMessageBoxes(IDNO);
        CRecordingOutput out(&host, prefs, rec.info, rec.files, "", FALSE, CDWordArray());
        EXPECT_EQ(kOutputSaved, out.SaveRecordingOutput());
        EXPECT_EQ(2, std::count(host.calls.begin(), host.calls.end(), "ask"));
        ASSERT_EQ(1u, mediatest::MessageBoxes().size());
        EXPECT_EQ(Text(IDS_CONFIRM_DISCARD), mediatest::MessageBoxes()[0]);
        EXPECT_TRUE(Exists(dir.File("named.avi")));
    }
    {
        RecordingFolder again(dir, prefs);
        FakeHost host(&again.files);
        mediatest::ResetMessageBoxes(IDYES);
        CRecordingOutput out(&host, prefs, again.info, again.files, "", FALSE, CDWordArray());
        EXPECT_EQ(kOutputDiscarded, out.SaveRecordingOutput());
        EXPECT_EQ(1, std::count(host.calls.begin(), host.calls.end(), "ask"));
    }
}

// A package that cannot be written, followed by No, keeps the media (renamed
// after the output's first 20 bytes), the manifest and the recovery note.
TEST(RecordingOutput, FailedPackageAndNoKeepsEverything)
{
    ScratchDir dir;
    CRecorderPrefs prefs(NULL);
    QuietPrefs(prefs, dir);
    RecordingFolder rec(dir, prefs);
    FakeHost host(&rec.files);
    const std::string output = dir.File("missing folder\\A very long recording name here.skorec");
    host.askAnswers.push_back(output);
    mediatest::ResetMessageBoxes(IDNO);
    CRecordingOutput out(&host, prefs, rec.info, rec.files, "", FALSE, CDWordArray());
    EXPECT_EQ(kOutputKept, out.SaveRecordingOutput());
    const std::vector<std::string> boxes = mediatest::MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    CString question;
    question.Format(IDS_PACKAGE_RETRY, "A very long recording name here(1).skorec");
    EXPECT_EQ(std::string(question), boxes[0]);
    const std::string moved = rec.folder + "\\A very long recordin_Screen.avi";
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(moved, &bytes)) << "the screen file under its new name";
    EXPECT_TRUE(bytes == rec.screenBytes);
    EXPECT_TRUE(Exists(rec.folder + "\\RecInfo.xml"));
    CRecordingData note;
    ASSERT_TRUE(note.Load((rec.folder + "\\RecInfo.xml").c_str()));
    ASSERT_EQ(1, note.GetFileCount());
    EXPECT_EQ(moved, std::string(note.GetManifestFile(0))) << "the note names the media where they lie";
    EXPECT_EQ(moved, std::string(note.GetVideoTrackName()));
    EXPECT_TRUE(Exists(rec.folder + "\\A very long recording name here.skomanifest"));
    EXPECT_TRUE(host.lastRecDir.empty());
    EXPECT_TRUE(mediatest::ListFiles(rec.folder, "*_Temp").empty());
}

// Saving the package into the recording's own folder: the temporary
// manifest is not the package, and the package survives the clean-up.
TEST(RecordingOutput, PackageInsideTheRecordingFolderSurvives)
{
    ScratchDir dir;
    CRecorderPrefs prefs(NULL);
    QuietPrefs(prefs, dir);
    RecordingFolder rec(dir, prefs);
    FakeHost host(&rec.files);
    const std::string output = rec.folder + "\\take.skomanifest";
    host.askAnswers.push_back(output);
    CRecordingOutput out(&host, prefs, rec.info, rec.files, "", FALSE, CDWordArray());
    EXPECT_EQ(kOutputSaved, out.SaveRecordingOutput());
    CRecordingData check;
    check.AddFile(rec.screen.c_str(), "Screen_Stream.avi");
    std::string list;
    ASSERT_EQ(0, RunHost("gsf list '" + UnixPath(output) + "'", &list)) << list;
    EXPECT_NE(std::string::npos, list.find("Screen_Stream.avi"));
}

TEST(RecordingOutput, PreviewAndPostSaveChoices)
{
    ScratchDir dir;
    CRecorderPrefs prefs(NULL);
    QuietPrefs(prefs, dir);
    prefs.m_createSkoRecFile = FALSE;
    prefs.m_previewAfterRecording = TRUE;
    prefs.m_optionsAfterRecording = TRUE;
    prefs.m_fileNaming = 2;
    prefs.m_autoFilePrefix = "Take";
    {
        RecordingFolder rec(dir, prefs);
        FakeHost host(&rec.files);
        host.cameraPreview = TRUE;
        host.previewAnswer = 0;
        CRecordingOutput out(&host, prefs, rec.info, rec.files, "", FALSE, CDWordArray());
        EXPECT_EQ(kOutputDiscarded, out.SaveRecordingOutput());
        EXPECT_TRUE(host.cameraPreview) << "the camera preview is switched back on";
        const std::vector<std::string> expected = { "camera preview", "prepare", "preview " + rec.screen,
                                                    "camera preview" };
        EXPECT_EQ(expected, host.calls);
    }
    {
        RecordingFolder rec(dir, prefs);
        FakeHost host(&rec.files);
        host.postSaveChoice = 1;
        CRecordingOutput out(&host, prefs, rec.info, rec.files, "", FALSE, CDWordArray());
        EXPECT_EQ(kOutputSaved, out.SaveRecordingOutput());
        EXPECT_EQ("editor " + dir.File("Take1.avi") + " avi 1", host.calls.back());
    }
}

TEST(RecordingOutput, NameCutsKeepDoubleByteCharacters)
{
    const struct {
        const char* name;
        const char* cut;
    } cases[] = {
        { "A very long recording name here", "A very long recordin" },
        { "short", "short" },
        { "录制一二三四五六七八九十", "录制一二三四五六七八" },   // 20 bytes: ten characters
        { "a录制一二三四五六七八九十", "a录制一二三四五六七" },   // 19 bytes, not half a character
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::string(c.cut), std::string(CutName(c.name, 20))) << c.name;
}

// Paths read back from a manifest delete nothing outside the recording's folder.
TEST(RecordingOutput, DeletesStayInsideTheRecordingFolder)
{
    ScratchDir dir;
    const std::string folder = dir.File("SkoCapture9");
    ::CreateDirectoryA(folder.c_str(), NULL);
    const std::string inside = folder + "\\x_Screen.avi";
    const std::string outside = dir.File("precious.avi");
    ASSERT_TRUE(WriteFileBytes(inside, "1", 1));
    ASSERT_TRUE(WriteFileBytes(outside, "2", 1));
    ASSERT_TRUE(WriteFileBytes(folder + "\\RecInfo.xml", "3", 1));
    CRecordingData manifest;
    for (const std::string& p : { inside, outside, folder + "\\..\\precious.avi", std::string("C:\\windows\\win.ini") })
        manifest.AddFile(p.c_str(), p.c_str());
    ASSERT_TRUE(manifest.WriteManifest((folder + "\\RecInfo.xml").c_str()));
    CRecordingData read;
    ASSERT_TRUE(read.Load((folder + "\\RecInfo.xml").c_str()));
    CStringArray files;
    for (int i = 0; i < read.GetFileCount(); ++i)
        files.Add(read.GetPackageFile(i));
    EXPECT_EQ(3, DeleteRecordingFiles(folder.c_str(), files));
    EXPECT_FALSE(Exists(inside));
    EXPECT_TRUE(Exists(outside));
    EXPECT_TRUE(Exists("C:\\windows\\win.ini"));
    EXPECT_FALSE(Exists(folder));
    EXPECT_FALSE(IsInsideFolder(folder.c_str(), (folder + "2\\a.avi").c_str()));
    EXPECT_TRUE(IsInsideFolder(folder.c_str(), (folder + "\\sub\\..\\a.avi").c_str()));
}

// A medium that cannot be moved to its new name stops the package: nothing
// is deleted, and the list still names the file where it is.
TEST(RecordingOutput, FailedMediaMoveKeepsTheRecording)
{
    ScratchDir dir;
    CRecorderPrefs prefs(NULL);
    QuietPrefs(prefs, dir);
    RecordingFolder rec(dir, prefs);
    HANDLE lock = ::CreateFileA(rec.screen.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    CStringArray media;
    media.Copy(rec.files);
    CString output(dir.File("out.skorec").c_str());
    mediatest::ResetMessageBoxes(IDNO);
    const BOOL written = WriteRecordingPackage(output, media, prefs, rec.info, NULL, true, NULL);
    ::CloseHandle(lock);
    EXPECT_FALSE(written);
    ASSERT_EQ(1, media.GetSize());
    EXPECT_EQ(rec.screen, std::string(media[0]));
    EXPECT_TRUE(Exists(rec.screen));
    EXPECT_TRUE(Exists(rec.folder + "\\RecInfo.xml"));
    EXPECT_FALSE(Exists(dir.File("out.skorec")));
    EXPECT_EQ(1u, mediatest::MessageBoxes().size());
}

// The save step takes only the camera file the engine recorded. A camera
// recording whose camera file is missing, empty or was never listed saves
// the screen stream alone instead of failing the package for ever.
TEST(RecordingOutput, PackageTakesOnlyTheRecordedCameraFile)
{
    struct Case {
        const char* label;
        bool listCamera;
        const char* cameraBytes;   // null: no file on disk
        bool expectCamera;
    } cases[] = {
        {"recorded camera file", true, "camera-bytes", true},
        {"camera never listed", false, NULL, false},
        {"listed but missing", true, NULL, false},
        {"listed but empty", true, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ScratchDir dir;
        CRecorderPrefs prefs(NULL);
        QuietPrefs(prefs, dir);
        prefs.m_recordCamera = TRUE;
        prefs.m_recordAudio = TRUE;
        prefs.m_fileNaming = 2;
        prefs.m_autoFilePrefix = "Camera-";
        RecordingFolder rec(dir, prefs);
        const std::string camera = rec.folder + "\\SkoCapture1_Camera.wmv";
        if (c.cameraBytes) {
            ASSERT_TRUE(WriteFileBytes(camera, c.cameraBytes, strlen(c.cameraBytes)));
        }
        if (c.listCamera)
            rec.files.Add(camera.c_str());
        rec.info.cameraCodec = "默认编码";
        rec.info.cameraWidth = 320;
        rec.info.cameraHeight = 240;
        rec.info.cameraBitCount = 24;
        rec.info.cameraProfileWithAudio = "Skorvale Studio Camera Video and Audio (CBR)";
        rec.info.cameraProfileWithoutAudio = "Skorvale Studio Camera Video (CBR)";
        FakeHost host(&rec.files);
        CRecordingOutput out(&host, prefs, rec.info, rec.files, "", FALSE, CDWordArray());
        mediatest::ResetMessageBoxes();
        ASSERT_EQ(kOutputSaved, out.SaveRecordingOutput());
        EXPECT_TRUE(mediatest::MessageBoxes().empty());
        const std::string output = dir.File("Camera-1.skorec");
        std::string list;
        ASSERT_EQ(0, RunHost("gsf list '" + UnixPath(output) + "'", &list)) << list;
        EXPECT_NE(std::string::npos, list.find("Screen_Stream.avi")) << list;
        EXPECT_EQ(c.expectCamera, list.find("Camera_Stream.wmv") != std::string::npos) << list;
        EXPECT_FALSE(Exists(rec.folder)) << "the recording's folder is removed";
        if (!c.expectCamera)
            continue;
        std::string counted;
        const std::string manifestCopy = dir.File("manifest.out");
        ASSERT_EQ(0, RunHost("gsf cat '" + UnixPath(output) + "' manifest.skoxml > '" + UnixPath(manifestCopy) + "'",
                             &list));
        ASSERT_TRUE(ReadFileBytes(manifestCopy, &counted));
        ASSERT_GT(counted.size(), 6u);
        CRecordingData read;
        ASSERT_TRUE(read.Parse(CString(CStringW(reinterpret_cast<const wchar_t*>(counted.data() + 4)))));
        EXPECT_EQ("Camera_Stream.wmv", std::string(read.GetCameraTrackName()));
        int w = 0, h = 0, bpp = 0, hasAudio = 0;
        double fps = 0;
        CString codec, profile;
        read.GetCameraTrack(&w, &h, &bpp, &fps, &hasAudio, &codec, &profile, NULL, NULL, NULL, NULL);
        EXPECT_EQ(320, w);
        EXPECT_EQ(240, h);
        EXPECT_EQ(24, bpp);
        EXPECT_EQ(1, hasAudio);
        EXPECT_STREQ("默认编码", codec);
        EXPECT_STREQ("Skorvale Studio Camera Video and Audio (CBR)", profile);
    }
}

// With the package off, the camera file is kept beside the saved AVI, and
// the recording's folder can go.
TEST(RecordingOutput, PlainSaveKeepsTheCameraFileBesideTheAvi)
{
    ScratchDir dir;
    CRecorderPrefs prefs(NULL);
    QuietPrefs(prefs, dir);
    prefs.m_createSkoRecFile = FALSE;
    prefs.m_recordCamera = TRUE;
    prefs.m_fileNaming = 2;
    prefs.m_autoFilePrefix = "Plain-";
    RecordingFolder rec(dir, prefs);
    const std::string camera = rec.folder + "\\SkoCapture1_Camera.wmv";
    ASSERT_TRUE(WriteFileBytes(camera, "camera", 6));
    rec.files.Add(camera.c_str());
    FakeHost host(&rec.files);
    CRecordingOutput out(&host, prefs, rec.info, rec.files, "", FALSE, CDWordArray());
    EXPECT_EQ(kOutputSaved, out.SaveRecordingOutput());
    EXPECT_TRUE(Exists(dir.File("Plain-1.avi")));
    std::string kept;
    ASSERT_TRUE(ReadFileBytes(dir.File("Plain-1_Camera.wmv"), &kept));
    EXPECT_EQ("camera", kept);
    EXPECT_FALSE(Exists(rec.folder)) << "the recording's folder is removed";
}
