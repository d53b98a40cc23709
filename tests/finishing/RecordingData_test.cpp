// The recording manifest (golden file, read-back, version checks) and the
// .skorec package read back by gsf.
#include "media/RecordingData.h"

#include "MediaTestUtil.h"
#include "FinishingTestUtil.h"
#include "TestSupport.h"
#include "resources/ids_finishing.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

std::string LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return std::string(text.GetString());
}

// The recording of the golden file: screen and camera with sound, two bookmarks.
void FillGoldenRecording(CRecordingData& data)
{
    data.AddFile("C:\\temp\\SkoCapture1\\a_Screen.avi", "Screen_Stream.avi");
    data.AddFile("C:\\temp\\SkoCapture1\\a_Camera.wmv", "Camera_Stream.wmv");
    data.SetVideoTrackName("Screen_Stream.avi");
    data.SetCameraTrackName("Camera_Stream.wmv");
    WAVEFORMATEX wf = mediatest::PcmFormat(22050, 1, 16);
    data.SetVideoTrack(800, 600, 24, 15.0, TRUE, "Kestravon Screen Capture Codec", &wf, 1, 0, 1);
    data.SetCameraTrack(320, 240, 24, 15.0, TRUE, "默认编码", "Skorvale Studio Camera Video and Audio (CBR)",
                        NULL, 1, 0, 1);
    RecordingBookmarkList marks;
    marks.push_back({ CString(""), 1500 });
    marks.push_back({ CString("Q&A <二>"), 60000 });
    data.AppendBookmarks(marks);
}

std::string GoldenPath()
{
    return SourceDir() + "\\tests\\finishing\\data\\recording.skoxml.expected";
}

}  // namespace

TEST(RecordingData, ManifestMatchesGoldenFile)
{
    ScratchDir dir;
    CRecordingData data;
    FillGoldenRecording(data);
    const std::string path = dir.File("m.skoxml");
    ASSERT_TRUE(data.WriteManifest(path.c_str()));
    EXPECT_EQ(path, std::string(data.GetManifestPath()));
    std::string written, golden;
    ASSERT_TRUE(ReadFileBytes(path, &written));
    ASSERT_TRUE(ReadFileBytes(GoldenPath(), &golden));
    EXPECT_EQ(golden, written);
    EXPECT_NE(std::string::npos, written.find("\r\n"));
    // No byte-order mark, and every LF is preceded by CR.
    EXPECT_EQ('<', written[0]);
    for (size_t i = 0; i < written.size(); ++i) {
        if (written[i] == '\n') {
            ASSERT_TRUE(i > 0 && written[i - 1] == '\r') << "bare LF at " << i;
        }
    }
}

TEST(RecordingData, FreshObjectWritesDefaults)
{
    CRecordingData data;
    const std::string text = data.BuildManifest().GetString();
    const char* lines[] = {
        "<RecordingIsSkorec>1</RecordingIsSkorec>\r\n",
        "<AudioIsSeperate>0</AudioIsSeperate>\r\n",
        "<RecFiles_Array>\r\n</RecFiles_Array>\r\n",
        "<Bookmark_Array>\r\n</Bookmark_Array>\r\n",
        "<VideoTrackFPS>0.000000</VideoTrackFPS>\r\n",
        "<VideoInterleave>1</VideoInterleave>\r\n",
        "<VideoInterleaveBF>0</VideoInterleaveBF>\r\n",
        "<VideoInterleaveRate>1</VideoInterleaveRate>\r\n",
        "<VideoWFSize>65535</VideoWFSize>\r\n",
        "<VideoWFAvgBytesPerSec>-1</VideoWFAvgBytesPerSec>\r\n",
        "<CameraTrackProfile></CameraTrackProfile>\r\n",
    };
    for (const char* line : lines)
        EXPECT_NE(std::string::npos, text.find(line)) << line;
}

TEST(RecordingData, ManifestReadBackReproducesEveryField)
{
    ScratchDir dir;
    CRecordingData written;
    FillGoldenRecording(written);
    written.SetIsPackage(FALSE);
    written.SetAudioIsSeparate(TRUE);
    written.SetAudioTrackName("x_Audio.wav");
    const std::string path = dir.File("RecInfo.xml");
    ASSERT_TRUE(written.WriteManifest(path.c_str()));

    CRecordingData read;
    mediatest::ResetMessageBoxes();
    ASSERT_TRUE(read.Load(path.c_str()));
    EXPECT_TRUE(mediatest::MessageBoxes().empty());
    EXPECT_EQ(dir.Path() + "\\", std::string(read.GetFolder()));
    EXPECT_EQ("RecInfo.xml", std::string(read.GetManifestPath()));
    EXPECT_FALSE(read.IsPackage());
    EXPECT_TRUE(read.IsAudioSeparate());
    ASSERT_EQ(2, read.GetFileCount());
    EXPECT_EQ("Screen_Stream.avi", std::string(read.GetManifestFile(0)));
    EXPECT_EQ("Camera_Stream.wmv", std::string(read.GetPackageFile(1)));
    EXPECT_EQ("Screen_Stream.avi", std::string(read.GetVideoTrackName()));
    EXPECT_EQ("Camera_Stream.wmv", std::string(read.GetCameraTrackName()));
    EXPECT_EQ("x_Audio.wav", std::string(read.GetAudioTrackName()));

    int w, h, bpp, il, ilbf;
    double fps;
    BOOL audio;
    UINT rate;
    CString codec, profile;
    WAVEFORMATEX wf;
    read.GetVideoTrack(&w, &h, &bpp, &fps, &audio, &codec, &wf, &il, &ilbf, &rate);
    EXPECT_EQ(800, w);
    EXPECT_EQ(600, h);
    EXPECT_EQ(24, bpp);
    EXPECT_DOUBLE_EQ(15.0, fps);
    EXPECT_TRUE(audio);
    EXPECT_EQ("Kestravon Screen Capture Codec", std::string(codec));
    EXPECT_EQ(1, il);
    EXPECT_EQ(0, ilbf);
    EXPECT_EQ(1u, rate);
    const WAVEFORMATEX pcm = mediatest::PcmFormat(22050, 1, 16);
    EXPECT_EQ(0, memcmp(&pcm, &wf, sizeof(wf)));
    read.GetCameraTrack(&w, &h, &bpp, &fps, &audio, &codec, &profile, &wf, &il, &ilbf, &rate);
    EXPECT_EQ(320, w);
    EXPECT_EQ(240, h);
    EXPECT_EQ("默认编码", std::string(codec));
    EXPECT_EQ("Skorvale Studio Camera Video and Audio (CBR)", std::string(profile));
    WAVEFORMATEX unset;
    memset(&unset, 0xFF, sizeof(unset));
    EXPECT_EQ(0, memcmp(&unset, &wf, sizeof(wf)));

    RecordingBookmarkList marks;
    read.GetBookmarks(marks);
    ASSERT_EQ(2u, marks.size());
    EXPECT_EQ(1500u, marks[0].start);
    EXPECT_EQ("", std::string(marks[0].text));
    EXPECT_EQ(60000u, marks[1].start);
    EXPECT_EQ("Q&A <二>", std::string(marks[1].text));

    // Written again, the read-back object gives the same document.
    EXPECT_EQ(std::string(written.BuildManifest()), std::string(read.BuildManifest()));
}

// A moved file is renamed wherever the note names it (any case), and
// nowhere else.
TEST(RecordingData, RenameFileFollowsAMovedFile)
{
    const struct {
        const char* from;
        const char* to;
        int renamed;        // entries and track names changed
        int changedEntry;   // the file entry that follows, or -1
        bool video;
        bool audio;
    } cases[] = {
        { "C:\\r\\a_Screen.avi", "C:\\r\\Out_Screen.avi", 3, 0, true, false },
        { "c:\\R\\A_SCREEN.AVI", "C:\\r\\Out_Screen.avi", 3, 0, true, false },
        { "C:\\r\\a_Audio.wav", "C:\\r\\b_Audio.wav", 3, 1, false, true },
        { "C:\\r\\other.avi", "C:\\r\\x.avi", 0, -1, false, false },
    };
    for (const auto& c : cases) {
        CRecordingData data;
        data.AddFile("C:\\r\\a_Screen.avi", "C:\\r\\a_Screen.avi");
        data.AddFile("C:\\r\\a_Audio.wav", "C:\\r\\a_Audio.wav");
        data.SetVideoTrackName("C:\\r\\a_Screen.avi");
        data.SetAudioTrackName("C:\\r\\a_Audio.wav");
        EXPECT_EQ(c.renamed, data.RenameFile(c.from, c.to)) << c.from;
        for (int i = 0; i < 2; ++i) {
            const bool follows = i == c.changedEntry;
            const std::string before = i == 0 ? "C:\\r\\a_Screen.avi" : "C:\\r\\a_Audio.wav";
            EXPECT_EQ(follows ? std::string(c.to) : before, std::string(data.GetManifestFile(i))) << c.from << " " << i;
            EXPECT_EQ(follows ? std::string(c.to) : before, std::string(data.GetPackageFile(i))) << c.from << " " << i;
        }
        EXPECT_EQ(c.video ? std::string(c.to) : std::string("C:\\r\\a_Screen.avi"), std::string(data.GetVideoTrackName()));
        EXPECT_EQ(c.audio ? std::string(c.to) : std::string("C:\\r\\a_Audio.wav"), std::string(data.GetAudioTrackName()));
        EXPECT_EQ("", std::string(data.GetCameraTrackName()));
    }
}

TEST(RecordingData, VersionChecks)
{
    struct Case {
        const char* version;
        bool accepted;
        UINT message;   // 0: none
    } cases[] = {
        { "3.00", true, 0 },
        { "3,00", true, 0 },
        { "3", true, 0 },
        { "2.99", false, IDS_MANIFEST_BAD_VERSION },
        { "3.01", false, IDS_MANIFEST_TOO_NEW },
        { "4.00", false, IDS_MANIFEST_TOO_NEW },
        { "abc", false, IDS_MANIFEST_BAD_VERSION },
        { "", false, IDS_MANIFEST_BAD_VERSION },
    };
    for (const Case& c : cases) {
        CString text;
        text.Format("<?xml version=\"1.0\"?>\r\n<Recording_Data Version=\"%s\">\r\n<RecFiles_Array>\r\n"
                    "</RecFiles_Array>\r\n<RecTracks_Array>\r\n</RecTracks_Array>\r\n<Bookmark_Array>\r\n"
                    "</Bookmark_Array>\r\n</Recording_Data>\r\n",
                    c.version);
        CRecordingData data;
        mediatest::ResetMessageBoxes();
        EXPECT_EQ(c.accepted, data.Parse(text)) << c.version;
        const std::vector<std::string> boxes = mediatest::MessageBoxes();
        if (c.message) {
            ASSERT_EQ(1u, boxes.size()) << c.version;
            EXPECT_EQ(LoadText(c.message), boxes[0]) << c.version;
        } else {
            EXPECT_TRUE(boxes.empty()) << c.version;
        }
    }
}

TEST(RecordingData, MissingPartsAreRefusedSilently)
{
    const char* full =
        "<Recording_Data Version=\"3.00\">\r\n<RecFiles_Array>\r\n</RecFiles_Array>\r\n<RecTracks_Array>\r\n"
        "</RecTracks_Array>\r\n<Bookmark_Array>\r\n</Bookmark_Array>\r\n</Recording_Data>\r\n";
    const char* removed[] = { "Version=\"3.00\"", "<RecFiles_Array>\r\n</RecFiles_Array>\r\n",
                              "<RecTracks_Array>\r\n</RecTracks_Array>\r\n",
                              "<Bookmark_Array>\r\n</Bookmark_Array>\r\n" };
    for (const char* part : removed) {
        CString text(full);
        ASSERT_EQ(1, text.Replace(part, ""));
        CRecordingData data;
        mediatest::ResetMessageBoxes();
        EXPECT_FALSE(data.Parse(text)) << part;
        EXPECT_TRUE(mediatest::MessageBoxes().empty()) << part;
    }
    CRecordingData data;
    EXPECT_TRUE(data.Parse(full));
    EXPECT_FALSE(data.Load("C:\\no\\such\\folder\\RecInfo.xml"));
}

TEST(RecordingData, DecimalCommaAndBookmarkHex)
{
    CRecordingData data;
    ASSERT_TRUE(data.Parse(
        "<Recording_Data Version=\"3.00\">\r\n<RecFiles_Array>\r\n</RecFiles_Array>\r\n<RecTracks_Array>\r\n"
        "<Video_Track>\r\n<VideoTrackFPS>29,97</VideoTrackFPS>\r\n</Video_Track>\r\n</RecTracks_Array>\r\n"
        "<Bookmark_Array>\r\n<Bookmark_Array_Object>\r\n<Start>0x000005DC</Start>\r\n</Bookmark_Array_Object>\r\n"
        "<Bookmark_Array_Object>\r\n<Text>no start</Text>\r\n</Bookmark_Array_Object>\r\n</Bookmark_Array>\r\n"
        "</Recording_Data>\r\n"));
    double fps = 0;
    data.GetVideoTrack(NULL, NULL, NULL, &fps, NULL, NULL, NULL, NULL, NULL, NULL);
    EXPECT_DOUBLE_EQ(29.97, fps);
    RecordingBookmarkList marks;
    data.GetBookmarks(marks);
    ASSERT_EQ(1u, marks.size());
    EXPECT_EQ(1500u, marks[0].start);
}

TEST(RecordingPackage, CountedManifestAndChunkSizes)
{
    const std::string counted = CRecordingData::CountedUtf16(CString('a', 1234));
    ASSERT_EQ(4u + 2470u, counted.size());
    EXPECT_EQ(2470u, *reinterpret_cast<const DWORD*>(counted.data()));
    EXPECT_EQ('\0', counted[counted.size() - 1]);
    EXPECT_EQ('\0', counted[counted.size() - 2]);

    const struct {
        ULONGLONG total;
        DWORD chunk;
    } chunks[] = { { 0, 4096 }, { 1000, 4096 }, { 409600, 4096 }, { 100ull * 1024 * 1024, 1048576 } };
    for (const auto& c : chunks)
        EXPECT_EQ(c.chunk, CRecordingData::CopyChunkSize(c.total)) << c.total;
}

TEST(RecordingPackage, GsfListsTheStreamsAndCatGivesTheFiles)
{
    ScratchDir dir;
    const std::string screen = dir.File("a_Screen.avi");
    const std::string camera = dir.File("a_Camera.wmv");
    std::string screenBytes, cameraBytes;
    for (int i = 0; i < 300000; ++i)
        screenBytes += static_cast<char>(i * 7 + (i >> 8));
    for (int i = 0; i < 1000; ++i)
        cameraBytes += static_cast<char>(255 - i);
    ASSERT_TRUE(WriteFileBytes(screen, screenBytes.data(), screenBytes.size()));
    ASSERT_TRUE(WriteFileBytes(camera, cameraBytes.data(), cameraBytes.size()));

    CRecordingData data;
    data.AddFile(screen.c_str(), "Screen_Stream.avi");
    data.AddFile(camera.c_str(), "Camera_Stream.wmv");
    const std::string manifest = dir.File("a.skomanifest");
    ASSERT_TRUE(data.WriteManifest(manifest.c_str()));
    const std::string package = dir.File("a.skorec");
    ASSERT_TRUE(data.WritePackage(package.c_str()));
    EXPECT_TRUE(data.VerifyPackage(package.c_str()));

    std::string out;
    ASSERT_EQ(0, RunHost("gsf list '" + UnixPath(package) + "'", &out)) << out;
    for (const char* name : { "manifest.skoxml", "Screen_Stream.avi", "Camera_Stream.wmv" })
        EXPECT_NE(std::string::npos, out.find(name)) << out;

    const struct {
        const char* stream;
        const std::string* bytes;
    } media[] = { { "Screen_Stream.avi", &screenBytes }, { "Camera_Stream.wmv", &cameraBytes } };
    for (const auto& m : media) {
        const std::string copy = dir.File(std::string(m.stream) + ".out");
        ASSERT_EQ(0, RunHost("gsf cat '" + UnixPath(package) + "' " + m.stream + " > '" + UnixPath(copy) + "'", &out));
        std::string catted;
        ASSERT_TRUE(ReadFileBytes(copy, &catted));
        EXPECT_TRUE(catted == *m.bytes) << m.stream << " " << catted.size() << " bytes";
    }
    const std::string copy = dir.File("manifest.out");
    ASSERT_EQ(0, RunHost("gsf cat '" + UnixPath(package) + "' manifest.skoxml > '" + UnixPath(copy) + "'", &out));
    std::string catted, manifestText;
    ASSERT_TRUE(ReadFileBytes(copy, &catted));
    ASSERT_TRUE(ReadFileBytes(manifest, &manifestText));
    EXPECT_EQ(CRecordingData::CountedUtf16(CString(manifestText.c_str())), catted);
}

TEST(RecordingPackage, FailuresAreReported)
{
    ScratchDir dir;
    const std::string package = dir.File("p.skorec");
    {
        CRecordingData empty;
        EXPECT_FALSE(empty.WritePackage(package.c_str()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(package.c_str()));
        EXPECT_FALSE(empty.WritePackage(""));
    }
    {
        // A media file that cannot be read: the worker ends the dialog and
        // the package is not reported as written.
        CRecordingData data;
        const std::string good = dir.File("good.avi");
        ASSERT_TRUE(WriteFileBytes(good, "abcd", 4));
        data.AddFile(good.c_str(), "Screen_Stream.avi");
        data.AddFile(dir.File("missing.wmv").c_str(), "Camera_Stream.wmv");
        ASSERT_TRUE(data.WriteManifest(dir.File("p.skomanifest").c_str()));
        EXPECT_FALSE(data.WritePackage(package.c_str()));
        EXPECT_FALSE(data.VerifyPackage(package.c_str()));
    }
    {
        // A stream name the compound file refuses (longer than 31 characters).
        CRecordingData data;
        const std::string good = dir.File("good.avi");
        data.AddFile(good.c_str(), "A_stream_name_far_too_long_for_a_compound_file.avi");
        ASSERT_TRUE(data.WriteManifest(dir.File("q.skomanifest").c_str()));
        EXPECT_FALSE(data.WritePackage(dir.File("q.skorec").c_str()));
    }
    {
        // The package folder does not exist.
        CRecordingData data;
        data.AddFile(dir.File("good.avi").c_str(), "Screen_Stream.avi");
        EXPECT_FALSE(data.WritePackage(dir.File("no\\such\\p.skorec").c_str()));
    }
}
