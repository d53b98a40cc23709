// The wave destination and the file writer under Wine's filter graph: a PCM
// stream becomes a WAVE file that ffprobe reads with the source's bytes,
// completion comes only once the file is closed, the overwrite mode and the
// file writer's refusals, the positions both report, and the header layout.
#include "WriterTestUtil.h"

#include "MediaTestUtil.h"
#include "TestSupport.h"

#include "platform/dex/DexFactory.h"
#include "platform/filters/FileWriter.h"
#include "platform/filters/WaveDest.h"

#include <gtest/gtest.h>
#include <mmreg.h>

using namespace writertest;

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

template <class T> T* Adopt(T* filter)
{
    filter->AddRef();
    return filter;
}

struct WavChain {
    Ref<CPcmSource> source;
    Ref<IBaseFilter> waveDest;
    Ref<IBaseFilter> writer;
    Ref<IFileSinkFilter2> sink;
    TestGraph g;
};

// source -> "Kestravon Wave Dest" -> "Kestravon File Writer" writing `path`.
void BuildChain(WavChain& c, const WAVEFORMATEX& format, const std::string& data, const std::string& path,
                DWORD mode)
{
    c.source.p = Adopt(new CPcmSource(format, data));
    ASSERT_EQ(S_OK, DexCreate(CLSID_XrvWaveDest, &c.waveDest.p));
    ASSERT_EQ(S_OK, DexCreate(CLSID_FileWriter, &c.writer.p));
    ASSERT_EQ(S_OK, c.writer->QueryInterface(IID_IFileSinkFilter2, (void**)&c.sink));
    ASSERT_EQ(S_OK, c.sink->SetMode(mode));
    ASSERT_EQ(S_OK, c.sink->SetFileName(Wide(path).c_str(), NULL));
    ASSERT_EQ(S_OK, c.g.Add(c.source, L"Source"));
    ASSERT_EQ(S_OK, c.g.Add(c.waveDest, L"Kestravon Wave Dest"));
    ASSERT_EQ(S_OK, c.g.Add(c.writer, L"Kestravon File Writer"));
    ASSERT_EQ(S_OK, c.g.Connect(c.source, c.waveDest));
    ASSERT_EQ(S_OK, c.g.Connect(c.waveDest, c.writer));
}

std::string Bytes(size_t count, int seed)
{
    std::string s(count, '\0');
    unsigned v = (unsigned)seed;
    for (size_t i = 0; i < count; ++i) {
        v = v * 1103515245u + 12345u;
        s[i] = (char)(v >> 16);
    }
    return s;
}

// True when nobody else holds the file open (the writer closed it).
bool ClosedByEveryone(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

TEST(WaveDest, WritesWaveFilesThatFfprobeReadsWithTheSourceBytes)
{
    ComScope com;
    testsupport::ScratchDir dir;
    struct Case {
        const char* name;
        DWORD rate;
        WORD channels;
        WORD bits;
        size_t bytes;   // an odd count needs the pad byte
    } cases[] = {
        {"mono 22050 Hz 16-bit, 2 s", 22050, 1, 16, 22050 * 2 * 2},
        {"stereo 44100 Hz 16-bit, 1.5 s", 44100, 2, 16, 44100 * 4 * 3 / 2},
        {"mono 8000 Hz 8-bit, odd length", 8000, 1, 8, 8001},
    };
    for (const Case& c : cases) {
        std::string path = dir.File(std::string("w") + std::to_string(c.bits) + "_" + std::to_string(c.rate) + ".wav");
        WAVEFORMATEX format = mediatest::PcmFormat(c.rate, c.channels, c.bits);
        std::string data = Bytes(c.bytes, (int)c.rate);
        WavChain chain;
        BuildChain(chain, format, data, path, AM_FILE_OVERWRITE);
        ASSERT_EQ(EC_COMPLETE, chain.g.RunToCompletion()) << c.name;
        // Completion means the file is closed and whole.
        EXPECT_TRUE(ClosedByEveryone(path)) << c.name;

        mediatest::WavInfo wav = mediatest::ReadWav(path);
        ASSERT_TRUE(wav.ok) << c.name << ": " << wav.layout;
        EXPECT_EQ(data.size(), wav.data.size()) << c.name;
        EXPECT_TRUE(data == wav.data) << c.name;
        ASSERT_EQ(16u, wav.format.size()) << c.name;
        EXPECT_EQ(0, memcmp(&format, wav.format.data(), 16)) << c.name;
        std::string file;
        ASSERT_TRUE(testsupport::ReadFileBytes(path, &file));
        EXPECT_EQ(file.size() - 8, wav.riffSize) << c.name;
        EXPECT_EQ(44 + c.bytes + (c.bytes & 1), file.size()) << c.name;

        EXPECT_EQ(std::to_string(c.rate), mediatest::Probe(path, "sample_rate")) << c.name;
        EXPECT_EQ(std::to_string(c.channels), mediatest::Probe(path, "channels")) << c.name;
        double seconds = atof(mediatest::Probe(path, "duration").c_str());
        EXPECT_NEAR((double)c.bytes / format.nAvgBytesPerSec, seconds, 0.002) << c.name;

        // Both positions give the sound written: the wave destination's own
        // interface and the file writer's IMediaSeeking.
        LONGLONG expected = (LONGLONG)c.bytes * 10000000 / format.nAvgBytesPerSec;
        Ref<IXrvWaveDestPosition> position;
        ASSERT_EQ(S_OK, chain.waveDest->QueryInterface(IID_IXrvWaveDestPosition, (void**)&position));
        LONGLONG written = -1;
        EXPECT_EQ(S_OK, position->GetPosition(&written));
        EXPECT_EQ(expected, written) << c.name;
        Ref<IMediaSeeking> seeking;
        ASSERT_EQ(S_OK, chain.writer->QueryInterface(IID_IMediaSeeking, (void**)&seeking));
        LONGLONG current = -1;
        EXPECT_EQ(S_OK, seeking->GetCurrentPosition(&current));
        EXPECT_EQ(expected, current) << c.name;
        LONGLONG duration = -1;
        EXPECT_EQ(S_OK, seeking->GetDuration(&duration));
        EXPECT_EQ(expected, duration) << c.name;
    }
}

TEST(WaveDest, OverwriteModeDecidesWhetherAnExistingFileIsReplaced)
{
    ComScope com;
    testsupport::ScratchDir dir;
    WAVEFORMATEX format = mediatest::PcmFormat(8000, 1, 16);
    std::string data = Bytes(1600, 7);
    std::string old = Bytes(100000, 3);
    struct Case {
        const char* name;
        DWORD mode;
        bool replaced;
    } cases[] = {
        {"overwrite", AM_FILE_OVERWRITE, true},
        {"no overwrite: an error, the old file kept", 0, false},
    };
    for (const Case& c : cases) {
        std::string path = dir.File(std::string("old") + std::to_string(c.mode) + ".wav");
        ASSERT_TRUE(testsupport::WriteFileBytes(path, old.data(), old.size()));
        WavChain chain;
        BuildChain(chain, format, data, path, c.mode);
        HRESULT run = S_OK;
        long code = chain.g.RunToCompletion(&run);
        EXPECT_TRUE(SUCCEEDED(run)) << c.name;
        chain.g.Stop();
        std::string file;
        ASSERT_TRUE(testsupport::ReadFileBytes(path, &file)) << c.name;
        if (c.replaced) {
            EXPECT_EQ(EC_COMPLETE, code) << c.name;
            EXPECT_EQ(44 + data.size(), file.size()) << c.name;
        } else {
            EXPECT_EQ(EC_ERRORABORT, code) << c.name;
            EXPECT_TRUE(file == old) << c.name;
        }
    }
}

TEST(FileWriter, FileSinkCallsCheckTheirArguments)
{
    ComScope com;
    testsupport::ScratchDir dir;
    Ref<IFileSinkFilter2> sink;
    ASSERT_EQ(S_OK, DexCreate(CLSID_FileWriter, &sink.p));
    Ref<IFileSinkFilter> plain;
    EXPECT_EQ(S_OK, sink->QueryInterface(IID_IFileSinkFilter, (void**)&plain));

    LPOLESTR name = (LPOLESTR)1;
    EXPECT_EQ(S_OK, sink->GetCurFile(&name, NULL));
    EXPECT_EQ(NULL, name);
    EXPECT_EQ(E_POINTER, sink->SetFileName(NULL, NULL));
    EXPECT_EQ(E_INVALIDARG, sink->SetFileName(L"", NULL));
    EXPECT_EQ(E_INVALIDARG, sink->SetMode(0x10));
    DWORD mode = 99;
    EXPECT_EQ(S_OK, sink->GetMode(&mode));
    EXPECT_EQ(0u, mode);
    EXPECT_EQ(S_OK, sink->SetMode(AM_FILE_OVERWRITE));
    EXPECT_EQ(S_OK, sink->GetMode(&mode));
    EXPECT_EQ((DWORD)AM_FILE_OVERWRITE, mode);

    std::wstring path = Wide(dir.File("named.avi"));
    AM_MEDIA_TYPE type = {};
    type.majortype = MEDIATYPE_Stream;
    type.subtype = MEDIASUBTYPE_Avi;
    EXPECT_EQ(S_OK, sink->SetFileName(path.c_str(), &type));
    AM_MEDIA_TYPE back = {};
    ASSERT_EQ(S_OK, sink->GetCurFile(&name, &back));
    EXPECT_EQ(path, std::wstring(name));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_Avi, back.subtype));
    CoTaskMemFree(name);
    DsFreeMediaType(&back);
}

// A name that cannot be written ends the run with an error and no
// completion, and the name cannot change while the graph runs.
TEST(FileWriter, UnwritableNameAbortsTheRunAndRunningKeepsTheName)
{
    ComScope com;
    testsupport::ScratchDir dir;
    WAVEFORMATEX format = mediatest::PcmFormat(8000, 1, 16);
    {
        WavChain chain;
        BuildChain(chain, format, Bytes(1600, 1), dir.File("no such folder\\x.wav"), AM_FILE_OVERWRITE);
        EXPECT_EQ(EC_ERRORABORT, chain.g.RunToCompletion());
    }
    {
        WavChain chain;
        BuildChain(chain, format, Bytes(16000 * 30, 1), dir.File("long.wav"), AM_FILE_OVERWRITE);
        Ref<IMediaControl> control;
        ASSERT_EQ(S_OK, chain.g.graph->QueryInterface(IID_IMediaControl, (void**)&control));
        ASSERT_TRUE(SUCCEEDED(control->Pause()));
        EXPECT_EQ(VFW_E_WRONG_STATE, chain.sink->SetFileName(Wide(dir.File("other.wav")).c_str(), NULL));
        control->Stop();
    }
}

TEST(WaveDest, RefusesStreamsItCannotWrite)
{
    ComScope com;
    Ref<IBaseFilter> waveDest;
    ASSERT_EQ(S_OK, DexCreate(CLSID_XrvWaveDest, &waveDest.p));
    Ref<IPin> in;
    ASSERT_EQ(S_OK, FirstFreePin(waveDest, PINDIR_INPUT, &in));
    WAVEFORMATEX pcm = mediatest::PcmFormat(22050, 1, 16);
    WAVEFORMATEX noBlocks = pcm;
    noBlocks.nBlockAlign = 0;
    struct Case {
        const char* name;
        GUID major;
        GUID formatType;
        const WAVEFORMATEX* format;
        ULONG formatSize;
        HRESULT expected;
    } cases[] = {
        {"PCM", MEDIATYPE_Audio, FORMAT_WaveFormatEx, &pcm, sizeof(pcm), S_OK},
        {"video", MEDIATYPE_Video, FORMAT_WaveFormatEx, &pcm, sizeof(pcm), S_FALSE},
        {"no format block", MEDIATYPE_Audio, FORMAT_WaveFormatEx, NULL, 0, S_FALSE},
        {"short format block", MEDIATYPE_Audio, FORMAT_WaveFormatEx, &pcm, 10, S_FALSE},
        {"block align 0", MEDIATYPE_Audio, FORMAT_WaveFormatEx, &noBlocks, sizeof(pcm), S_FALSE},
    };
    for (const Case& c : cases) {
        AM_MEDIA_TYPE mt = {};
        mt.majortype = c.major;
        mt.subtype = MEDIASUBTYPE_PCM;
        mt.formattype = c.formatType;
        mt.pbFormat = (BYTE*)c.format;
        mt.cbFormat = c.formatSize;
        EXPECT_EQ(c.expected, in->QueryAccept(&mt)) << c.name;
    }
}

TEST(WaveDest, HeaderLayout)
{
    WAVEFORMATEX pcm = mediatest::PcmFormat(22050, 1, 16);
    struct Adpcm {
        WAVEFORMATEX wfx;
        WORD samplesPerBlock;
    } ima = {{WAVE_FORMAT_IMA_ADPCM, 1, 22050, 11100, 512, 4, 2}, 1017};
    struct Case {
        const char* name;
        const WAVEFORMATEX* format;
        DWORD formatSize;
        ULONGLONG data;
        size_t headerSize;   // 0: refused
        DWORD fmtChunk;
        DWORD riff;
    } cases[] = {
        {"PCM", &pcm, sizeof(pcm), 1000, 44, 16, 1036},
        {"PCM, odd data counts its pad", &pcm, sizeof(pcm), 1001, 44, 16, 1038},
        {"IMA ADPCM keeps its extra bytes", &ima.wfx, sizeof(ima), 512, 48, 20, 552},
        {"extra bytes beyond the block", &ima.wfx, sizeof(WAVEFORMATEX), 512, 0, 0, 0},
        {"over 4 GiB", &pcm, sizeof(pcm), 0xFFFFFFF0ull, 0, 0, 0},
        {"no format", NULL, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> h = DsWaveHeader(c.format, c.formatSize, c.data);
        ASSERT_EQ(c.headerSize, h.size()) << c.name;
        if (!c.headerSize)
            continue;
        EXPECT_EQ(0, memcmp(h.data(), "RIFF", 4)) << c.name;
        EXPECT_EQ(c.riff, *(DWORD*)&h[4]) << c.name;
        EXPECT_EQ(0, memcmp(&h[8], "WAVEfmt ", 8)) << c.name;
        EXPECT_EQ(c.fmtChunk, *(DWORD*)&h[16]) << c.name;
        EXPECT_EQ(0, memcmp(&h[h.size() - 8], "data", 4)) << c.name;
        EXPECT_EQ((DWORD)c.data, *(DWORD*)&h[h.size() - 4]) << c.name;
    }
}

}  // namespace
