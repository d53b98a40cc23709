#include "DexTestMedia.h"

#include "MediaTestUtil.h"
#include "TestSupport.h"

#include "capture/AviInterleaveWriter.h"

#include <vfw.h>
#include <gdiplus.h>

#include <math.h>

namespace dextest {

std::vector<short> Tone(DWORD rate, double hz, DWORD samples, int channels)
{
    std::vector<short> out((size_t)samples * channels);
    for (DWORD i = 0; i < samples; ++i) {
        double v = 8000.0 * sin(2.0 * 3.14159265358979323846 * hz * i / rate);
        short s = (short)(v < 0 ? -(long)(-v + 0.5) : (long)(v + 0.5));
        for (int c = 0; c < channels; ++c)
            out[(size_t)i * channels + c] = s;
    }
    return out;
}

// Written through the recorder's own AVI writer (Wine's AVIFile miscounts
// audio lengths), frames compressed through the codec by ICSeqCompressFrame
// as the recorder does.
std::string WriteAvi(const std::string& path, const AviPlan& avi)
{
    DeleteFileA(path.c_str());
    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof(bih);
    bih.biWidth = avi.width;
    bih.biHeight = avi.height;
    bih.biPlanes = 1;
    bih.biBitCount = 32;
    bih.biCompression = BI_RGB;
    bih.biSizeImage = avi.width * avi.height * 4;

    std::vector<std::vector<BYTE>> frames;
    std::vector<BOOL> keys;
    std::vector<BYTE> outFormat((const BYTE*)&bih, (const BYTE*)&bih + sizeof(bih));
    std::vector<DWORD> pixels((size_t)avi.width * avi.height);
    if (avi.codec) {
        HIC hic = ICOpen(ICTYPE_VIDEO, avi.codec, ICMODE_COMPRESS);
        if (!hic)
            return "codec not installed";
        COMPVARS cv = {};
        cv.cbSize = sizeof(cv);
        cv.dwFlags = ICMF_COMPVARS_VALID;
        cv.hic = hic;
        cv.fccType = ICTYPE_VIDEO;
        cv.fccHandler = avi.codec;
        cv.lKey = 80;
        cv.lQ = ICQUALITY_DEFAULT;
        BITMAPINFO in = {};
        in.bmiHeader = bih;
        if (!ICSeqCompressFrameStart(&cv, &in)) {
            ICClose(hic);
            return "ICSeqCompressFrameStart";
        }
        LONG formatSize = (LONG)ICCompressGetFormatSize(hic, &in);
        outFormat.resize(formatSize > 0 ? formatSize : sizeof(bih));
        ICCompressGetFormat(hic, &in, (BITMAPINFO*)outFormat.data());
        for (DWORD colour : avi.frameColours) {
            std::fill(pixels.begin(), pixels.end(), colour);
            BOOL key = FALSE;
            LONG size = (LONG)(pixels.size() * 4);
            void* data = ICSeqCompressFrame(&cv, 0, pixels.data(), &key, &size);
            if (!data)
                break;
            frames.emplace_back((BYTE*)data, (BYTE*)data + size);
            keys.push_back(key);
        }
        ICSeqCompressFrameEnd(&cv);
        ICCompressorFree(&cv);
        if (frames.size() != avi.frameColours.size())
            return "compressing failed";
    } else {
        for (DWORD colour : avi.frameColours) {
            std::fill(pixels.begin(), pixels.end(), colour);
            frames.emplace_back((BYTE*)pixels.data(), (BYTE*)pixels.data() + pixels.size() * 4);
            keys.push_back(TRUE);
        }
    }

    AVISTREAMINFOA vsi = {};
    vsi.fccType = streamtypeVIDEO;
    vsi.fccHandler = avi.codec;
    vsi.dwScale = avi.fpsScale;
    vsi.dwRate = avi.fps;
    SetRect(&vsi.rcFrame, 0, 0, avi.width, avi.height);
    WAVEFORMATEX wfx = {};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = 1;
    wfx.nSamplesPerSec = avi.toneRate ? avi.toneRate : 22050;
    wfx.wBitsPerSample = 16;
    wfx.nBlockAlign = 2;
    wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * 2;
    AVISTREAMINFOA asi = {};
    asi.fccType = streamtypeAUDIO;
    asi.dwScale = 1;
    asi.dwRate = wfx.nSamplesPerSec;
    asi.dwSampleSize = 2;
    CAviInterleaveWriter writer;
    if (!writer.Create(path.c_str(), vsi, outFormat.data(), (LONG)outFormat.size(), asi, &wfx, sizeof(wfx)))
        return "create";
    std::vector<short> tone;
    if (avi.toneSamples)
        tone = Tone(avi.toneRate, avi.toneHz, avi.toneSamples);
    // Interleaved as the recorder writes: each frame, then its share of sound.
    size_t written = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (!writer.WriteVideo(frames[i].data(), (DWORD)frames[i].size(), keys[i]))
            return "write frame " + std::to_string(i);
        size_t upTo = i + 1 == frames.size() ? tone.size() : (tone.size() * (i + 1)) / frames.size();
        if (upTo > written) {
            if (!writer.WriteAudio(tone.data() + written, (DWORD)((upTo - written) * 2), (DWORD)(upTo - written)))
                return "write audio";
            written = upTo;
        }
    }
    return writer.Close() ? std::string() : "close";
}

bool WriteToneWav(const std::string& path, DWORD rate, double hz, DWORD samples)
{
    WAVEFORMATEX wfx = {};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = 1;
    wfx.nSamplesPerSec = rate;
    wfx.wBitsPerSample = 16;
    wfx.nBlockAlign = 2;
    wfx.nAvgBytesPerSec = rate * 2;
    std::vector<short> tone = Tone(rate, hz, samples);
    std::string data((const char*)tone.data(), tone.size() * 2);
    std::string bytes = mediatest::MakeWav(&wfx, 16, data);
    return testsupport::WriteFileBytes(path, bytes.data(), bytes.size());
}

bool WriteSolidPng(const std::string& path, int width, int height, DWORD colour)
{
    using namespace Gdiplus;
    using namespace Gdiplus::DllExports;
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (GdiplusStartup(&token, &input, NULL) != Ok)
        return false;
    bool ok = false;
    GpBitmap* bitmap = NULL;
    if (GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppRGB, NULL, &bitmap) == Ok) {
        GpGraphics* g = NULL;
        if (GdipGetImageGraphicsContext(bitmap, &g) == Ok) {
            GdipGraphicsClear(g, 0xFF000000 | colour);
            GdipDeleteGraphics(g);
        }
        // The PNG encoder's class identifier.
        const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        std::wstring wide(path.begin(), path.end());
        ok = GdipSaveImageToFile(bitmap, wide.c_str(), &png, NULL) == Ok;
        GdipDisposeImage(bitmap);
    }
    GdiplusShutdown(token);
    return ok;
}

DWORD PixelAt(const BYTE* rgb32, int width, int height, int x, int y)
{
    const DWORD* row = (const DWORD*)(rgb32 + (size_t)(height - 1 - y) * width * 4);
    return row[x] & 0xFFFFFF;
}

double CrossingsPerSecond(const short* samples, size_t frames, int channels, DWORD rate)
{
    size_t crossings = 0;
    for (size_t i = 1; i < frames; ++i) {
        int a = samples[(i - 1) * channels], b = samples[i * channels];
        if ((a < 0 && b >= 0) || (a >= 0 && b < 0))
            ++crossings;
    }
    return frames ? (double)crossings * rate / frames : 0.0;
}

bool WritePackage(const std::string& path, const std::vector<std::pair<std::wstring, std::string>>& streams)
{
    IStorage* storage = NULL;
    const std::wstring wide(path.begin(), path.end());
    if (FAILED(StgCreateDocfile(wide.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage)))
        return false;
    bool ok = true;
    for (const auto& s : streams) {
        IStream* stream = NULL;
        ok = ok && SUCCEEDED(storage->CreateStream(s.first.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE,
                                                   0, 0, &stream));
        FILE* f = fopen(s.second.c_str(), "rb");
        ok = ok && f;
        char buffer[65536];
        size_t n;
        while (ok && (n = fread(buffer, 1, sizeof(buffer), f)) > 0)
            ok = SUCCEEDED(stream->Write(buffer, (ULONG)n, NULL));
        if (f)
            fclose(f);
        if (stream)
            stream->Release();
    }
    storage->Release();
    return ok;
}

}  // namespace dextest
