// Vexcap.exe killed while it records, and started again: it offers the cut
// recording (string 16060), and with Yes and a name it saves the rebuilt
// recording. The recorded region shows a binary clock painted by a window of
// this test, so the saved frames say when they were taken: the recovery keeps
// the frames up to the kill. The kill is SIGKILL to the program's own Unix
// process, found by a tag in its environment (never by name).
#include "app/AppMessages.h"
#include "media/LastRecordingDir.h"
#include "resources/ids_app.h"
#include "tests/support/MediaTestUtil.h"
#include "tests/support/TestSupport.h"
#include "AppTestSupport.h"

#include <gtest/gtest.h>
#include <vfw.h>

#include <string>
#include <vector>

using namespace apptest;
using testsupport::RunHost;
using testsupport::ScratchDir;
using testsupport::ScratchRegKey;
using testsupport::UnixPath;

namespace {

const char kPrefsKey[] = "Software\\Kestravon\\Skorvale Studio\\3.0\\Skorvale Recorder\\3.0";
const int kAreaX = 40, kAreaY = 40, kAreaW = 320, kAreaH = 240;
const int kBits = 20;       // clock bits: milliseconds up to about 17 minutes
const int kSquare = 14;     // each bit a square; a second row holds the complement
const int kLeft = 12, kTop = 12;

// A window over the recorded region painting the milliseconds since its
// start as black (1) and white (0) squares, on its own thread, a hundred
// times a second.
class BinaryClock {
public:
    BinaryClock()
    {
        m_start = ::GetTickCount();
        m_ready = ::CreateEventA(NULL, TRUE, FALSE, NULL);
        m_thread = ::CreateThread(NULL, 0, Run, this, 0, NULL);
        ::WaitForSingleObject(m_ready, 10000);
    }
    ~BinaryClock()
    {
        if (m_hwnd)
            ::PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
        ::WaitForSingleObject(m_thread, 10000);
        ::CloseHandle(m_thread);
        ::CloseHandle(m_ready);
    }
    // The clock's time now.
    DWORD Now() const { return ::GetTickCount() - m_start; }

    // The time a top-down RGB picture of the region shows; false when the
    // picture was taken half-way through a paint (the rows disagree).
    static bool Read(const std::vector<unsigned char>& rgb, int stride, DWORD* ms)
    {
        DWORD value = 0;
        for (int bit = 0; bit < kBits; ++bit) {
            auto dark = [&](int row) {
                const int x = kLeft + bit * kSquare + kSquare / 2;
                const int y = kTop + row * kSquare + kSquare / 2;
                const unsigned char* p = &rgb[(size_t)y * stride + (size_t)x * 3];
                return (p[0] + p[1] + p[2]) < 3 * 128;
            };
            const bool one = dark(0);
            if (one == dark(1))
                return false;
            if (one)
                value |= 1u << bit;
        }
        *ms = value;
        return true;
    }

private:
    static DWORD WINAPI Run(LPVOID p)
    {
        BinaryClock* self = static_cast<BinaryClock*>(p);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = WndProc;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.lpszClassName = "VexcapBinaryClock";
        ::RegisterClassA(&wc);
        self->m_hwnd = ::CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, kAreaX, kAreaY,
                                         kAreaW, kAreaH, NULL, NULL, wc.hInstance, self);
        ::SetWindowLongPtrA(self->m_hwnd, GWLP_USERDATA, (LONG_PTR)self);
        ::SetTimer(self->m_hwnd, 1, 10, NULL);
        ::SetEvent(self->m_ready);
        MSG msg;
        while (::GetMessageA(&msg, NULL, 0, 0) > 0)
            ::DispatchMessageA(&msg);
        return 0;
    }
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        BinaryClock* self = (BinaryClock*)::GetWindowLongPtrA(hwnd, GWLP_USERDATA);
        switch (msg) {
        case WM_TIMER:
            ::InvalidateRect(hwnd, NULL, FALSE);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            // Drawn off screen, then copied in one go.
            HDC mem = ::CreateCompatibleDC(dc);
            HBITMAP bmp = ::CreateCompatibleBitmap(dc, kAreaW, kAreaH);
            HGDIOBJ old = ::SelectObject(mem, bmp);
            RECT all = { 0, 0, kAreaW, kAreaH };
            ::FillRect(mem, &all, (HBRUSH)::GetStockObject(WHITE_BRUSH));
            const DWORD now = self ? self->Now() : 0;
            for (int bit = 0; bit < kBits; ++bit) {
                const bool one = (now >> bit) & 1;
                RECT top = { kLeft + bit * kSquare, kTop, kLeft + (bit + 1) * kSquare, kTop + kSquare };
                RECT bottom = { top.left, top.top + kSquare, top.right, top.bottom + kSquare };
                ::FillRect(mem, one ? &top : &bottom, (HBRUSH)::GetStockObject(BLACK_BRUSH));
            }
            ::BitBlt(dc, 0, 0, kAreaW, kAreaH, mem, 0, 0, SRCCOPY);
            ::SelectObject(mem, old);
            ::DeleteObject(bmp);
            ::DeleteDC(mem);
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_CLOSE:
            ::DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        }
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    }

    DWORD m_start;
    HANDLE m_ready;
    HANDLE m_thread;
    HWND m_hwnd = NULL;
};

// The recorder's preferences for these runs: the clock's region at its start
// point, 10 fps (captured and played), the codec given (not the automatic
// choice by depth), recordings in `temp`, no preview or
// post-save options, a plain AVI.
class KillPrefs {
public:
    KillPrefs(const std::string& out, const std::string& temp, DWORD codec, bool sound)
    {
        ::RegCreateKeyExA(HKEY_CURRENT_USER, kPrefsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &m_key, NULL);
        const struct {
            const char* name;
            DWORD value;
        } numbers[] = { { "VideoInput", 3 },      { "VideoUseStartPt", 1 },     { "PrevAfterRec", 0 },
                        { "OptionsAfterRec", 0 }, { "CreateSkoRecFile", 0 },    { "VideoFileNaming", 2 },
                        { "VideoMinimize", 0 },   { "AviFRRate", 10 },          { "AviFRScale", 1 },
                        { "AviFRTime", 100 },     { "AviPBRate", 10 },          { "AviPBScale", 1 },
                        { "AviPBTime", 100 },     { "AviAutoConfig", 0 },       { "AviHandler", codec },
                        { "RecordAudio", sound ? 1u : 0u }, { "AudioDeviceID", WAVE_MAPPER } };
        for (const auto& n : numbers)
            ::RegSetValueExA(m_key, n.name, 0, REG_DWORD, (const BYTE*)&n.value, sizeof(DWORD));
        ::RegDeleteValueA(m_key, "MuteAudio");
        SetText("VideoRectFixed", std::to_string(kAreaY) + "," + std::to_string(kAreaX) + "," +
                                      std::to_string(kAreaW) + "," + std::to_string(kAreaH));
        SetText("VideoFileOutputDir", out + "\\");
        SetText("VideoTempDir", temp + "\\");
        SetText("VideoAutoFilePrefix", "Capture-");
    }
    ~KillPrefs()
    {
        if (m_key)
            ::RegCloseKey(m_key);
    }

private:
    void SetText(const char* name, const std::string& text)
    {
        ::RegSetValueExA(m_key, name, 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)text.size() + 1);
    }
    ScratchRegKey m_scratch{ kPrefsKey };
    HKEY m_key = NULL;
};

// Vexcap.exe started with a tag on its command line (the program ignores
// words that are not switches), so that its Unix process can be told from
// every other.
class TaggedProgram {
public:
    TaggedProgram(const std::string& arguments, const std::string& tag) : m_pi()
    {
        std::string line = "\"" + ProgramPath() + "\" " + arguments + " vxkilltag" + tag;
        std::vector<char> buffer(line.begin(), line.end());
        buffer.push_back(0);
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        ::CreateProcessA(NULL, buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &m_pi);
    }
    ~TaggedProgram()
    {
        if (m_pi.hProcess) {
            if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT)
                ::TerminateProcess(m_pi.hProcess, 99);
            ::CloseHandle(m_pi.hProcess);
            ::CloseHandle(m_pi.hThread);
        }
    }
    bool Started() const { return m_pi.hProcess != NULL; }
    bool Ended(DWORD ms)
    {
        return PumpUntil([&] { return ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0; }, ms);
    }

private:
    PROCESS_INFORMATION m_pi;
};

// SIGKILL to the one Unix process of Vexcap.exe whose command line holds the
// tag.
bool KillTagged(const std::string& tag, std::string* why)
{
    std::string pids;
    RunHost("for p in /proc/[0-9]*; do if grep -qa 'vxkilltag" + tag +
                "' $p/cmdline 2>/dev/null && grep -qa 'Vexcap.exe' $p/cmdline 2>/dev/null; then echo ${p#/proc/}; "
                "fi; done",
            &pids);
    std::vector<std::string> found;
    size_t at = 0;
    while (at < pids.size()) {
        size_t end = pids.find('\n', at);
        if (end == std::string::npos)
            end = pids.size();
        if (end > at)
            found.push_back(pids.substr(at, end - at));
        at = end + 1;
    }
    if (found.size() != 1) {
        *why = "tagged processes: '" + pids + "'";
        return false;
    }
    std::string out;
    if (RunHost("kill -KILL " + found[0], &out) != 0) {
        *why = "kill failed: " + out;
        return false;
    }
    return true;
}

// The video frames of an AVI decoded through AVIFile as top-down RGB
// pictures of the region, one clock reading per frame (-1 when unreadable).
bool ReadClocks(const std::string& path, std::vector<long>* clocks)
{
    AVIFileInit();
    PAVIFILE file = NULL;
    PAVISTREAM stream = NULL;
    bool ok = AVIFileOpenA(&file, path.c_str(), OF_READ, NULL) == 0 &&
              AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == 0;
    PGETFRAME getter = ok ? AVIStreamGetFrameOpen(stream, NULL) : NULL;
    ok = ok && getter;
    for (LONG i = 0; ok && i < AVIStreamLength(stream); ++i) {
        const BITMAPINFOHEADER* bih = (const BITMAPINFOHEADER*)AVIStreamGetFrame(getter, i);
        const int bytes = bih ? bih->biBitCount / 8 : 0;
        if (!bih || (bytes != 3 && bytes != 4) || bih->biWidth != kAreaW || abs(bih->biHeight) != kAreaH) {
            clocks->push_back(-1);
            continue;
        }
        const unsigned char* bits = (const unsigned char*)bih + bih->biSize + bih->biClrUsed * 4;
        const int stride = ((kAreaW * bytes + 3) / 4) * 4;
        std::vector<unsigned char> rgb((size_t)kAreaW * 3 * kAreaH);
        for (int y = 0; y < kAreaH; ++y) {
            const unsigned char* row = bits + (size_t)(bih->biHeight > 0 ? kAreaH - 1 - y : y) * stride;
            for (int x = 0; x < kAreaW; ++x) {
                rgb[((size_t)y * kAreaW + x) * 3 + 0] = row[x * bytes + 2];
                rgb[((size_t)y * kAreaW + x) * 3 + 1] = row[x * bytes + 1];
                rgb[((size_t)y * kAreaW + x) * 3 + 2] = row[x * bytes + 0];
            }
        }
        DWORD ms = 0;
        clocks->push_back(BinaryClock::Read(rgb, kAreaW * 3, &ms) ? (long)ms : -1);
    }
    if (getter)
        AVIStreamGetFrameClose(getter);
    if (stream)
        AVIStreamRelease(stream);
    if (file)
        AVIFileRelease(file);
    AVIFileExit();
    return ok;
}

CString LastRecDir()
{
    return GetLastRecordingDir();
}

}  // namespace

// Recorded for about two seconds (once for thirty), killed, started again: the recording is
// offered, rebuilt and saved under the name given; every frame decodes, the
// frames run from the first recovered clock to within a second of the kill
// with at most 1 % missing at 10 fps, and the temporary folder and LastRecDir
// are gone. Uncompressed without sound, xrvc with sound, and a longer
// uncompressed one.
TEST(RecoverAfterKill, AKilledRecordingIsOfferedRebuiltAndSaved)
{
    const struct {
        const char* name;
        DWORD codec;
        bool sound;
        DWORD recordMs;   // the kill comes after this long
    } cases[] = {
        { "uncompressed", mmioFOURCC('D', 'I', 'B', ' '), false, 2000 },
        { "xrvc with sound, 30 s", mmioFOURCC('x', 'r', 'v', 'c'), true, 30000 },
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir out("vxkill");
        ScratchDir temp("vxkilltemp");
        KillPrefs prefs(out.Path(), temp.Path(), c.codec, c.sound);
        BinaryClock clock;
        if (c.sound)
            ASSERT_TRUE(mediatest::PlayToneInBackground(440.0, c.recordMs / 1000.0 + 10.0, 0.5));

        const std::string tag = std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++n) + "-" +
                                std::to_string(::GetTickCount());
        DWORD killedAt = 0;
        CString folder;
        {
            TaggedProgram recorder("/R", tag);
            ASSERT_TRUE(recorder.Started());
            HWND main = NULL;
            ASSERT_TRUE(PumpUntil([&] { return (main = ::FindWindowA(RECORDER_CLASS_NAME, NULL)) != NULL; }, 20000));
            const std::string recording = ResourceText(IDS_RECORD_STATE_RECORDING);
            ASSERT_TRUE(PumpUntil([&] { return WindowText(main).find(recording) != std::string::npos; }, 20000))
                << WindowText(main);
            Pump(c.recordMs);
            folder = LastRecDir();
            ASSERT_FALSE(folder.IsEmpty()) << "the recording's folder is remembered";
            killedAt = clock.Now();
            std::string why;
            ASSERT_TRUE(KillTagged(tag, &why)) << why;
            ASSERT_TRUE(recorder.Ended(20000)) << "SIGKILL ended it";
        }
        EXPECT_EQ(folder, LastRecDir()) << "a killed recording stays remembered";
        // The sound the killed recorder had written: its format and whole
        // sample frames, read from the cut file before the recovery.
        DWORD soundRate = 0, soundFrames = 0;
        for (const auto& f : mediatest::ListFiles(std::string(folder), "*_Audio.wav")) {
            std::string bytes;
            ASSERT_TRUE(testsupport::ReadFileBytes(std::string(folder) + "\\" + f, &bytes));
            ASSERT_GE(bytes.size(), 46u);
            const WAVEFORMATEX* wf = (const WAVEFORMATEX*)&bytes[20];
            ASSERT_EQ(WAVE_FORMAT_PCM, wf->wFormatTag);
            ASSERT_EQ(1, wf->nChannels) << "mono, so that a mono decode counts sample frames";
            soundRate = wf->nSamplesPerSec;
            soundFrames = (DWORD)((bytes.size() - 46) / wf->nBlockAlign);
        }
        EXPECT_EQ(c.sound, soundRate != 0) << "a sound file exactly when sound is recorded";

        const std::string saved = out.File("Recovered.avi");
        ASSERT_NO_FATAL_FAILURE(RestartAndRecover(saved));

        ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(saved.c_str())) << saved;
        EXPECT_EQ("", std::string(LastRecDir()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(folder)) << "the temporary folder is gone";

        // The frames the rate gives: ffprobe's count of the video stream,
        // which counts a frame the recorder skipped under load (an empty
        // chunk: the picture before it stays) as AVIFile does.
        auto probe = [&](const std::string& options, const std::string& entry) {
            std::string text;
            RunHost("ffprobe -v error " + options + " -select_streams v:0 -show_entries stream=" + entry +
                        " -of default=nw=1:nk=1 '" + UnixPath(saved) + "'",
                    &text);
            return atoi(text.c_str());
        };
        const int counted = probe("", "nb_frames");
        const int packets = probe("-count_packets", "nb_read_packets");
        EXPECT_GT(packets, 0);
        EXPECT_LE(packets, counted) << "every packet is a frame";
        if (c.codec == mmioFOURCC('D', 'I', 'B', ' ')) {
            // ffmpeg decodes every frame without a complaint.
            std::string errors;
            EXPECT_EQ(0, RunHost("ffmpeg -v error -i '" + UnixPath(saved) + "' -f null - 2>&1", &errors));
            EXPECT_EQ("", errors);
            EXPECT_EQ(packets, probe("-count_frames", "nb_read_frames")) << "every packet decodes";
        }
        std::vector<long> clocks;
        ASSERT_TRUE(ReadClocks(saved, &clocks));
        EXPECT_EQ((size_t)counted, clocks.size()) << "ffprobe counts what AVIFile reads";
        long first = -1, last = -1;
        for (long t : clocks) {
            if (t >= 0 && first < 0)
                first = t;
            if (t >= 0)
                last = t;
        }
        ASSERT_GE(first, 0) << "a clock is readable";
        ASSERT_LT(first, (long)killedAt);
        const double expected = (killedAt - first) * 10.0 / 1000.0;
        EXPECT_GE(counted, 0.99 * expected) << "first clock " << first << " ms, killed at " << killedAt << " ms";
        EXPECT_GT(last, (long)killedAt - 1000) << "the last frame is from under a second before the kill";
        if (c.sound) {
            // Every sample the recorder had written is in the saved file, and
            // the sound is not longer than the pictures. (What the wave input
            // still held in memory at the kill is gone with the process.)
            std::string codec;
            RunHost("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name -of default=nw=1:nk=1 '" +
                        UnixPath(saved) + "'",
                    &codec);
            EXPECT_EQ("pcm_s16le\n", codec);
            const std::vector<int> sound = mediatest::DecodeAudio16(saved, out.File("sound.raw"), soundRate);
            EXPECT_NEAR((double)soundFrames, (double)sound.size(), soundRate / 100.0);
            EXPECT_LE(sound.size() / (double)soundRate, counted / 10.0 + 0.1);
            printf("sound %.2f s, pictures %.2f s\n", sound.size() / (double)soundRate, counted / 10.0);
        }
    }
}
