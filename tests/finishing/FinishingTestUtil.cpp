#include "FinishingTestUtil.h"

#include "MediaTestUtil.h"
#include "TestSupport.h"
#include "framework/WinThread.h"
#include "media/WaveIn.h"

#include <vfw.h>

#include <memory>

namespace finishingtest {

bool MakeScreenAvi(const std::string& path, int width, int height, int rate, int frames)
{
    ::AVIFileInit();
    ::DeleteFileA(path.c_str());
    PAVIFILE file = NULL;
    if (::AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_WRITE, NULL) != AVIERR_OK)
        return false;
    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof(bih);
    bih.biWidth = width;
    bih.biHeight = height;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    bih.biCompression = BI_RGB;
    const DWORD stride = (width * 3 + 3) & ~3;
    bih.biSizeImage = stride * height;
    AVISTREAMINFOA info = {};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = rate;
    info.dwSuggestedBufferSize = bih.biSizeImage;
    SetRect(&info.rcFrame, 0, 0, width, height);
    PAVISTREAM stream = NULL;
    bool ok = ::AVIFileCreateStreamA(file, &stream, &info) == AVIERR_OK &&
              ::AVIStreamSetFormat(stream, 0, &bih, sizeof(bih)) == AVIERR_OK;
    std::vector<BYTE> bits(bih.biSizeImage);
    for (int i = 0; ok && i < frames; ++i) {
        for (size_t b = 0; b < bits.size(); ++b)
            bits[b] = static_cast<BYTE>(i * 8 + b % 3 * 40);
        ok = ::AVIStreamWrite(stream, i, 1, bits.data(), bih.biSizeImage, AVIIF_KEYFRAME, NULL, NULL) == AVIERR_OK;
    }
    if (stream)
        ::AVIStreamRelease(stream);
    ::AVIFileRelease(file);
    return ok;
}

bool RecordTone(const std::string& path, const WAVEFORMATEX& format, int ms, double frequency)
{
    std::unique_ptr<CWaveIn> waveIn(
        new CWaveIn(WAVE_MAPPER, path.c_str(), NULL, 0, ms, &format, TRUE, NULL, FALSE, NULL, 0));
    CWinThread* thread = AfxBeginThread(WaveInThreadProc, waveIn.get(), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!thread)
        return false;
    thread->m_bAutoDelete = FALSE;
    thread->ResumeThread();
    bool ok = waveIn->WaitReady() != FALSE;
    if (ok) {
        waveIn->SetNotify(1);
        ok = mediatest::PlayToneInBackground(frequency, ms / 1000.0 + 3, 0.5);
        waveIn->Resume();
    }
    if (!ok)
        waveIn->Stop();
    ok = ::WaitForSingleObject(thread->m_hThread, ms + 20000) == WAIT_OBJECT_0 && ok && waveIn->HasData();
    waveIn.reset();
    delete thread;
    return ok;
}

std::string ProbeStream(const std::string& windowsPath, const std::string& stream, const std::string& entry)
{
    std::string cmd = "ffprobe -v error " + (stream.empty() ? std::string() : "-select_streams " + stream + " ") +
                      "-show_entries " + (stream.empty() ? "format=" : "stream=") + entry +
                      " -of default=nw=1:nk=1 '" + testsupport::UnixPath(windowsPath) + "'";
    std::string out;
    if (testsupport::RunHost(cmd, &out) != 0)
        return "";
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

}  // namespace finishingtest
