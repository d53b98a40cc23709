// The cost of recording the camera beside the screen: the recorder engine
// records the whole 1920 x 1080 Xvfb screen at 30 frames per second through
// the xrvc codec with sound on, while a second process changes the screen
// every frame period, twice: without the camera, then with the test camera
// at 640 x 480 and 30 frames per second recording beside it (the Windows
// Media road, "_Camera.wmv" through the shipped profile, the sound pushed
// into it as the program does). Prints for each run the engine's mean
// frame-loop time, and for the camera the frames its 30 frames per second
// produced against the frames its file holds.
//
// The frame-loop time is the capture thread's busy time per frame: the time
// from one frame's GdiFlush (the last call before the frame is written) to
// the next, less the time the thread slept in its pacing wait; the part of it
// spent in BitBlt is the screen grab, the rest is mostly the xrvc compression
// and the AVI write. The bench times these calls by pointing this program's
// import entries for Sleep, GdiFlush and BitBlt at timing wrappers; the
// engine itself is the product's, unchanged.
//
// The camera's frames produced are its frame slots from the graph's start to
// the last picture in the file (the test camera stamps every picture with its
// slot time and its own frame counter); written are the distinct pictures in
// the file, decoded by ffmpeg. Run by hand (bench/camera_recording.sh), never
// by the tests.
//
//   camera_recording.exe --register          puts test camera A into the video input category
//   camera_recording.exe <output folder> <profile folder> [seconds] [pairs]
//   (pairs: how many times the two runs are made, one after the other; the
//   figures add them up, which evens out a machine shared with other work)
//
// std strings come before the DirectShow headers (their macros would rename
// std functions).
#include <memory>
#include <string>
#include <vector>

#include "app/RecorderApp.h"
#include "camera/CameraSettings.h"
#include "camera/XRVCameraConfig.h"
#include "capture/RecorderEngine.h"
#include "capture/RecorderWindow.h"
#include "platform/camkit/CamKit.h"
#include "settings/RecorderPrefs.h"
#include "tests/camera/TestCameraIds.h"
#include "tests/camera/TestCameraRegistry.h"
#include "tests/support/TestSupport.h"

#include <dshow.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const int kWidth = 1920;
const int kHeight = 1080;
const int kFps = 30;
const int kCameraWidth = 640;
const int kCameraHeight = 480;
const REFERENCE_TIME kCameraFrameTime = 333333;   // 30 frames per second
const char kPainterClass[] = "VexcapBenchCameraDesktop";
const char kWithoutAudio[] = "Skorvale Studio Camera Video (CBR)";
const char kWithAudio[] = "Skorvale Studio Camera Video and Audio (CBR)";

// The goals: the frame loop with the camera at most 15 % slower, and at
// least 98 % of the camera's frames in its file.
const double kLoopRatioGoal = 1.15;
const double kCameraRatioGoal = 0.98;
const int kWarmUpSeconds = 3;

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart * 1000.0 / (double)f.QuadPart;
}

// ------------------------------------------------------------ frame-loop timing

// What one thread did between its GdiFlush calls. Each thread writes only its
// own slot; the main thread reads them once the engine's threads have ended.
// The histogram (0.1 ms bins, the last one open) gives the median, which a
// few frames held up by the rest of the machine do not move.
const int kBins = 2000;
const double kBinMs = 0.1;

struct LoopTiming {
    volatile LONG thread;
    LONG flushes;
    double lastFlush;
    double sleptAtLastFlush;
    double slept;
    double blitted;              // time in BitBlt: the screen grab
    double blittedAtLastFlush;
    double busy;    // sum over the frames after the first
    double grab;    // the part of busy spent grabbing
    double worst;
    int bins[kBins];

    double MeanMs() const { return flushes > 1 ? busy / (flushes - 1) : 0; }
    double MedianMs() const
    {
        int seen = 0;
        for (int i = 0; i < kBins; ++i) {
            seen += bins[i];
            if (2 * seen >= flushes - 1)
                return (i + 0.5) * kBinMs;
        }
        return 0;
    }
};

const int kSlots = 256;
LoopTiming g_slots[kSlots];
VOID(WINAPI* g_realSleep)(DWORD) = NULL;
BOOL(WINAPI* g_realGdiFlush)() = NULL;
BOOL(WINAPI* g_realBitBlt)(HDC, int, int, int, int, HDC, int, int, DWORD) = NULL;

LoopTiming* ThreadSlot()
{
    const LONG self = (LONG)::GetCurrentThreadId();
    for (LoopTiming& slot : g_slots) {
        if (slot.thread == self)
            return &slot;
        if (slot.thread == 0 && ::InterlockedCompareExchange(&slot.thread, self, 0) == 0)
            return &slot;
    }
    return NULL;
}

VOID WINAPI TimedSleep(DWORD ms)
{
    const double start = Now();
    g_realSleep(ms);
    if (LoopTiming* t = ThreadSlot())
        t->slept += Now() - start;
}

BOOL WINAPI TimedBitBlt(HDC dc, int x, int y, int cx, int cy, HDC source, int x1, int y1, DWORD rop)
{
    const double start = Now();
    const BOOL result = g_realBitBlt(dc, x, y, cx, cy, source, x1, y1, rop);
    if (LoopTiming* t = ThreadSlot())
        t->blitted += Now() - start;
    return result;
}

BOOL WINAPI TimedGdiFlush()
{
    const BOOL result = g_realGdiFlush();
    LoopTiming* t = ThreadSlot();
    if (!t)
        return result;
    const double now = Now();
    if (t->flushes > 0) {
        const double busy = (now - t->lastFlush) - (t->slept - t->sleptAtLastFlush);
        t->busy += busy;
        t->grab += t->blitted - t->blittedAtLastFlush;
        if (busy > t->worst)
            t->worst = busy;
        const int bin = (int)(busy / kBinMs);
        ++t->bins[bin < 0 ? 0 : bin >= kBins ? kBins - 1 : bin];
    }
    t->lastFlush = now;
    t->sleptAtLastFlush = t->slept;
    t->blittedAtLastFlush = t->blitted;
    ++t->flushes;
    return result;
}

// Points this program's import entry that holds `original` at `replacement`.
bool PatchImport(void* original, void* replacement)
{
    BYTE* base = (BYTE*)::GetModuleHandleA(NULL);
    const IMAGE_NT_HEADERS* nt = (const IMAGE_NT_HEADERS*)(base + ((const IMAGE_DOS_HEADER*)base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    bool patched = false;
    for (const IMAGE_IMPORT_DESCRIPTOR* d = (const IMAGE_IMPORT_DESCRIPTOR*)(base + dir.VirtualAddress); d->Name;
         ++d) {
        for (IMAGE_THUNK_DATA* thunk = (IMAGE_THUNK_DATA*)(base + d->FirstThunk); thunk->u1.Function; ++thunk) {
            if ((void*)thunk->u1.Function != original)
                continue;
            DWORD old = 0;
            if (!::VirtualProtect(&thunk->u1.Function, sizeof(thunk->u1.Function), PAGE_READWRITE, &old))
                return false;
            thunk->u1.Function = (ULONG_PTR)replacement;
            ::VirtualProtect(&thunk->u1.Function, sizeof(thunk->u1.Function), old, &old);
            patched = true;
        }
    }
    return patched;
}

bool InstallLoopTiming()
{
    g_realSleep = &::Sleep;
    g_realGdiFlush = &::GdiFlush;
    g_realBitBlt = &::BitBlt;
    return PatchImport((void*)g_realSleep, (void*)&TimedSleep) &&
           PatchImport((void*)g_realGdiFlush, (void*)&TimedGdiFlush) &&
           PatchImport((void*)g_realBitBlt, (void*)&TimedBitBlt);
}

void ResetLoopTiming()
{
    memset((void*)g_slots, 0, sizeof(g_slots));
}

// The capture thread is the one that flushed once per frame: the most flushes.
const LoopTiming* CaptureThreadTiming()
{
    const LoopTiming* best = &g_slots[0];
    for (const LoopTiming& slot : g_slots)
        if (slot.flushes > best->flushes)
            best = &slot;
    return best;
}

// The processor time of this process so far (all its threads), in seconds.
double ProcessCpuSeconds()
{
    FILETIME created, ended, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user))
        return 0;
    const ULONGLONG k = ((ULONGLONG)kernel.dwHighDateTime << 32) | kernel.dwLowDateTime;
    const ULONGLONG u = ((ULONGLONG)user.dwHighDateTime << 32) | user.dwLowDateTime;
    return (double)(k + u) / 1e7;
}

// ------------------------------------------------------------ the moving screen

// The painter process: a full-screen window of text-like lines; every frame
// period a line is typed and a block moves, as on a working desktop.
int RunPainter()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(NULL);
    wc.hbrBackground = (HBRUSH)::GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = kPainterClass;
    ::RegisterClassA(&wc);
    HWND hwnd = ::CreateWindowExA(WS_EX_TOPMOST, kPainterClass, "", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight,
                                  NULL, NULL, wc.hInstance, NULL);
    ::UpdateWindow(hwnd);
    HDC dc = ::GetDC(hwnd);
    for (int y = 0; y < kHeight; y += 18) {
        char line[160];
        snprintf(line, sizeof(line), "%04d  The quick brown fox jumps over the lazy dog; int main() { return %d; }",
                 y, y * 7);
        ::TextOutA(dc, 8 + (y % 5) * 40, y, line, (int)strlen(line));
    }
    for (int frame = 0;; ++frame) {
        char line[64];
        snprintf(line, sizeof(line), "typing... frame %d", frame);
        ::TextOutA(dc, 1000, 300 + (frame % 20) * 18, line, (int)strlen(line));
        RECT block = {200 + (frame * 8) % 1200, 600, 500 + (frame * 8) % 1200, 800};
        ::FillRect(dc, &block, (HBRUSH)::GetStockObject(frame % 2 ? GRAY_BRUSH : LTGRAY_BRUSH));
        ::GdiFlush();
        MSG msg;
        while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
        ::Sleep(1000 / kFps);
    }
    return 0;
}

bool StartPainter(PROCESS_INFORMATION* painter)
{
    char self[MAX_PATH];
    ::GetModuleFileNameA(NULL, self, MAX_PATH);
    char line[MAX_PATH + 32];
    snprintf(line, sizeof(line), "\"%s\" --painter", self);
    STARTUPINFOA startup = {sizeof(startup)};
    if (!::CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, painter))
        return false;
    for (int i = 0; i < 200; ++i) {
        if (::FindWindowA(kPainterClass, NULL)) {
            ::Sleep(500);
            return true;
        }
        ::Sleep(50);
    }
    return false;
}

// ------------------------------------------------------------ the engine's owners

class BenchApp : public CRecorderApp {
public:
    BenchApp() { SetProfileKey("VexcapBench\\CameraRecording"); }
    // Boxes are reported, never shown: nobody answers them here.
    int DoMessageBox(LPCTSTR prompt, UINT type, UINT) override
    {
        fprintf(stderr, "message box: %s\n", prompt ? prompt : "");
        ++boxes;
        return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
    }
    int boxes = 0;
};

// The main window as the engine sees it: a hidden window that notes the
// start of capture and the end of the recording.
class BenchWindow : public IRecorderWindow {
public:
    BenchWindow()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = WndProc;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.lpszClassName = "VexcapBenchRecorder";
        ::RegisterClassA(&wc);
        m_hwnd = ::CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, wc.hInstance, NULL);
        ::SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, (LONG_PTR)this);
    }
    ~BenchWindow() { ::DestroyWindow(m_hwnd); }
    HWND GetRecorderHwnd() const override { return m_hwnd; }
    void SetRecordState(int) override {}
    void ShowFocusFrame(int) override {}
    BOOL MoveFocusFrame(const RECT*, int) override { return FALSE; }
    void SetRecordedBitDepth(int) override {}

    bool began = false;
    bool finished = false;
    WPARAM result = 0;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        BenchWindow* self = (BenchWindow*)::GetWindowLongPtrA(hwnd, GWLP_USERDATA);
        if (self && msg == WM_RECORDER_STATE && wParam == 1)
            self->began = true;
        if (self && msg == WM_RECORDER_FINISHED) {
            self->finished = true;
            self->result = wParam;
        }
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    HWND m_hwnd;
};

// Pumps this thread's messages until `done` or the time-out; true when done.
template <class Done>
bool PumpUntil(Done done, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        MSG msg;
        while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// The recording's preferences: the whole screen at 30 frames per second
// through xrvc (a key frame every 80), sound on from the default input.
void SetRecordingPrefs(CRecorderPrefs* p, const std::string& folder, BOOL camera)
{
    p->m_tempDir = folder.c_str();
    p->m_outputDir = folder.c_str();
    p->m_autoConfig = FALSE;
    p->m_compressorFourCC = kFourccXrvc;
    p->m_captureRate = CRational(kFps, 1, 1);
    p->m_playbackRate = CRational(kFps, 1, 1);
    p->m_keyFrameRate = 80;
    p->m_quality = -1;
    p->m_minimize = FALSE;
    p->m_pauseOnStart = FALSE;
    p->m_previewAfterRecording = FALSE;
    p->m_optionsAfterRecording = FALSE;
    p->m_createSkoRecFile = FALSE;
    p->m_recordAudio = TRUE;
    p->m_audioDeviceId = (int)WAVE_MAPPER;
    const WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    p->SetAudioFormat(&format);
    p->m_recordCamera = camera;
}

// Test camera A at 640 x 480, 24 bits, 30 frames per second, into the
// Windows Media file (the default codec) through the shipped profiles; false
// when the camera is not listed.
bool SetUpCamera(XRVCameraConfig* camera, const char* profiles)
{
    CameraSettings* settings = camera->GetSettings();
    if (!settings->SelectDevice(CString(CStringW(TEST_CAMERA_A_NAME))))
        return false;
    VIDEOINFOHEADER vih = {};
    vih.AvgTimePerFrame = kCameraFrameTime;
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = kCameraWidth;
    vih.bmiHeader.biHeight = kCameraHeight;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = 24;
    vih.bmiHeader.biSizeImage = kCameraWidth * 3 * kCameraHeight;
    vih.dwBitRate = (DWORD)((ULONGLONG)vih.bmiHeader.biSizeImage * 8 * 10000000 / kCameraFrameTime);
    AM_MEDIA_TYPE mt = {};
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB24;
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = vih.bmiHeader.biSizeImage;
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = sizeof(vih);
    mt.pbFormat = (BYTE*)&vih;
    settings->SetMediaType(mt);
    camera->SetProfileNames(kWithoutAudio, kWithAudio, profiles);
    return true;
}

// ------------------------------------------------------------ the camera file

struct CameraCount {
    bool read = false;
    std::string format;     // width,height,rate as ffprobe gives them
    LONG passed = -1;       // pictures the frame skip passed on to the writer (-1: not known)
    LONG skipped = 0;       // and dropped (once the stop asked for no more pictures)
    int decoded = 0;        // pictures in the file
    int distinct = 0;       // pictures that differ from the one before
    int unreadable = 0;
    DWORD firstFrame = 0, lastFrame = 0;
    DWORD lastMs = 0;
    int Slots() const { return (int)((lastMs * 3 + 50) / 100) + 1; }   // 30 slots a second, from 0
};

// Decodes the frame counter and slot time of every picture in the camera
// file: the two bands of 32 blocks at the top, averaged to one grey value per
// block.
CameraCount CountCameraFrames(const std::string& file, const std::string& folder)
{
    using testsupport::RunHost;
    using testsupport::UnixPath;
    CameraCount count;
    std::string out;
    if (RunHost("ffprobe -v error -select_streams v:0 -show_entries stream=width,height,r_frame_rate -of csv=p=0 '" +
                    UnixPath(file) + "'",
                &out) != 0)
        return count;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    count.format = out;
    const std::string bands = folder + "\\bands.raw";
    char filter[96];
    snprintf(filter, sizeof(filter), "crop=%d:%d:0:0,scale=%d:2:flags=area", kCameraWidth,
             2 * (kCameraWidth / kTestCameraBits), (int)kTestCameraBits);
    if (RunHost(std::string("ffmpeg -v error -y -i '") + UnixPath(file) + "' -vsync passthrough -vf " + filter +
                    " -f rawvideo -pix_fmt gray '" + UnixPath(bands) + "'",
                &out) != 0) {
        fprintf(stderr, "ffmpeg: %s\n", out.c_str());
        return count;
    }
    std::string raw;
    if (!testsupport::ReadFileBytes(bands, &raw))
        return count;
    ::DeleteFileA(bands.c_str());
    const size_t frameBytes = 2 * kTestCameraBits;
    DWORD previous = 0;
    for (size_t f = 0; f < raw.size() / frameBytes; ++f) {
        const BYTE* blocks = (const BYTE*)raw.data() + f * frameBytes;
        DWORD values[2] = {0, 0};
        bool readable = true;
        for (int band = 0; band < 2; ++band)
            for (int bit = 0; bit < kTestCameraBits; ++bit) {
                const BYTE v = blocks[band * kTestCameraBits + bit];
                readable = readable && (v < 80 || v > 175);
                values[band] = (values[band] << 1) | (v >= 128 ? 1 : 0);
            }
        ++count.decoded;
        if (!readable) {
            ++count.unreadable;
            continue;
        }
        if (count.distinct == 0)
            count.firstFrame = values[0];
        if (count.distinct == 0 || values[0] != previous) {
            ++count.distinct;
            count.lastFrame = values[0];
            count.lastMs = values[1];
        }
        previous = values[0];
    }
    count.read = count.decoded > 0;
    return count;
}

// ------------------------------------------------------------ one recording

struct RunResult {
    bool ok = false;
    double seconds = 0;      // from the start of capture to the stop request
    double cpuSeconds = 0;   // this process's processor time meanwhile
    LONG frames = 0;         // frames timed
    double busyMs = 0, grabMs = 0;
    double meanMs = 0, medianMs = 0, worstMs = 0;
    DWORD captured = 0;
    DWORD dropped = 0;
    CameraCount camera;
};

// One recording of `seconds`, with or without the camera, in `folder`. Each
// recording gets a camera configuration of its own: a second recording
// through the same one, in the graph its first recording stopped, got no
// pictures from the camera under Wine (its sound only).
RunResult Record(BenchApp& app, const char* profiles, BOOL withCamera, const std::string& folder, int seconds)
{
    RunResult r;
    ::CreateDirectoryA(folder.c_str(), NULL);
    std::unique_ptr<XRVCameraConfig> camera(
        new XRVCameraConfig("3.0", "Software\\VexcapBench\\%s\\%s\\%s", "CameraRecording"));
    if (!SetUpCamera(camera.get(), profiles)) {
        fprintf(stderr, "test camera A is not registered (camera_recording --register)\n");
        return r;
    }
    CRecorderPrefs prefs(&app);
    SetRecordingPrefs(&prefs, folder, withCamera);
    BenchWindow window;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(&prefs, &window, camera.get()));
    ResetLoopTiming();
    const int boxesBefore = app.boxes;
    RECT area = {0, 0, kWidth, kHeight};
    if (!engine->PrepareRecording(&area)) {
        fprintf(stderr, "the recording did not start\n");
        return r;
    }
    if (!PumpUntil([&] { return window.began; }, 30000)) {
        fprintf(stderr, "capture did not begin\n");
        return r;
    }
    const double start = Now();
    const double cpuStart = ProcessCpuSeconds();
    // The frame skip counts the pictures that went on to the writer; the
    // graph lets it go at the stop, this reference keeps it for the count.
    IXrvFrameSkip* skip = NULL;
    IBaseFilter* skipFilter = NULL;
    if (withCamera && camera->Graph() &&
        SUCCEEDED(camera->Graph()->FindFilterByName(L"Kestravon Frame Skip Filter", &skipFilter))) {
        skipFilter->QueryInterface(IID_IXrvFrameSkip, (void**)&skip);
        skipFilter->Release();
    }

    PumpUntil([&] { return Now() - start >= seconds * 1000.0; }, seconds * 1000 + 5000);
    r.cpuSeconds = ProcessCpuSeconds() - cpuStart;
    r.seconds = (Now() - start) / 1000.0;
    engine->RequestStop();
    if (!PumpUntil([&] { return window.finished; }, 180000)) {
        fprintf(stderr, "the recording did not finish\n");
        return r;
    }
    const LoopTiming* loop = CaptureThreadTiming();
    r.frames = loop->flushes;
    r.busyMs = loop->busy;
    r.grabMs = loop->grab;
    r.meanMs = loop->MeanMs();
    r.medianMs = loop->MedianMs();
    r.worstMs = loop->worst;
    r.captured = engine->GetCapturedFrames();
    r.dropped = engine->GetDroppedFrames();
    if (withCamera) {
        const CStringArray& files = engine->GetRecordingFiles();
        for (INT_PTR i = 0; i < files.GetSize(); ++i)
            if (files[i].Right(11).CompareNoCase("_Camera.wmv") == 0)
                r.camera = CountCameraFrames((LPCSTR)files[i], folder);
        if (skip) {
            skip->GetCounts(&r.camera.passed, &r.camera.skipped);
            skip->Release();
        }
        if (!r.camera.read) {
            fprintf(stderr, "the camera file could not be read; kept for a look\n");
            engine->KeepRecording();
        }
    }
    r.ok = window.result == 0 && app.boxes == boxesBefore && (!withCamera || r.camera.read);
    if (r.frames != (LONG)r.captured)
        fprintf(stderr, "note: %ld frame flushes timed for %lu frames captured\n", (long)r.frames,
                (unsigned long)r.captured);
    engine.reset();
    return r;
}

void PrintRun(const char* label, const RunResult& r)
{
    const double grab = r.frames > 1 ? r.grabMs / (r.frames - 1) : 0;
    printf("%-15s frame loop %5.1f ms mean (grab %.1f, the rest %.1f), %5.1f ms median, %6.1f ms worst; "
           "%lu frames captured, %lu dropped; process CPU %.2f s per second\n",
           label, r.meanMs, grab, r.meanMs - grab, r.medianMs, r.worstMs, (unsigned long)r.captured,
           (unsigned long)r.dropped, r.seconds > 0 ? r.cpuSeconds / r.seconds : 0);
    const CameraCount& c = r.camera;
    if (c.read)
        printf("                camera file %s (width,height,rate): %d pictures, %d unreadable; "
               "produced %d (30 fps slots to %.1f s), delivered %lu (its counter, first in the file %lu), "
               "passed to the writer %ld (%ld skipped), written %d (%d repeats)\n",
               c.format.c_str(), c.decoded, c.unreadable, c.Slots(), c.lastMs / 1000.0,
               (unsigned long)c.lastFrame + 1, (unsigned long)c.firstFrame, (long)c.passed, (long)c.skipped,
               c.distinct, c.decoded - c.unreadable - c.distinct);
    else if (c.passed >= 0)
        printf("                camera file not readable; the frame skip passed %ld pictures to the writer, "
               "skipped %ld\n",
               (long)c.passed, (long)c.skipped);
    fflush(stdout);
}

// The runs of one kind added up.
struct Totals {
    bool ok = true;
    int runs = 0;
    double busyMs = 0;
    LONG frames = 0;
    double medianMs = 0;   // sum of the runs' medians
    int produced = 0, written = 0;

    void Add(const RunResult& r)
    {
        ok = ok && r.ok && r.frames > 1;
        ++runs;
        busyMs += r.busyMs;
        frames += r.frames > 1 ? r.frames - 1 : 0;
        medianMs += r.medianMs;
        produced += r.camera.read ? r.camera.Slots() : 0;
        written += r.camera.distinct;
    }
    double MeanMs() const { return frames > 0 ? busyMs / frames : 0; }
};

}  // namespace

int main(int argc, char** argv)
{
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (argc == 2 && strcmp(argv[1], "--painter") == 0)
        return RunPainter();
    ::CoInitialize(NULL);
    if (argc == 2 && strcmp(argv[1], "--register") == 0) {
        const HRESULT hr = RegisterTestCameras(TestCameraDllPath(), kCameraA);
        if (FAILED(hr))
            fprintf(stderr, "cannot register the test camera: 0x%08lx\n", (unsigned long)hr);
        ::CoUninitialize();
        return FAILED(hr) ? 1 : 0;
    }
    if (argc < 3) {
        fprintf(stderr, "usage: camera_recording <output folder> <profile folder> [seconds] [pairs]\n"
                        "       camera_recording --register\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int seconds = argc > 3 ? atoi(argv[3]) : 60;
    const int pairs = argc > 4 ? atoi(argv[4]) : 1;
    if (seconds < 1 || pairs < 1) {
        fprintf(stderr, "the length and the number of pairs must be whole numbers, at least 1\n");
        return 2;
    }
    static BenchApp app;
    if (!InstallLoopTiming()) {
        fprintf(stderr, "cannot time the frame loop (no import entry for Sleep or GdiFlush)\n");
        return 1;
    }
    PROCESS_INFORMATION painter = {};
    if (!StartPainter(&painter)) {
        fprintf(stderr, "the painter process did not start\n");
        return 1;
    }

    printf("recording %d s of %dx%d at %d fps (xrvc, sound on), without and with the camera, %d time%s\n",
           seconds, kWidth, kHeight, kFps, pairs, pairs > 1 ? "s" : "");
    fflush(stdout);
    // The first recording of the process loads the codec, the wave input
    // and the file system's caches: a short one, not counted, takes that
    // cost off the first run without the camera.
    const RunResult warmUp = Record(app, argv[2], FALSE, folder + "\\warmup", kWarmUpSeconds);
    PrintRun("warm-up", warmUp);
    Totals without, with;
    for (int i = 0; i < pairs; ++i) {
        const std::string n = std::to_string(i + 1);
        const RunResult plain = Record(app, argv[2], FALSE, folder + "\\without" + n, seconds);
        PrintRun("without camera", plain);
        without.Add(plain);
        const RunResult beside = Record(app, argv[2], TRUE, folder + "\\with" + n, seconds);
        PrintRun("with camera", beside);
        with.Add(beside);
    }

    ::TerminateProcess(painter.hProcess, 0);
    ::WaitForSingleObject(painter.hProcess, 5000);
    ::CloseHandle(painter.hProcess);
    ::CloseHandle(painter.hThread);

    if (!without.ok || !with.ok || without.MeanMs() <= 0 || with.MeanMs() <= 0 || with.produced <= 0) {
        fprintf(stderr, "a run failed: no figures\n");
        ::CoUninitialize();
        return 1;
    }
    const double loopRatio = with.MeanMs() / without.MeanMs();
    printf("frame loop with / without camera  %.2f / %.2f ms = %.3f  (goal <= %.2f: %s; medians %.3f)\n",
           with.MeanMs(), without.MeanMs(), loopRatio, kLoopRatioGoal, loopRatio <= kLoopRatioGoal ? "met" : "MISSED",
           with.medianMs / without.medianMs);
    const double cameraRatio = (double)with.written / with.produced;
    printf("camera written / produced         %d / %d = %.3f  (goal >= %.2f: %s)\n", with.written, with.produced,
           cameraRatio, kCameraRatioGoal, cameraRatio >= kCameraRatioGoal ? "met" : "MISSED");
    ::CoUninitialize();
    return 0;
}
