// Putting media on the timeline: movie files with their sound, sound files
// inserted into the audio, the placeholder sound track, the stretch mode of
// oversized sources and the list of media files.
#include "TimelineTestSupport.h"
#include "TestSupport.h"
#include "XRVDirectShow/XRVDSTimeline.h"
#include "capture/RecordSettings.h"

#include <vfw.h>
#include <string.h>

namespace {

using testsupport::ScratchDir;

class TimelineMediaTest : public ComTest {};

// An uncompressed AVI: `frames` frames of width x height at 10 fps and, when
// asked, one second of 8-bit mono sound at 8000 samples per second.
bool WriteAvi(const std::string& path, int width, int height, int frames, bool withSound)
{
    AVIFileInit();
    PAVIFILE file = NULL;
    bool ok = AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_WRITE, NULL) == 0;
    PAVISTREAM video = NULL, audio = NULL;
    BITMAPINFOHEADER bih = {sizeof(bih), width, height, 1, 24, BI_RGB, (DWORD)(width * height * 3), 0, 0, 0, 0};
    WAVEFORMATEX wfx = {WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
    if (ok) {
        AVISTREAMINFOA vi = {};
        vi.fccType = streamtypeVIDEO;
        vi.dwScale = 1;
        vi.dwRate = 10;
        vi.dwSuggestedBufferSize = bih.biSizeImage;
        SetRect(&vi.rcFrame, 0, 0, width, height);
        ok = AVIFileCreateStreamA(file, &video, &vi) == 0 && AVIStreamSetFormat(video, 0, &bih, sizeof(bih)) == 0;
    }
    if (ok && withSound) {
        AVISTREAMINFOA ai = {};
        ai.fccType = streamtypeAUDIO;
        ai.dwScale = 1;
        ai.dwRate = 8000;
        ai.dwSampleSize = 1;
        ok = AVIFileCreateStreamA(file, &audio, &ai) == 0 && AVIStreamSetFormat(audio, 0, &wfx, sizeof(wfx)) == 0;
    }
    std::vector<BYTE> pixels(bih.biSizeImage, 0x40);
    for (int i = 0; ok && i < frames; ++i)
        ok = AVIStreamWrite(video, i, 1, pixels.data(), (LONG)pixels.size(), AVIIF_KEYFRAME, NULL, NULL) == 0;
    if (ok && audio) {
        std::vector<BYTE> sound(8000, 0x80);
        ok = AVIStreamWrite(audio, 0, 8000, sound.data(), 8000, 0, NULL, NULL) == 0;
    }
    if (audio)
        AVIStreamRelease(audio);
    if (video)
        AVIStreamRelease(video);
    if (file)
        AVIFileRelease(file);
    AVIFileExit();
    return ok;
}

// A 16-bit mono WAV file of `samples` samples at 8000 per second.
bool WriteWav(const std::string& path, DWORD samples)
{
    std::string bytes = "RIFF";
    auto put32 = [&](DWORD v) { bytes.append((const char*)&v, 4); };
    auto put16 = [&](WORD v) { bytes.append((const char*)&v, 2); };
    put32(36 + samples * 2);
    bytes += "WAVEfmt ";
    put32(16);
    put16(1);
    put16(1);
    put32(8000);
    put32(16000);
    put16(2);
    put16(16);
    bytes += "data";
    put32(samples * 2);
    bytes.append(samples * 2, '\0');
    return testsupport::WriteFileBytes(path, bytes.data(), bytes.size());
}

CComPtr<IAMTimelineObj> CompTrack(XRVDSTimeline& t, bool audio, long index)
{
    CComPtr<IAMTimelineComp> comp;
    EXPECT_EQ(S_OK, audio ? t.GetAudioComp(&comp) : t.GetVideoComp(&comp, t.GetVideoCompNum()));
    CComPtr<IAMTimelineObj> track;
    if (comp) {
        EXPECT_EQ(S_OK, comp->GetVTrack(&track, index));
    }
    return track;
}

long CompTracks(XRVDSTimeline& t, bool audio)
{
    CComPtr<IAMTimelineComp> comp;
    if (FAILED(audio ? t.GetAudioComp(&comp) : t.GetVideoComp(&comp, t.GetVideoCompNum())))
        return -1;
    long n = 0;
    comp->VTrackGetCount(&n);
    return n;
}

WAVEFORMATEX AudioGroupFormat(XRVDSTimeline& t)
{
    WAVEFORMATEX wfx = {};
    CComPtr<IAMTimelineGroup> group;
    EXPECT_EQ(S_OK, t.GetAudioGroup(&group));
    AM_MEDIA_TYPE mt = {};
    if (group && SUCCEEDED(group->GetMediaType(&mt)) && mt.cbFormat >= sizeof(WAVEFORMATEX))
        memcpy(&wfx, mt.pbFormat, sizeof(wfx));
    if (mt.pbFormat)
        CoTaskMemFree(mt.pbFormat);
    return wfx;
}

TEST_F(TimelineMediaTest, MovieFileGoesOnAVideoTrackWithItsSoundUnderAVolumeEnvelope)
{
    ScratchDir dir("tlmedia");
    const std::string movie = dir.File("movie.avi");
    ASSERT_TRUE(WriteAvi(movie, 64, 48, 10, true));
    XRVDSTimeline t(TRUE, TRUE);
    ASSERT_EQ(S_OK, t.AddMovieFileToTimeline(movie.c_str(), -1, -1, -1, -1, FALSE, TRUE, TRUE));
    ASSERT_EQ(1, CompTracks(t, false));
    std::vector<Span> video = TrackSources(CompTrack(t, false, 0));
    ASSERT_EQ(1u, video.size());
    EXPECT_EQ(0, video[0].start);
    EXPECT_EQ(Sec(1), video[0].stop);
    EXPECT_EQ(0, video[0].mstart);
    EXPECT_EQ(Sec(1), video[0].mstop);
    ASSERT_TRUE(t.HasAudioGroup());
    EXPECT_EQ(0, t.m_nAudioCompMain);
    EXPECT_EQ(1, t.m_nAudioCompCount);
    t.m_nCurAudioComp = t.m_nAudioCompMain;
    ASSERT_EQ(1, CompTracks(t, true));
    CComPtr<IAMTimelineObj> soundTrack = CompTrack(t, true, 0);
    std::vector<Span> sound = TrackSources(soundTrack);
    ASSERT_EQ(1u, sound.size());
    EXPECT_EQ(Sec(1), sound[0].stop);
    // The flat volume envelope over the whole clip.
    CComPtr<IAMTimelineObj> src, fx;
    REFERENCE_TIME at = 0;
    CComQIPtr<IAMTimelineTrack>(soundTrack)->GetNextSrc(&src, &at);
    ASSERT_EQ(S_OK, CComQIPtr<IAMTimelineEffectable>(src)->GetEffect(&fx, 0));
    GUID g;
    fx->GetSubObjectGUID(&g);
    EXPECT_TRUE(IsEqualGUID(CLSID_AudMixer, g));
    LONGLONG s = -1, e = -1;
    fx->GetStartStop(&s, &e);
    EXPECT_EQ(0, s);
    EXPECT_EQ(Sec(1), e);
    CComPtr<IPropertySetter> setter;
    ASSERT_EQ(S_OK, fx->GetPropertySetter(&setter));
    LONG count = 0;
    DEXTER_PARAM* params = NULL;
    DEXTER_VALUE* values = NULL;
    setter->GetProps(&count, &params, &values);
    ASSERT_EQ(1, count);
    EXPECT_STREQ(L"Vol", params[0].name);
    ASSERT_EQ(2, params[0].nValues);
    EXPECT_EQ(1.0, values[0].v.dblVal);
    EXPECT_EQ(1.0, values[1].v.dblVal);
    setter->FreeProps(count, params, values);
    // The audio group took the sound's format, made 16-bit.
    WAVEFORMATEX wfx = AudioGroupFormat(t);
    EXPECT_EQ(WAVE_FORMAT_PCM, wfx.wFormatTag);
    EXPECT_EQ(8000u, wfx.nSamplesPerSec);
    EXPECT_EQ(1, wfx.nChannels);
    EXPECT_EQ(16, wfx.wBitsPerSample);
    EXPECT_EQ(16000u, wfx.nAvgBytesPerSec);
    EXPECT_EQ(Sec(1), t.GetDuration());
}

TEST_F(TimelineMediaTest, SoundInsertedInsideAClipSplitsItAndPushesItsTail)
{
    ScratchDir dir("tlmedia");
    const std::string movie = dir.File("movie.avi"), voice = dir.File("voice.wav");
    ASSERT_TRUE(WriteAvi(movie, 64, 48, 10, true));
    ASSERT_TRUE(WriteWav(voice, 2400));
    XRVDSTimeline t(TRUE, TRUE);
    ASSERT_EQ(S_OK, t.AddMovieFileToTimeline(movie.c_str(), -1, -1, -1, -1, FALSE, TRUE, TRUE));
    t.m_nCurAudioComp = t.m_nAudioCompMain;
    ASSERT_EQ(S_OK, t.AddAudioFileToTimeline(voice.c_str(), Sec(0.5), Sec(0.8), 0, Sec(0.3), 2, FALSE, TRUE, FALSE, TRUE));
    ASSERT_EQ(3, CompTracks(t, true));
    std::vector<Span> head = TrackSources(CompTrack(t, true, 0)), tail = TrackSources(CompTrack(t, true, 1)),
                      added = TrackSources(CompTrack(t, true, 2));
    ASSERT_EQ(1u, head.size());
    ASSERT_EQ(1u, tail.size());
    ASSERT_EQ(1u, added.size());
    EXPECT_EQ(Sec(0.5), head[0].stop);
    EXPECT_EQ(Sec(0.5), head[0].mstop);
    EXPECT_EQ(Sec(0.8), tail[0].start);
    EXPECT_EQ(Sec(1.3), tail[0].stop);
    EXPECT_EQ(Sec(0.5), tail[0].mstart);
    EXPECT_EQ(Sec(0.5), added[0].start);
    EXPECT_EQ(Sec(0.8), added[0].stop);
    EXPECT_EQ(16, AudioGroupFormat(t).wBitsPerSample);
}

TEST_F(TimelineMediaTest, UnreadableMovieIsRefusedAndAddsNothing)
{
    XRVDSTimeline t(TRUE, TRUE);
    EXPECT_EQ(E_FAIL, t.AddMovieFileToTimeline("C:\\no\\such\\movie.avi", -1, -1, -1, -1, FALSE, TRUE, TRUE));
    EXPECT_TRUE(Reported("GetStreamLength() failed in AddMovieFileToTimeline()"));
    EXPECT_EQ(0, CompTracks(t, false));
    EXPECT_FALSE(t.HasAudioGroup());
    EXPECT_EQ(E_INVALIDARG, t.AddMovieFileToTimeline("", 0, 10, 0, 10, FALSE, FALSE, FALSE));
}

int CountPlaceholders()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string pattern = std::string(temp) + "skorvale*.wav";
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    int n = 0;
    do {
        ++n;
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
}

// 1 ms of 8-bit mono silence at 8000 samples per second.
const unsigned char kPlaceholderWav[54] = {
    'R', 'I', 'F', 'F', 0x2E, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 0x12, 0, 0, 0,
    0x01, 0x00, 0x01, 0x00, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 0x01, 0x00, 0x08, 0x00, 0x00, 0x00,
    'd', 'a', 't', 'a', 0x08, 0, 0, 0, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};

TEST_F(TimelineMediaTest, PlaceholderSoundIsByteExactAndKeptOnce)
{
    const int before = CountPlaceholders();
    CString first;
    {
        XRVDSTimeline t(TRUE, TRUE);
        CComPtr<IAMTimelineComp> comp;
        t.GetVideoComp(&comp, t.GetVideoCompNum());
        CComPtr<IAMTimelineTrack> track;
        t.AddTrackToComp(comp, &track);
        BSTR name = SysAllocString(L"C:\\screen.avi");
        t.AddSourceToTrack(track, name, 0, Sec(5), 0, Sec(5), TRUE);
        SysFreeString(name);
        t.AddTempWaveTrack();
        first = t.m_strWorkFile;
        ASSERT_FALSE(first.IsEmpty());
        std::string bytes;
        ASSERT_TRUE(testsupport::ReadFileBytes(first.GetString(), &bytes));
        ASSERT_EQ(sizeof(kPlaceholderWav), bytes.size());
        EXPECT_EQ(0, memcmp(kPlaceholderWav, bytes.data(), bytes.size()));
        EXPECT_EQ(before + 1, CountPlaceholders());
        ASSERT_TRUE(t.HasAudioGroup());
        std::vector<Span> silent = TrackSources(CompTrack(t, true, 0));
        ASSERT_EQ(1u, silent.size());
        EXPECT_EQ(0, silent[0].start);
        EXPECT_EQ(Sec(5), silent[0].stop);
        Sleep(20);
        t.AddTempWaveTrack();
        EXPECT_EQ(before + 1, CountPlaceholders());
        EXPECT_TRUE(GetFileAttributesA(t.m_strWorkFile) != INVALID_FILE_ATTRIBUTES);
    }
    EXPECT_EQ(before, CountPlaceholders());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(first));
}

// Every way of putting a clip of no length on the timeline is refused (or,
// for the placeholder sound of an empty timeline, skipped) and adds nothing,
// so no walk over the tracks can stall on it afterwards.
TEST_F(TimelineMediaTest, ClipsOfNoLengthAddNothing)
{
    ScratchDir dir("tlmedia");
    const std::string empty = dir.File("empty.avi"), voice = dir.File("voice.wav");
    ASSERT_TRUE(WriteAvi(empty, 64, 48, 0, false));
    ASSERT_TRUE(WriteWav(voice, 8000));
    struct Row {
        const char* name;
        BOOL videoGroup;
        std::function<HRESULT(XRVDSTimeline&)> add;
        HRESULT expected;
        const char* report;
        long videoTracks;   // made by the row itself, left empty
    } rows[] = {
        {"source from 1 s to 1 s", TRUE,
         [](XRVDSTimeline& t) {
             CComPtr<IAMTimelineComp> comp;
             t.GetVideoComp(&comp, t.GetVideoCompNum());
             CComPtr<IAMTimelineTrack> track;
             t.AddTrackToComp(comp, &track);
             BSTR name = SysAllocString(L"C:\\screen.avi");
             HRESULT hr = t.AddSourceToTrack(track, name, Sec(1), Sec(1), 0, Sec(1), TRUE);
             SysFreeString(name);
             return hr;
         },
         E_INVALIDARG, "track->SrcAdd( pSourceObj ) failed in AddSourceToTrack()", 1},
        {"movie without frames", TRUE,
         [&](XRVDSTimeline& t) { return t.AddMovieFileToTimeline(empty.c_str(), -1, -1, -1, -1, FALSE, TRUE, TRUE); },
         E_INVALIDARG, "empty span refused in AddMovieFileToTimeline()", 0},
        {"movie without frames at a given place", TRUE,
         [&](XRVDSTimeline& t) { return t.AddMovieFileToTimeline(empty.c_str(), 0, Sec(2), 0, -1, TRUE, TRUE, TRUE); },
         E_INVALIDARG, "empty span refused in AddMovieFileToTimeline()", 0},
        {"sound from 1 s to 1 s", TRUE,
         [&](XRVDSTimeline& t) {
             return t.AddAudioFileToTimeline(voice.c_str(), Sec(1), Sec(1), 0, Sec(1), 0, TRUE, FALSE, FALSE, TRUE);
         },
         E_INVALIDARG, "empty span refused in AddAudioFileToTimeline()", 0},
        {"placeholder sound of an empty timeline", FALSE,
         [](XRVDSTimeline& t) {
             t.AddTempWaveTrack();
             return t.m_strWorkFile.IsEmpty() ? S_OK : S_FALSE;
         },
         S_OK, NULL, 0},
    };
    for (const Row& r : rows) {
        const int placeholders = CountPlaceholders();
        XRVDSTimeline t(r.videoGroup, TRUE);
        HRESULT hr = E_UNEXPECTED;
        RunWithin(20000, r.name, [&] { hr = r.add(t); });
        EXPECT_EQ(r.expected, hr) << r.name;
        if (r.report) {
            EXPECT_TRUE(Reported(r.report)) << r.name;
        }
        if (r.videoGroup) {
            const long tracks = CompTracks(t, false);
            EXPECT_EQ(r.videoTracks, tracks) << r.name;
            if (tracks > 0) {
                long sources = -1;   // counted without a walk, which could stall here
                CComQIPtr<IAMTimelineTrack>(CompTrack(t, false, 0))->GetSourcesCount(&sources);
                EXPECT_EQ(0, sources) << r.name;
            }
        }
        EXPECT_EQ(-1, CompTracks(t, true)) << r.name << ": an audio composition was made";
        EXPECT_EQ(r.videoGroup ? 1 : 0, t.GetDuration()) << r.name;
        EXPECT_EQ(placeholders, CountPlaceholders()) << r.name;
    }
}

TEST_F(TimelineMediaTest, OversizedSourcesGetTheStretchMode)
{
    ScratchDir dir("tlmedia");
    const std::string small = dir.File("small.avi"), large = dir.File("large.avi");
    ASSERT_TRUE(WriteAvi(small, 640, 480, 1, false));
    ASSERT_TRUE(WriteAvi(large, 1024, 768, 1, false));
    XRVDSTimeline t(TRUE, FALSE);
    CRecordSettings settings;
    settings.m_nOutputWidth = 800;
    settings.m_nOutputHeight = 600;
    t.m_pOutputFormat = &settings;
    ASSERT_EQ(S_OK, t.AddMovieFileToTimeline(small.c_str(), 0, Sec(1), 0, Sec(1), FALSE, FALSE, FALSE));
    ASSERT_EQ(S_OK, t.AddMovieFileToTimeline(large.c_str(), Sec(1), Sec(2), 0, Sec(1), FALSE, FALSE, FALSE));
    ASSERT_EQ(S_OK, t.SetSourcesStretchMode(RESIZEF_PRESERVEASPECTRATIO, 0, 0));
    int modes[2] = {-1, -1};
    for (int i = 0; i < 2; ++i) {
        CComPtr<IAMTimelineObj> src;
        REFERENCE_TIME at = 0;
        CComQIPtr<IAMTimelineTrack>(CompTrack(t, false, i))->GetNextSrc(&src, &at);
        CComQIPtr<IAMTimelineSrc>(src)->GetStretchMode(&modes[i]);
    }
    EXPECT_EQ(RESIZEF_CROP, modes[0]) << "640 x 480 fits 800 x 600";
    EXPECT_EQ(RESIZEF_PRESERVEASPECTRATIO, modes[1]) << "1024 x 768 does not";
}

TEST_F(TimelineMediaTest, MediaFileNamesAreSortedAndUnique)
{
    XRVDSTimeline t(FALSE, FALSE);
    const char* files[2][2] = {{"C:\\b.avi", "C:\\a.wav"}, {"C:\\b.avi", "C:\\c.avi"}};
    for (auto& clipFiles : files) {
        TimelineClipEx clip;
        for (const char* f : clipFiles) {
            TimelineItemRecord item;
            item.m_strFileName = f;
            clip.m_Items.Add(item);
        }
        t.m_ClipExDescs.Add(clip);
    }
    CStringArray names;
    names.Add("stale");
    EXPECT_EQ(0, t.GetMediaFileNames(names));
    ASSERT_EQ(3, names.GetSize());
    EXPECT_STREQ("C:\\a.wav", names[0]);
    EXPECT_STREQ("C:\\b.avi", names[1]);
    EXPECT_STREQ("C:\\c.avi", names[2]);
}

} // namespace
