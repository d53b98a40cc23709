// preview_playback: plays a 10 s 1920x1080 recording at 15 frames a second
// (xrvc, written here through AVIFile) in a preview player window over the
// playback facade, counts the frames that reach the preview chain's sample
// grabber, then pauses and measures the process's CPU while the poll thread
// idles. Run by bench/preview_playback.sh, not by the tests.
//
//   preview_playback <scratch folder>
// The standard headers go first: the timeline's headers bring in strsafe.h.
#include <stdio.h>
#include <string>
#include <vector>

#include "framework/WinApp.h"
#include "overlays/TimelinePreview.h"
#include "XRVDirectShow/TimelinePlayer.h"

#include <qedit.h>
#include <vfw.h>

namespace {

class CBenchApp : public CWinApp {
public:
    CBenchApp() : CWinApp("preview_playback") {}
} theBenchApp;

const int kWidth = 1920, kHeight = 1080, kRate = 15, kFrames = 150;

// A desktop-like frame: a grey gradient with a block that moves each frame.
void PaintFrame(std::vector<DWORD>& pixels, int n)
{
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            pixels[(size_t)y * kWidth + x] = 0x00101010u * (DWORD)((x + y) / 256 + 4);
    const int bx = (n * 37) % (kWidth - 200), by = (n * 23) % (kHeight - 150);
    for (int y = by; y < by + 150; ++y)
        for (int x = bx; x < bx + 200; ++x)
            pixels[(size_t)y * kWidth + x] = 0x00C04020;
}

bool WriteRecording(const std::string& path)
{
    AVIFileInit();
    PAVIFILE file = NULL;
    ::DeleteFileA(path.c_str());
    if (AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_WRITE, NULL) != 0)
        return false;
    AVISTREAMINFOA info = {};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = kRate;
    info.dwSuggestedBufferSize = kWidth * kHeight * 4;
    SetRect(&info.rcFrame, 0, 0, kWidth, kHeight);
    PAVISTREAM raw = NULL, packed = NULL;
    AVICOMPRESSOPTIONS options = {};
    options.fccType = streamtypeVIDEO;
    options.fccHandler = mmioFOURCC('x', 'r', 'v', 'c');
    options.dwKeyFrameEvery = 80;
    options.dwFlags = AVICOMPRESSF_KEYFRAMES;
    BITMAPINFOHEADER format = {sizeof(BITMAPINFOHEADER), kWidth, kHeight, 1, 32, BI_RGB};
    bool ok = AVIFileCreateStreamA(file, &raw, &info) == 0 && AVIMakeCompressedStream(&packed, raw, &options, NULL) == 0 &&
              AVIStreamSetFormat(packed, 0, &format, sizeof(format)) == 0;
    std::vector<DWORD> pixels((size_t)kWidth * kHeight);
    for (int n = 0; ok && n < kFrames; ++n) {
        PaintFrame(pixels, n);
        ok = AVIStreamWrite(packed, n, 1, pixels.data(), (LONG)(pixels.size() * 4), 0, NULL, NULL) == 0;
    }
    if (packed)
        AVIStreamRelease(packed);
    if (raw)
        AVIStreamRelease(raw);
    AVIFileRelease(file);
    AVIFileExit();
    return ok;
}

// Counts the frames that pass the preview chain's grabber.
class CFrameCounter : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISampleGrabberCB)) {
            *ppv = this;
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample*) override
    {
        InterlockedIncrement(&frames);
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return S_OK; }
    volatile LONG frames = 0;
};

void PumpFor(DWORD ms)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
}

double ProcessCpuMs()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const ULONGLONG k = ((ULONGLONG)kernel.dwHighDateTime << 32) | kernel.dwLowDateTime;
    const ULONGLONG u = ((ULONGLONG)user.dwHighDateTime << 32) | user.dwLowDateTime;
    return (double)(k + u) / 10000.0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: preview_playback <scratch folder>\n");
        return 2;
    }
    CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    const std::string file = std::string(argv[1]) + "\\preview_bench.avi";
    if (!WriteRecording(file)) {
        fprintf(stderr, "preview_playback: cannot write %s with the xrvc codec\n", file.c_str());
        return 1;
    }
    XRVDSTimeline::s_bForcePlainRenderer = TRUE;
    int result = 0;
    {
        CTimelinePlayer player;
        if (FAILED(player.AddMediaFile(0, file.c_str())) || FAILED(player.BuildPreviewGraph())) {
            fprintf(stderr, "preview_playback: the preview graph was not built\n");
            return 1;
        }
        CFrameCounter counter;
        CComPtr<ISampleGrabber> grabber;
        player.GetTimeline()->m_pPreZoomSG->QueryInterface(IID_ISampleGrabber, (void**)&grabber);
        grabber->SetCallback(&counter, 0);
        CWnd host;
        host.CreateEx(0, AfxRegisterWndClass(0), "preview bench", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, NULL,
                      NULL);
        CTimelinePreview preview;
        preview.SetPlayer(&player);
        RECT r = {0, 0, kWidth, kHeight};
        preview.CreatePlayer(&host, r, 1);
        preview.Refresh();
        PumpFor(1000);
        counter.frames = 0;
        const DWORD start = GetTickCount();
        preview.Play();
        while (GetTickCount() - start < 20000 && (preview.IsRunning() || GetTickCount() - start < 1000) &&
               preview.GetPosition() < preview.GetDuration())
            PumpFor(50);
        const double seconds = (GetTickCount() - start) / 1000.0;
        const LONG frames = counter.frames;
        const double perSecond = frames / seconds;
        printf("frames reaching the preview chain: %ld in %.2f s = %.2f/s; / %d = %.3f (goal >= 0.95)\n", frames,
               seconds, perSecond, kRate, perSecond / kRate);
        preview.Pause();
        PumpFor(1000);
        const double cpu0 = ProcessCpuMs();
        const DWORD idle0 = GetTickCount();
        Sleep(5000);
        const double cpu = (ProcessCpuMs() - cpu0) * 100.0 / (GetTickCount() - idle0);
        printf("process CPU while paused (poll thread and paused graph): %.2f %% of one core\n", cpu);
        grabber->SetCallback(NULL, 0);
        preview.DestroyWindow();
        // The same paused graph with no player window: the poll thread has
        // ended; the difference is its share (goal under 1 % of a core).
        PumpFor(500);
        const double cpu1 = ProcessCpuMs();
        const DWORD idle1 = GetTickCount();
        Sleep(5000);
        const double without = (ProcessCpuMs() - cpu1) * 100.0 / (GetTickCount() - idle1);
        printf("process CPU paused without the poll thread: %.2f %%; the poll thread's share: %.2f %% (goal < 1 %%)\n",
               without, cpu - without);
        host.DestroyWindow();
        player.KillActionThread(TRUE);
    }
    CMediaPlayerWnd::StopPollThread();
    CoUninitialize();
    return result;
}
