#include "platform/dex/MediaReader.h"

#include <mmreg.h>
#include <msacm.h>
#include <vfw.h>
#include <vfwmsgs.h>
#include <gdiplus.h>

#include <map>
#include <mutex>
#include <new>
#include <stdio.h>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

const WCHAR kStillSuffix[] = L".XRVImg3";

BOOL EndsWithNoCase(const std::wstring& text, LPCWSTR tail)
{
    size_t n = lstrlenW(tail);
    return text.size() >= n && lstrcmpiW(text.c_str() + text.size() - n, tail) == 0;
}

void LogMedia(const char* text, const std::wstring& name)
{
    char line[512];
    snprintf(line, sizeof(line), "media reader: %s (%ls)\n", text, name.c_str());
    OutputDebugStringA(line);
}

// Converts one row of a DIB of 8, 16 (5-5-5), 24 or 32 bits to RGB32. One
// loop per depth: the 32-bit one is a plain masked copy the compiler can
// vectorise (joins of full-screen recordings spend their time here).
void RowToRgb32(const BYTE* src, int bitCount, const RGBQUAD* palette, int width, DWORD* dst)
{
    switch (bitCount) {
    case 32: {
        const DWORD* s32 = (const DWORD*)src;
        for (int x = 0; x < width; ++x)
            dst[x] = s32[x] & 0x00FFFFFF;
        break;
    }
    case 24:
        for (int x = 0; x < width; ++x)
            dst[x] = src[x * 3] | (src[x * 3 + 1] << 8) | (src[x * 3 + 2] << 16);
        break;
    case 16:
        for (int x = 0; x < width; ++x) {
            WORD v = ((const WORD*)src)[x];
            DWORD r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
            dst[x] = ((r << 3) | (r >> 2)) << 16 | ((g << 3) | (g >> 2)) << 8 | ((b << 3) | (b >> 2));
        }
        break;
    case 8:
        for (int x = 0; x < width; ++x) {
            const RGBQUAD& q = palette[src[x]];
            dst[x] = q.rgbBlue | (q.rgbGreen << 8) | (q.rgbRed << 16);
        }
        break;
    default:
        for (int x = 0; x < width; ++x)
            dst[x] = 0;
    }
}

// AVIFile is started once for the process and never stopped: readers come
// and go on any thread.
void EnsureAviFile()
{
    static LONG started = 0;
    if (InterlockedExchange(&started, 1) == 0)
        AVIFileInit();
}

class CAviReader : public CMediaReader {
public:
    ~CAviReader() override
    {
        for (Decoder& d : m_decoders)
            d.Close();
        for (PAVISTREAM s : m_avi)
            if (s)
                AVIStreamRelease(s);
        if (m_file)
            AVIFileRelease(m_file);
    }

    HRESULT Open(const std::wstring& name)
    {
        m_name = name;
        EnsureAviFile();
        if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES)
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        HRESULT hr = AVIFileOpenW(&m_file, name.c_str(), OF_READ | OF_SHARE_DENY_NONE, NULL);
        if (FAILED(hr))
            return hr;
        for (LONG i = 0;; ++i) {
            PAVISTREAM stream = NULL;
            if (AVIFileGetStream(m_file, &stream, 0, i) != AVIERR_OK || !stream)
                break;
            AVISTREAMINFOW info = {};
            if (AVIStreamInfoW(stream, &info, sizeof(info)) != AVIERR_OK) {
                AVIStreamRelease(stream);
                continue;
            }
            HRESULT added = E_FAIL;
            if (info.fccType == streamtypeVIDEO)
                added = AddVideo(stream, info);
            else if (info.fccType == streamtypeAUDIO)
                added = AddAudio(stream, info);
            if (FAILED(added)) {
                LogMedia("a stream was left out", m_name);
                AVIStreamRelease(stream);
            }
        }
        return m_streams.empty() ? VFW_E_UNSUPPORTED_STREAM : S_OK;
    }

    HRESULT ReadFrame(int stream, LONG frame, BYTE* rgb32) override
    {
        if (stream < 0 || stream >= StreamCount() || m_streams[stream].kind != MEDIA_STREAM_VIDEO)
            return E_INVALIDARG;
        const MediaStreamInfo& s = m_streams[stream];
        std::vector<BYTE>& last = m_last[stream];
        size_t bytes = (size_t)s.width * s.height * 4;
        if (frame >= s.frames)
            frame = s.frames - 1;
        if (frame < 0)
            frame = 0;
        // Uncompressed frames are read again when asked again: keeping a
        // copy of each would cost a pass over every frame.
        if (((const BITMAPINFOHEADER*)m_decoders[stream].format.data())->biCompression == BI_RGB) {
            if (DecodeFrame(stream, frame, rgb32)) {
                m_lastFrame[stream] = frame;
                return S_OK;
            }
            ++m_refused;
            LogMedia("a frame could not be read; the previous one stands in", m_name);
            if (m_lastFrame[stream] < 0 || !DecodeFrame(stream, m_lastFrame[stream], rgb32))
                ZeroMemory(rgb32, bytes);
            return S_OK;
        }
        if (frame == m_lastFrame[stream] && !last.empty()) {
            CopyMemory(rgb32, last.data(), bytes);
            return S_OK;
        }
        if (!DecodeFrame(stream, frame, rgb32)) {
            // A refused frame repeats the previous one (black before any).
            ++m_refused;
            LogMedia("the codec refused a frame; the previous one stands in", m_name);
            if (last.empty())
                ZeroMemory(rgb32, bytes);
            else
                CopyMemory(rgb32, last.data(), bytes);
            m_lastFrame[stream] = frame;
            return S_OK;
        }
        last.assign(rgb32, rgb32 + bytes);
        m_lastFrame[stream] = frame;
        return S_OK;
    }

private:
    // A codec opened for one compressed stream, decoding into RGB32 (or the
    // first of 24 and 16 bits it offers).
    struct Decoder {
        std::vector<BYTE> format;     // the stream's format
        HIC hic = NULL;
        std::vector<BYTE> out;        // output header (with room for a palette)
        std::vector<BYTE> bits;
        LONG decoded = -1;            // last frame decoded into the codec

        BOOL Open(const BITMAPINFOHEADER* in, int width, int height)
        {
            hic = ICLocate(ICTYPE_VIDEO, in->biCompression, (BITMAPINFOHEADER*)in, NULL, ICMODE_DECOMPRESS);
            if (!hic)
                return FALSE;
            out.assign(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
            BITMAPINFOHEADER* o = (BITMAPINFOHEADER*)out.data();
            const WORD depths[] = {32, 24, 16};
            for (WORD bits : depths) {
                o->biSize = sizeof(BITMAPINFOHEADER);
                o->biWidth = width;
                o->biHeight = height;
                o->biPlanes = 1;
                o->biBitCount = bits;
                o->biCompression = BI_RGB;
                o->biSizeImage = (DWORD)(((size_t)width * bits + 31) / 32 * 4 * height);
                if (ICDecompressQuery(hic, in, o) == ICERR_OK && ICDecompressBegin(hic, in, o) == ICERR_OK) {
                    this->bits.resize(o->biSizeImage);
                    return TRUE;
                }
            }
            Close();
            return FALSE;
        }
        void Close()
        {
            if (hic) {
                ICDecompressEnd(hic);
                ICClose(hic);
                hic = NULL;
            }
        }
    };

    // Reads and decodes frame n. A compressed stream decodes from the key
    // frame at or before n unless n follows the frame decoded last.
    BOOL DecodeFrame(int stream, LONG n, BYTE* rgb32)
    {
        const MediaStreamInfo& s = m_streams[stream];
        Decoder& d = m_decoders[stream];
        PAVISTREAM avi = m_avi[stream];
        const BITMAPINFOHEADER* in = (const BITMAPINFOHEADER*)d.format.data();
        std::vector<BYTE>& raw = m_raw[stream];
        if (in->biCompression == BI_RGB) {
            // Bottom-up 32-bit frames are read straight into place and
            // their fourth bytes cleared there.
            if (in->biBitCount == 32 && in->biHeight == s.height && in->biWidth == s.width) {
                const LONG want = (LONG)((size_t)s.width * s.height * 4);
                LONG bytes = 0;
                if (AVIStreamRead(avi, n, 1, NULL, 0, &bytes, NULL) == AVIERR_OK && bytes == want) {
                    if (AVIStreamRead(avi, n, 1, rgb32, want, &bytes, NULL) != AVIERR_OK || bytes != want)
                        return FALSE;
                    DWORD* p = (DWORD*)rgb32;
                    const size_t count = (size_t)s.width * s.height;
                    for (size_t i = 0; i < count; ++i)
                        p[i] &= 0x00FFFFFF;
                    return TRUE;
                }
            }
            if (!ReadRaw(avi, n, &raw))
                return FALSE;
            return DibToRgb32(in, raw.data(), raw.size(), s, rgb32);
        }
        if (!d.hic)
            return FALSE;
        LONG from = n;
        if (d.decoded < 0 || n != d.decoded + 1) {
            LONG key = AVIStreamFindSample(avi, n, FIND_PREV | FIND_KEY);
            from = key >= 0 && key <= n ? key : n;
        }
        BOOL ok = TRUE;
        for (LONG i = from; i <= n; ++i) {
            BITMAPINFOHEADER inFrame = *in;
            ok = ReadRaw(avi, i, &raw);
            if (ok) {
                inFrame.biSizeImage = (DWORD)raw.size();
                LONG keyFlag = AVIStreamIsKeyFrame(avi, i) ? 0 : ICDECOMPRESS_NOTKEYFRAME;
                ok = raw.empty() || ICDecompress(d.hic, keyFlag, &inFrame, raw.data(),
                                                 (BITMAPINFOHEADER*)d.out.data(), d.bits.data()) == ICERR_OK;
            }
            d.decoded = i;
        }
        if (!ok)
            return FALSE;
        return DibToRgb32((const BITMAPINFOHEADER*)d.out.data(), d.bits.data(), d.bits.size(), s, rgb32);
    }

    // The stored bytes of one frame (empty for a frame that repeats the last).
    BOOL ReadRaw(PAVISTREAM avi, LONG n, std::vector<BYTE>* raw)
    {
        LONG bytes = 0;
        if (AVIStreamRead(avi, n, 1, NULL, 0, &bytes, NULL) != AVIERR_OK || bytes < 0 || bytes > kMaxFrameBytes)
            return FALSE;
        raw->resize(bytes);
        if (bytes == 0)
            return TRUE;
        return AVIStreamRead(avi, n, 1, raw->data(), bytes, &bytes, NULL) == AVIERR_OK;
    }

    HRESULT AddVideo(PAVISTREAM stream, const AVISTREAMINFOW& info)
    {
        LONG size = 0;
        if (AVIStreamReadFormat(stream, 0, NULL, &size) != AVIERR_OK || size < (LONG)sizeof(BITMAPINFOHEADER) ||
            size > 65536)
            return E_FAIL;
        std::vector<BYTE> format(size);
        if (AVIStreamReadFormat(stream, 0, format.data(), &size) != AVIERR_OK)
            return E_FAIL;
        const BITMAPINFOHEADER* bih = (const BITMAPINFOHEADER*)format.data();
        LONG height = bih->biHeight < 0 ? -bih->biHeight : bih->biHeight;
        if (bih->biWidth <= 0 || bih->biWidth > kMaxMediaSide || height <= 0 || height > kMaxMediaSide)
            return E_FAIL;
        if ((LONGLONG)bih->biWidth * height * 4 > kMaxFrameBytes)
            return E_FAIL;
        if (info.dwRate == 0 || info.dwScale == 0 || info.dwScale > 10000000 || info.dwRate > 1000000000)
            return E_FAIL;
        LONG frames = AVIStreamLength(stream);
        if (frames <= 0)
            return E_FAIL;
        MediaStreamInfo s = {};
        s.kind = MEDIA_STREAM_VIDEO;
        s.handler = bih->biCompression == BI_RGB ? 0 : bih->biCompression;
        s.width = bih->biWidth;
        s.height = height;
        s.bitCount = bih->biBitCount;
        s.rateNum = info.dwRate;
        s.rateDen = info.dwScale;
        s.frames = frames;
        s.length = FrameStartTime(frames, s.rateNum, s.rateDen);

        Decoder decoder;
        decoder.format = format;
        if (bih->biCompression != BI_RGB && !decoder.Open(bih, s.width, s.height))
            LogMedia("no codec decodes the video; frames stay black", m_name);
        m_avi.push_back(stream);
        m_decoders.push_back(std::move(decoder));
        m_streams.push_back(s);
        m_audio.emplace_back();
        m_last.emplace_back();
        m_lastFrame.push_back(-1);
        m_raw.emplace_back();
        return S_OK;
    }

    // Converts a DIB (header with its colour table, and bits) to RGB32 of the
    // stream's size; `bitsSize` bytes of bits are there.
    static BOOL DibToRgb32(const BITMAPINFOHEADER* dib, const BYTE* bitsStart, size_t bitsSize,
                           const MediaStreamInfo& s, BYTE* rgb32)
    {
        LONG height = dib->biHeight < 0 ? -dib->biHeight : dib->biHeight;
        if (dib->biWidth != s.width || height != s.height || dib->biCompression != BI_RGB)
            return FALSE;
        int bits = dib->biBitCount;
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return FALSE;
        DWORD colours = bits == 8 ? (dib->biClrUsed ? dib->biClrUsed : 256) : 0;
        if (colours > 256)
            return FALSE;
        const RGBQUAD* palette = (const RGBQUAD*)((const BYTE*)dib + dib->biSize);
        size_t stride = ((size_t)s.width * bits + 31) / 32 * 4;
        if (stride * s.height > bitsSize)
            return FALSE;
        for (int y = 0; y < s.height; ++y) {
            // Our rows are bottom-up; a top-down DIB is read the other way.
            int srcRow = dib->biHeight < 0 ? s.height - 1 - y : y;
            RowToRgb32(bitsStart + stride * srcRow, bits, palette, s.width, (DWORD*)(rgb32 + (size_t)y * s.width * 4));
        }
        return TRUE;
    }

    HRESULT AddAudio(PAVISTREAM stream, const AVISTREAMINFOW&)
    {
        LONG size = 0;
        if (AVIStreamReadFormat(stream, 0, NULL, &size) != AVIERR_OK || size < (LONG)sizeof(PCMWAVEFORMAT) ||
            size > 65536)
            return E_FAIL;
        std::vector<BYTE> format(size < (LONG)sizeof(WAVEFORMATEX) ? sizeof(WAVEFORMATEX) : size);
        if (AVIStreamReadFormat(stream, 0, format.data(), &size) != AVIERR_OK)
            return E_FAIL;
        WAVEFORMATEX* wfx = (WAVEFORMATEX*)format.data();
        if (wfx->wFormatTag == WAVE_FORMAT_PCM)
            wfx->cbSize = 0;
        if (wfx->nChannels == 0 || wfx->nChannels > 8 || wfx->nSamplesPerSec == 0 || wfx->nBlockAlign == 0 ||
            wfx->nSamplesPerSec > 384000)
            return E_FAIL;
        LONG start = AVIStreamStart(stream);
        LONG blocks = AVIStreamLength(stream);
        if (blocks <= 0)
            return E_FAIL;
        LONGLONG bytes = (LONGLONG)blocks * wfx->nBlockAlign;
        if (bytes > kMaxAudioBytes)
            return E_FAIL;
        std::vector<BYTE> raw;
        try {
            raw.resize((size_t)bytes);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        LONG readBytes = 0, readSamples = 0;
        if (AVIStreamRead(stream, start, blocks, raw.data(), (LONG)bytes, &readBytes, &readSamples) != AVIERR_OK)
            return E_FAIL;
        raw.resize(readBytes);

        std::vector<short> pcm;
        WAVEFORMATEX out = {};
        HRESULT hr = DecodeToPcm16(wfx, raw, &pcm, &out);
        if (FAILED(hr))
            return hr;
        MediaStreamInfo s = {};
        s.kind = MEDIA_STREAM_AUDIO;
        s.pcm = out;
        s.samples = (LONGLONG)pcm.size() / out.nChannels;
        s.length = s.samples * 10000000 / out.nSamplesPerSec;
        AVIStreamRelease(stream);
        m_avi.push_back(NULL);
        m_decoders.emplace_back();
        m_streams.push_back(s);
        m_audio.push_back(std::move(pcm));
        m_last.emplace_back();
        m_lastFrame.push_back(-1);
        m_raw.emplace_back();
        return S_OK;
    }

    // PCM of 8 or 16 bits is taken as it is; anything else goes through ACM
    // to the PCM format it suggests.
    static HRESULT DecodeToPcm16(const WAVEFORMATEX* wfx, const std::vector<BYTE>& raw, std::vector<short>* pcm,
                                 WAVEFORMATEX* out)
    {
        std::vector<BYTE> decoded;
        WAVEFORMATEX src = *wfx;
        if (wfx->wFormatTag != WAVE_FORMAT_PCM) {
            WAVEFORMATEX suggested = {};
            suggested.wFormatTag = WAVE_FORMAT_PCM;
            if (acmFormatSuggest(NULL, (WAVEFORMATEX*)wfx, &suggested, sizeof(suggested),
                                 ACM_FORMATSUGGESTF_WFORMATTAG) != 0)
                return VFW_E_UNSUPPORTED_AUDIO;
            HACMSTREAM has = NULL;
            if (acmStreamOpen(&has, NULL, (WAVEFORMATEX*)wfx, &suggested, 0, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0)
                return VFW_E_UNSUPPORTED_AUDIO;
            DWORD outSize = 0;
            if (acmStreamSize(has, (DWORD)raw.size(), &outSize, ACM_STREAMSIZEF_SOURCE) != 0 ||
                outSize > kMaxAudioBytes) {
                acmStreamClose(has, 0);
                return VFW_E_UNSUPPORTED_AUDIO;
            }
            decoded.resize(outSize);
            std::vector<BYTE> in(raw);
            ACMSTREAMHEADER header = {};
            header.cbStruct = sizeof(header);
            header.pbSrc = in.data();
            header.cbSrcLength = (DWORD)in.size();
            header.pbDst = decoded.data();
            header.cbDstLength = outSize;
            MMRESULT mr = acmStreamPrepareHeader(has, &header, 0);
            if (mr == 0) {
                mr = acmStreamConvert(has, &header, ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END);
                acmStreamUnprepareHeader(has, &header, 0);
            }
            acmStreamClose(has, 0);
            if (mr != 0)
                return VFW_E_UNSUPPORTED_AUDIO;
            decoded.resize(header.cbDstLengthUsed);
            src = suggested;
        } else {
            decoded = raw;
        }
        if (src.wBitsPerSample != 8 && src.wBitsPerSample != 16)
            return VFW_E_UNSUPPORTED_AUDIO;
        size_t count = src.wBitsPerSample == 8 ? decoded.size() : decoded.size() / 2;
        count -= count % src.nChannels;
        pcm->resize(count);
        for (size_t i = 0; i < count; ++i)
            (*pcm)[i] = src.wBitsPerSample == 8 ? (short)((decoded[i] - 128) << 8) : ((const short*)decoded.data())[i];
        *out = src;
        out->wFormatTag = WAVE_FORMAT_PCM;
        out->wBitsPerSample = 16;
        out->nBlockAlign = (WORD)(2 * src.nChannels);
        out->nAvgBytesPerSec = out->nBlockAlign * src.nSamplesPerSec;
        out->cbSize = 0;
        return S_OK;
    }

    PAVIFILE m_file = NULL;
    std::vector<PAVISTREAM> m_avi;
    std::vector<Decoder> m_decoders;
    std::vector<std::vector<BYTE>> m_last;
    std::vector<LONG> m_lastFrame;
    std::vector<std::vector<BYTE>> m_raw;   // each stream's read buffer, kept between frames
};

class CStillReader : public CMediaReader {
public:
    HRESULT Open(const std::wstring& name, const std::wstring& file)
    {
        m_name = name;
        if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES)
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        GdiplusStartupInput input;
        ULONG_PTR token = 0;
        if (GdiplusStartup(&token, &input, NULL) != Ok)
            return E_FAIL;
        HRESULT hr = Load(file);
        GdiplusShutdown(token);
        return hr;
    }

    HRESULT ReadFrame(int stream, LONG, BYTE* rgb32) override
    {
        if (stream != 0)
            return E_INVALIDARG;
        CopyMemory(rgb32, m_pixels.data(), m_pixels.size());
        return S_OK;
    }

private:
    HRESULT Load(const std::wstring& file)
    {
        GpBitmap* bitmap = NULL;
        if (GdipCreateBitmapFromFile(file.c_str(), &bitmap) != Ok || !bitmap)
            return VFW_E_UNKNOWN_FILE_TYPE;
        UINT width = 0, height = 0;
        GdipGetImageWidth(bitmap, &width);
        GdipGetImageHeight(bitmap, &height);
        HRESULT hr = S_OK;
        if (width == 0 || height == 0 || width > (UINT)kMaxMediaSide || height > (UINT)kMaxMediaSide) {
            hr = VFW_E_INVALID_FILE_FORMAT;
        } else {
            m_pixels.resize((size_t)width * height * 4);
            GpRect rect(0, 0, (INT)width, (INT)height);
            BitmapData data = {};
            data.Width = width;
            data.Height = height;
            // Bottom-up: the last row first, with a negative stride.
            data.Stride = -(INT)(width * 4);
            data.Scan0 = m_pixels.data() + (size_t)(height - 1) * width * 4;
            data.PixelFormat = PixelFormat32bppRGB;
            if (GdipBitmapLockBits(bitmap, &rect, ImageLockModeRead | ImageLockModeUserInputBuf, PixelFormat32bppRGB,
                                   &data) != Ok) {
                hr = E_FAIL;
            } else {
                GdipBitmapUnlockBits(bitmap, &data);
                for (size_t i = 3; i < m_pixels.size(); i += 4)
                    m_pixels[i] = 0;
            }
        }
        GdipDisposeImage(bitmap);
        if (FAILED(hr))
            return hr;
        MediaStreamInfo s = {};
        s.kind = MEDIA_STREAM_VIDEO;
        s.width = (int)width;
        s.height = (int)height;
        s.bitCount = 32;
        s.rateNum = 0;
        s.rateDen = 1;
        s.frames = 1;
        s.still = TRUE;
        s.length = 0;
        m_streams.push_back(s);
        m_audio.emplace_back();
        return S_OK;
    }

    std::vector<BYTE> m_pixels;
};

} // namespace

int CMediaReader::FindStream(MediaStreamKind kind) const
{
    for (int i = 0; i < StreamCount(); ++i)
        if (m_streams[i].kind == kind)
            return i;
    return -1;
}

// Output sample k lies at input position k*inRate/outRate; between two input
// samples the value is interpolated linearly in integers.
HRESULT CMediaReader::ReadAudio(int stream, LONGLONG first, LONG count, const WAVEFORMATEX& out, BYTE* dst)
{
    if (stream < 0 || stream >= StreamCount() || m_streams[stream].kind != MEDIA_STREAM_AUDIO)
        return E_INVALIDARG;
    if (out.wBitsPerSample != 16 || (out.nChannels != 1 && out.nChannels != 2) || out.nSamplesPerSec == 0 ||
        count < 0 || first < 0)
        return E_INVALIDARG;
    const MediaStreamInfo& s = m_streams[stream];
    const std::vector<short>& pcm = m_audio[stream];
    const LONGLONG inRate = s.pcm.nSamplesPerSec;
    const LONGLONG outRate = out.nSamplesPerSec;
    const int inCh = s.pcm.nChannels;
    short* o = (short*)dst;
    for (LONG j = 0; j < count; ++j) {
        LONGLONG scaled = (first + j) * inRate;
        LONGLONG pos = scaled / outRate;
        LONGLONG frac = scaled % outRate;
        for (int c = 0; c < out.nChannels; ++c) {
            int value = 0;
            if (pos < s.samples) {
                // Input channel: mono feeds both; stereo to mono averages.
                auto at = [&](LONGLONG p) -> int {
                    if (p >= s.samples)
                        p = s.samples - 1;
                    const short* frame = &pcm[(size_t)(p * inCh)];
                    if (out.nChannels == 1 && inCh >= 2)
                        return (frame[0] + frame[1]) / 2;
                    return frame[c < inCh ? c : 0];
                };
                int a = at(pos);
                int b = at(pos + 1);
                value = a + (int)((b - a) * frac / outRate);
            }
            *o++ = (short)value;
        }
    }
    return S_OK;
}

std::wstring MediaFileOfName(LPCWSTR name, BOOL* still)
{
    std::wstring file = name ? name : L"";
    BOOL isStill = FALSE;
    // The suffix is cut wherever it stands, as the timeline writes it.
    std::wstring lower = file;
    CharLowerBuffW(&lower[0], (DWORD)lower.size());
    size_t at = lower.find(L".xrvimg3");
    if (at != std::wstring::npos) {
        file.resize(at);
        isStill = TRUE;
    }
    if (EndsWithNoCase(file, L".png"))
        isStill = TRUE;
    if (still)
        *still = isStill;
    return file;
}

BOOL SplitPackageStreamName(const std::wstring& name, std::wstring* package, std::wstring* stream)
{
    static const WCHAR kScheme[] = L"xrvrec://";
    const size_t schemeLength = ARRAYSIZE(kScheme) - 1;
    if (name.size() <= schemeLength || _wcsnicmp(name.c_str(), kScheme, schemeLength) != 0)
        return FALSE;
    size_t bang = name.rfind(L'!');
    if (bang == std::wstring::npos || bang <= schemeLength || bang + 1 >= name.size())
        return FALSE;
    *package = name.substr(schemeLength, bang - schemeLength);
    *stream = name.substr(bang + 1);
    return TRUE;
}

namespace {

// The stream of that name in the storage, whatever its case.
HRESULT OpenStreamNoCase(IStorage* storage, const std::wstring& wanted, IStream** stream)
{
    *stream = NULL;
    IEnumSTATSTG* elements = NULL;
    HRESULT hr = storage->EnumElements(0, NULL, 0, &elements);
    if (FAILED(hr))
        return hr;
    std::wstring found;
    STATSTG stat;
    while (found.empty() && elements->Next(1, &stat, NULL) == S_OK) {
        if (stat.type == STGTY_STREAM && stat.pwcsName && _wcsicmp(stat.pwcsName, wanted.c_str()) == 0)
            found = stat.pwcsName;
        CoTaskMemFree(stat.pwcsName);
    }
    elements->Release();
    if (found.empty())
        return STG_E_FILENOTFOUND;
    return storage->OpenStream(found.c_str(), NULL, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream);
}

// Copies a package stream into a new temporary file named after the stream
// (its extension tells AVIFile the file's kind).
HRESULT ExtractPackageStream(const std::wstring& package, const std::wstring& streamName, std::wstring* copy)
{
    IStorage* storage = NULL;
    // Others (the editor's file locks) may hold the package open for reading.
    HRESULT hr = StgOpenStorage(package.c_str(), NULL, STGM_READ | STGM_SHARE_DENY_WRITE, NULL, 0, &storage);
    if (FAILED(hr))
        hr = StgOpenStorage(package.c_str(), NULL, STGM_READ | STGM_SHARE_EXCLUSIVE, NULL, 0, &storage);
    if (FAILED(hr))
        return hr;
    // The stream lives only as long as its storage stays open.
    IStream* stream = NULL;
    hr = OpenStreamNoCase(storage, streamName, &stream);
    if (FAILED(hr)) {
        storage->Release();
        return hr;
    }
    struct Holder {
        IStorage* storage;
        IStream*& stream;
        ~Holder()
        {
            if (stream)
                stream->Release();
            storage->Release();
        }
    } holder = {storage, stream};

    WCHAR folder[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, folder);
    if (n == 0 || n >= MAX_PATH)
        return E_FAIL;
    std::wstring safe;
    for (WCHAR c : streamName)
        safe += (c < 32 || wcschr(L"\\/:*?\"<>|", c)) ? L'_' : c;
    static volatile LONG counter = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring path;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        WCHAR prefix[64];
        _snwprintf(prefix, 64, L"vexcap-%lu-%ld-", GetCurrentProcessId(), InterlockedIncrement(&counter));
        prefix[63] = 0;
        path = std::wstring(folder) + prefix + safe;
        file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, NULL);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        hr = HRESULT_FROM_WIN32(GetLastError());
        return FAILED(hr) ? hr : E_FAIL;
    }
    std::vector<BYTE> buffer(1 << 20);
    hr = S_OK;
    for (;;) {
        ULONG got = 0;
        HRESULT r = stream->Read(buffer.data(), (ULONG)buffer.size(), &got);
        if (FAILED(r)) {
            hr = r;
            break;
        }
        if (got == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(file, buffer.data(), got, &written, NULL) || written != got) {
            hr = HRESULT_FROM_WIN32(GetLastError());
            if (SUCCEEDED(hr))
                hr = E_FAIL;
            break;
        }
    }
    CloseHandle(file);
    if (FAILED(hr)) {
        DeleteFileW(path.c_str());
        return hr;
    }
    *copy = path;
    return S_OK;
}

// The temporary copies of package streams that readers hold, by package
// (path, size and write time) and stream; each is deleted with its last
// holder.
std::mutex g_copiesLock;
std::map<std::wstring, std::weak_ptr<const std::wstring>> g_copies;

HRESULT SharedPackageCopy(const std::wstring& package, const std::wstring& streamName,
                          std::shared_ptr<const std::wstring>* copy)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(package.c_str(), GetFileExInfoStandard, &data))
        return HRESULT_FROM_WIN32(GetLastError());
    WCHAR stamp[80];
    _snwprintf(stamp, 80, L"|%lu|%lu|%lu|%lu|", data.nFileSizeHigh, data.nFileSizeLow,
               data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
    stamp[79] = 0;
    std::wstring key = package + stamp + streamName;
    CharLowerBuffW(&key[0], (DWORD)key.size());
    std::lock_guard<std::mutex> lock(g_copiesLock);
    auto found = g_copies.find(key);
    if (found != g_copies.end()) {
        *copy = found->second.lock();
        if (*copy)
            return S_OK;
    }
    std::wstring path;
    HRESULT hr = ExtractPackageStream(package, streamName, &path);
    if (FAILED(hr))
        return hr;
    copy->reset(new (std::nothrow) std::wstring(path), [](const std::wstring* p) {
        DeleteFileW(p->c_str());
        delete p;
    });
    if (!*copy) {
        DeleteFileW(path.c_str());
        return E_OUTOFMEMORY;
    }
    // Entries of copies already gone are dropped as new ones come.
    for (auto it = g_copies.begin(); it != g_copies.end();)
        it = it->second.expired() ? g_copies.erase(it) : std::next(it);
    g_copies[key] = *copy;
    return S_OK;
}

} // namespace

HRESULT OpenMediaReader(LPCWSTR name, std::unique_ptr<CMediaReader>* reader)
{
    if (!name || !reader)
        return E_POINTER;
    reader->reset();
    if (!*name)
        return E_INVALIDARG;
    BOOL still = FALSE;
    std::wstring file = MediaFileOfName(name, &still);
    std::wstring package, streamName;
    std::shared_ptr<const std::wstring> copy;
    if (SplitPackageStreamName(file, &package, &streamName)) {
        HRESULT hr = SharedPackageCopy(package, streamName, &copy);
        if (FAILED(hr))
            return hr;
        file = *copy;
    }
    std::unique_ptr<CMediaReader> opened;
    HRESULT hr = S_OK;
    if (still) {
        std::unique_ptr<CStillReader> r(new (std::nothrow) CStillReader());
        hr = r ? r->Open(name, file) : E_OUTOFMEMORY;
        opened = std::move(r);
    } else {
        std::unique_ptr<CAviReader> r(new (std::nothrow) CAviReader());
        hr = r ? r->Open(file) : E_OUTOFMEMORY;
        opened = std::move(r);
    }
    if (opened && copy)
        opened->AdoptTemporaryCopy(copy);   // released with the reader, also on failure
    if (FAILED(hr))
        return hr;
    *reader = std::move(opened);
    return S_OK;
}

// frame*rateDen is split by rateNum first, so that the product with 10^7
// stays inside 64 bits for any rate a reader accepts.
LONGLONG FrameStartTime(LONGLONG frame, DWORD rateNum, DWORD rateDen)
{
    if (rateNum == 0)
        return 0;
    LONGLONG t = frame * (LONGLONG)rateDen;
    LONGLONG q = t / rateNum;
    LONGLONG r = t % rateNum;
    return q * 10000000LL + r * 10000000LL / rateNum;
}
