// The xrvc compressor filter over the installed codec: a generated sequence
// (a moving block over a gradient) goes through it and comes back equal when
// the codec decodes it, with key frames at the key-frame rate (and where one
// is forced); the AVI our mux writes of it is read by ffprobe; the settings
// and the codec's state go through its two interfaces; types it cannot
// compress are refused; and finding the codec's name in the video-compressor
// category binds this filter, not Wine's wrapper of the same codec.
#include "WriterTestUtil.h"

#include "TestSupport.h"

#include "XRVDirectShow/GraphBuilderCallback.h"
#include "platform/dex/DexFactory.h"
#include "platform/filters/FileWriter.h"
#include "platform/filters/SinkFilter.h"
#include "platform/filters/XrvcCompressor.h"

#include <vfw.h>
#include <gtest/gtest.h>

#include <sstream>

using namespace writertest;

namespace {

const DWORD kXrvc = mmioFOURCC('x', 'r', 'v', 'c');
const CLSID kPatternSource = {0x5a1c2e70, 0x1d3b, 0x4c55, {0x8e, 0x21, 0x70, 0x4b, 0x9a, 0x0c, 0x31, 0x21}};
const CLSID kFrameSink = {0x5a1c2e70, 0x1d3b, 0x4c55, {0x8e, 0x21, 0x70, 0x4b, 0x9a, 0x0c, 0x31, 0x22}};

size_t Stride(int width, int bits) { return ((size_t)width * bits + 31) / 32 * 4; }

// Frame n: a gradient with a 12x10 block that moves 3 pixels right and one
// down per frame; every third frame also changes one row of the gradient.
std::string PatternFrame(int width, int height, int bits, int n)
{
    const size_t stride = Stride(width, bits);
    const int bpp = bits / 8;
    std::string frame(stride * height, '\0');
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            BYTE* p = (BYTE*)&frame[y * stride + x * bpp];
            const bool block = x >= (n * 3) % width && x < (n * 3) % width + 12 && y >= n % height &&
                               y < n % height + 10;
            p[0] = block ? 0x20 : (BYTE)(x * 4);
            p[1] = block ? 0xE0 : (BYTE)(y * 5 + ((n % 3 == 0 && y == n % height) ? 77 : 0));
            p[2] = block ? 0x40 : (BYTE)(x + y);
        }
    }
    return frame;
}

AM_MEDIA_TYPE* MakeRgbType(int width, int height, int bits, REFERENCE_TIME frameTime)
{
    AM_MEDIA_TYPE mt = {};
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = bits == 32 ? MEDIASUBTYPE_RGB32 : MEDIASUBTYPE_RGB24;
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = (ULONG)(Stride(width, bits) * height);
    mt.formattype = FORMAT_VideoInfo;
    VIDEOINFOHEADER vih = {};
    vih.AvgTimePerFrame = frameTime;
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = width;
    vih.bmiHeader.biHeight = height;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = (WORD)bits;
    vih.bmiHeader.biCompression = BI_RGB;
    vih.bmiHeader.biSizeImage = mt.lSampleSize;
    mt.cbFormat = sizeof(vih);
    mt.pbFormat = (BYTE*)&vih;
    return DsCreateMediaType(&mt);
}

class CPatternSource;

class CPatternPin : public CSourceStreamPin {
public:
    explicit CPatternPin(CPatternSource* owner);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override
    {
        return IsEqualGUID(mt->majortype, MEDIATYPE_Video) ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT FillBuffer(IMediaSample* sample) override;
    HRESULT OnSeek(REFERENCE_TIME) override
    {
        m_next = 0;
        return S_OK;
    }
    REFERENCE_TIME Duration() override;

private:
    CPatternSource* m_owner;
    int m_next = 0;
};

// Frames 0..count-1 of PatternFrame at `fps`.
class CPatternSource : public CFilterBase {
public:
    CPatternSource(int width, int height, int bits, int fps, int count)
        : CFilterBase(kPatternSource), m_width(width), m_height(height), m_bits(bits), m_fps(fps), m_count(count)
    {
        AddPin(new CPatternPin(this));
    }
    REFERENCE_TIME FrameTime() const { return 10000000 / m_fps; }
    long FrameBytes() const { return (long)(Stride(m_width, m_bits) * m_height); }
    int m_width, m_height, m_bits, m_fps, m_count;
};

CPatternPin::CPatternPin(CPatternSource* owner) : CSourceStreamPin(owner, L"Out"), m_owner(owner) {}

HRESULT CPatternPin::GetMediaType(int index, AM_MEDIA_TYPE* mt)
{
    if (index != 0)
        return VFW_S_NO_MORE_ITEMS;
    AM_MEDIA_TYPE* made = MakeRgbType(m_owner->m_width, m_owner->m_height, m_owner->m_bits, m_owner->FrameTime());
    *mt = *made;
    CoTaskMemFree(made);
    return S_OK;
}

HRESULT CPatternPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request)
{
    request->cBuffers = 3;
    request->cbBuffer = m_owner->FrameBytes();
    request->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual;
    return allocator->SetProperties(request, &actual);
}

HRESULT CPatternPin::FillBuffer(IMediaSample* sample)
{
    if (m_next >= m_owner->m_count)
        return S_FALSE;
    BYTE* data = NULL;
    sample->GetPointer(&data);
    std::string frame = PatternFrame(m_owner->m_width, m_owner->m_height, m_owner->m_bits, m_next);
    CopyMemory(data, frame.data(), frame.size());
    sample->SetActualDataLength((long)frame.size());
    REFERENCE_TIME start = m_next * m_owner->FrameTime(), stop = start + m_owner->FrameTime();
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    ++m_next;
    SetDelivered(stop);
    return S_OK;
}

REFERENCE_TIME CPatternPin::Duration() { return m_owner->m_count * m_owner->FrameTime(); }

struct Packet {
    std::string data;
    bool key;
    REFERENCE_TIME start;
};

// Keeps every sample it gets with its sync-point flag and the type it came in.
class CFrameSink : public CSinkFilterBase {
public:
    CFrameSink() : CSinkFilterBase(kFrameSink, 1) {}
    HRESULT CheckSinkType(int, const AM_MEDIA_TYPE* mt) override
    {
        return IsEqualGUID(mt->majortype, MEDIATYPE_Video) ? S_OK : S_FALSE;
    }
    HRESULT OnConnect(int, IPin* peer) override
    {
        AM_MEDIA_TYPE mt = {};
        if (SUCCEEDED(peer->ConnectionMediaType(&mt))) {
            m_type.Set(&mt);
            DsFreeMediaType(&mt);
        }
        return S_OK;
    }
    HRESULT RenderSample(int, IMediaSample* sample) override
    {
        BYTE* data = NULL;
        sample->GetPointer(&data);
        Packet p;
        p.data.assign((const char*)data, sample->GetActualDataLength());
        p.key = sample->IsSyncPoint() == S_OK;
        REFERENCE_TIME stop = 0;
        p.start = -1;
        sample->GetTime(&p.start, &stop);
        m_packets.push_back(p);
        return S_OK;
    }
    std::vector<Packet> m_packets;
    CDsMediaType m_type;
};

// Decodes packets in order with the installed codec; empty on failure.
std::vector<std::string> DecodeAll(const std::vector<Packet>& packets, const AM_MEDIA_TYPE& type)
{
    std::vector<std::string> frames;
    const BITMAPINFOHEADER* in = &((const VIDEOINFOHEADER*)type.pbFormat)->bmiHeader;
    HIC hic = ICOpen(ICTYPE_VIDEO, kXrvc, ICMODE_DECOMPRESS);
    if (!hic)
        return frames;
    BITMAPINFOHEADER inCopy = *in;
    BITMAPINFOHEADER out = *in;
    out.biCompression = BI_RGB;
    out.biSizeImage = (DWORD)(Stride(out.biWidth, out.biBitCount) * out.biHeight);
    if (ICDecompressBegin(hic, &inCopy, &out) == ICERR_OK) {
        for (const Packet& p : packets) {
            std::string frame(out.biSizeImage, '\0');
            inCopy.biSizeImage = (DWORD)p.data.size();
            if (ICDecompress(hic, 0, &inCopy, (void*)p.data.data(), &out, &frame[0]) != ICERR_OK)
                break;
            frames.push_back(frame);
        }
        ICDecompressEnd(hic);
    }
    ICClose(hic);
    return frames;
}

class XrvcCompressorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, DexCreate(CLSID_XrvScreenCodecFilter, &compressor.p)) << "is the xrvc codec installed?";
        ASSERT_EQ(S_OK, compressor->QueryInterface(IID_IAMVideoCompression, (void**)&compression));
        ASSERT_EQ(S_OK, compressor->QueryInterface(IID_IAMVfwCompressDialogs, (void**)&dialogs));
    }

    // Runs `count` frames through the compressor into a frame sink.
    void Compress(int width, int height, int bits, int count, CFrameSink** sinkOut)
    {
        TestGraph g;
        CPatternSource* source = new CPatternSource(width, height, bits, 10, count);
        Ref<IBaseFilter> sourceFilter, sinkFilter;
        source->QueryInterface(IID_IBaseFilter, (void**)&sourceFilter);
        CFrameSink* sink = new CFrameSink;
        sink->QueryInterface(IID_IBaseFilter, (void**)&sinkFilter);
        ASSERT_EQ(S_OK, g.Chain({sourceFilter, compressor, sinkFilter}));
        Ref<IMediaFilter> mf;
        g.graph->QueryInterface(IID_IMediaFilter, (void**)&mf);
        mf->SetSyncSource(NULL);
        ASSERT_EQ(EC_COMPLETE, g.RunToCompletion());
        g.Stop();
        sink->AddRef();
        *sinkOut = sink;
    }

    ComScope com;
    Ref<IBaseFilter> compressor;
    Ref<IAMVideoCompression> compression;
    Ref<IAMVfwCompressDialogs> dialogs;
};

TEST_F(XrvcCompressorTest, SequenceDecodesBackWithKeyFramesAtTheRate)
{
    struct Case {
        const char* name;
        int bits;
        LONG keyRate;       // -1: the codec's default (80)
        LONG forcedKey;     // -1: none
        std::vector<int> keys;
    } cases[] = {
        {"32-bit, every 5th", 32, 5, -1, {0, 5, 10, 15}},
        {"24-bit, every 7th and frame 3 forced", 24, 7, 3, {0, 3, 7, 14}},
        {"32-bit, the default rate", 32, -1, -1, {0}},
        {"24-bit, only the first", 24, 0, -1, {0}},
    };
    const int width = 72, height = 40, count = 18;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(S_OK, compression->put_KeyFrameRate(c.keyRate));
        if (c.forcedKey >= 0)
            ASSERT_EQ(S_OK, compression->OverrideKeyFrame(c.forcedKey));
        CFrameSink* sink = NULL;
        Compress(width, height, c.bits, count, &sink);
        ASSERT_TRUE(sink);
        Ref<IBaseFilter> hold(static_cast<IBaseFilter*>(sink));
        ASSERT_EQ((size_t)count, sink->m_packets.size());
        const BITMAPINFOHEADER& out = ((const VIDEOINFOHEADER*)sink->m_type.pbFormat)->bmiHeader;
        EXPECT_EQ(kXrvc, out.biCompression);
        EXPECT_EQ(width, out.biWidth);
        EXPECT_EQ(height, out.biHeight);
        EXPECT_EQ(c.bits, out.biBitCount);
        EXPECT_EQ(1000000, ((const VIDEOINFOHEADER*)sink->m_type.pbFormat)->AvgTimePerFrame);
        std::vector<int> keys;
        size_t deltaBytes = 0, keyBytes = 0;
        for (int i = 0; i < count; ++i) {
            if (sink->m_packets[i].key)
                keys.push_back(i);
            (sink->m_packets[i].key ? keyBytes : deltaBytes) += sink->m_packets[i].data.size();
            EXPECT_EQ(i * 1000000LL, sink->m_packets[i].start) << i;
        }
        EXPECT_EQ(c.keys, keys);
        // Delta frames carry only what changed.
        EXPECT_LT(deltaBytes / (count - keys.size()), keyBytes / keys.size());
        std::vector<std::string> decoded = DecodeAll(sink->m_packets, sink->m_type);
        ASSERT_EQ((size_t)count, decoded.size());
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(decoded[i] == PatternFrame(width, height, c.bits, i)) << "frame " << i;
    }
}

// The state reaches the codec: effort 0 stores, effort 9 compresses.
TEST_F(XrvcCompressorTest, CodecStateSetsTheEffort)
{
    int size = 0;
    ASSERT_EQ(S_OK, dialogs->GetState(NULL, &size));
    ASSERT_EQ(32, size);
    std::vector<DWORD> state(8, 0);
    ASSERT_EQ(S_OK, dialogs->GetState(state.data(), &size));
    size_t total[2] = {0, 0};
    const DWORD efforts[2] = {0, 9};
    for (int e = 0; e < 2; ++e) {
        state[3] = efforts[e];
        ASSERT_EQ(S_OK, dialogs->SetState(state.data(), 32));
        CFrameSink* sink = NULL;
        Compress(96, 64, 32, 4, &sink);
        ASSERT_TRUE(sink);
        Ref<IBaseFilter> hold(static_cast<IBaseFilter*>(sink));
        for (const Packet& p : sink->m_packets)
            total[e] += p.data.size();
    }
    EXPECT_GT(total[0], total[1] * 2);
}

TEST_F(XrvcCompressorTest, AviOfTheSequenceIsReadByFfprobe)
{
    testsupport::ScratchDir dir("xrvcflt");
    const std::string path = dir.File("seq.avi");
    ASSERT_EQ(S_OK, compression->put_KeyFrameRate(4));
    TestGraph g;
    Ref<IBaseFilter> source, mux, writer;
    (new CPatternSource(64, 48, 32, 10, 10))->QueryInterface(IID_IBaseFilter, (void**)&source);
    ASSERT_EQ(S_OK, DexCreate(CLSID_AviDest, &mux.p));
    ASSERT_EQ(S_OK, DexCreate(CLSID_FileWriter, &writer.p));
    Ref<IFileSinkFilter> sinkFile;
    ASSERT_EQ(S_OK, writer->QueryInterface(IID_IFileSinkFilter, (void**)&sinkFile));
    std::wstring wide(path.begin(), path.end());
    ASSERT_EQ(S_OK, sinkFile->SetFileName(wide.c_str(), NULL));
    ASSERT_EQ(S_OK, g.Chain({source, compressor, mux, writer}));
    Ref<IMediaFilter> mf;
    g.graph->QueryInterface(IID_IMediaFilter, (void**)&mf);
    mf->SetSyncSource(NULL);
    ASSERT_EQ(EC_COMPLETE, g.RunToCompletion());
    g.Stop();

    EXPECT_EQ("xrvc", ProbeEntry(path, "v:0", "codec_tag_string"));
    EXPECT_EQ("10", ProbeEntry(path, "v:0", "nb_read_packets"));
    EXPECT_EQ("64", ProbeEntry(path, "v:0", "width"));
    EXPECT_EQ("48", ProbeEntry(path, "v:0", "height"));
    EXPECT_EQ("10/1", ProbeEntry(path, "v:0", "r_frame_rate"));
    // The index marks the key frames at the rate.
    std::string flags = Host("ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 '" +
                             testsupport::UnixPath(path) + "' | cut -c1 | tr -d '\\n'");
    EXPECT_EQ("K___K___K_", flags);
}

TEST_F(XrvcCompressorTest, SettingsAndInfo)
{
    WCHAR version[64], description[8192 / sizeof(WCHAR)];
    int versionBytes = sizeof(version), descriptionBytes = sizeof(description);
    LONG keyRate = 0, pFrames = -1, caps = 0;
    double quality = 0;
    ASSERT_EQ(S_OK, compression->GetInfo(version, &versionBytes, description, &descriptionBytes, &keyRate, &pFrames,
                                         &quality, &caps));
    EXPECT_STREQ(L"Kestravon Screen Capture Codec", description);
    EXPECT_STREQ(L"2.0", version);
    EXPECT_EQ(80, keyRate);
    EXPECT_EQ(0, pFrames);
    EXPECT_DOUBLE_EQ(1.0, quality);
    EXPECT_EQ(CompressionCaps_CanQuality | CompressionCaps_CanCrunch | CompressionCaps_CanKeyFrame, caps);
    // A description buffer too small is cut, terminated.
    WCHAR little[5];
    int littleBytes = sizeof(little);
    ASSERT_EQ(S_OK, compression->GetInfo(NULL, NULL, little, &littleBytes, NULL, NULL, NULL, NULL));
    EXPECT_STREQ(L"Kest", little);

    // Quality and key-frame rate round trips; negatives are the defaults.
    struct QualityCase {
        double put;
        HRESULT result;
        double get;
    } qualities[] = {{0.75, S_OK, 0.75}, {0.0, S_OK, 0.0}, {1.5, E_INVALIDARG, 0.0}, {-1.0, S_OK, 1.0}};
    for (const QualityCase& q : qualities) {
        EXPECT_EQ(q.result, compression->put_Quality(q.put)) << q.put;
        ASSERT_EQ(S_OK, compression->get_Quality(&quality));
        EXPECT_DOUBLE_EQ(q.get, quality) << q.put;
    }
    struct RateCase {
        LONG put, get;
    } rates[] = {{15, 15}, {0, 0}, {-1, 80}};
    for (const RateCase& r : rates) {
        EXPECT_EQ(S_OK, compression->put_KeyFrameRate(r.put));
        ASSERT_EQ(S_OK, compression->get_KeyFrameRate(&keyRate));
        EXPECT_EQ(r.get, keyRate) << r.put;
    }
    EXPECT_EQ(E_INVALIDARG, compression->OverrideKeyFrame(-2));
    EXPECT_EQ(E_POINTER, compression->get_Quality(NULL));

    // The output pin answers for the same settings.
    Ref<IPin> out;
    ASSERT_EQ(S_OK, FirstFreePin(compressor, PINDIR_OUTPUT, &out));
    Ref<IAMVideoCompression> pinCompression;
    ASSERT_EQ(S_OK, out->QueryInterface(IID_IAMVideoCompression, (void**)&pinCompression));
    ASSERT_EQ(S_OK, pinCompression->put_KeyFrameRate(33));
    ASSERT_EQ(S_OK, compression->get_KeyFrameRate(&keyRate));
    EXPECT_EQ(33, keyRate);
}

TEST_F(XrvcCompressorTest, StateRoundTripAndDialogs)
{
    // The camera's state for this codec: flags 6016, the FourCC, version 2.0, effort 9.
    const DWORD camera[8] = {6016, kXrvc, 0x20000, 9, 0, 0, 0, 0};
    ASSERT_EQ(S_OK, dialogs->SetState((void*)camera, sizeof(camera)));
    DWORD read[8] = {};
    int size = sizeof(read);
    ASSERT_EQ(S_OK, dialogs->GetState(read, &size));
    EXPECT_EQ(32, size);
    EXPECT_EQ(0, memcmp(camera, read, sizeof(camera)));

    // States the codec does not take are refused and change nothing.
    const DWORD wrongCodec[8] = {6016, mmioFOURCC('m', 'r', 'l', 'e'), 0x20000, 5};
    const DWORD wrongEffort[8] = {6016, kXrvc, 0x20000, 12};
    struct Bad {
        const char* name;
        const void* state;
        int bytes;
        HRESULT result;
    } bads[] = {
        {"another codec's", wrongCodec, 32, E_INVALIDARG},
        {"an effort past 9", wrongEffort, 32, E_INVALIDARG},
        {"too short", camera, 8, E_INVALIDARG},
        {"no bytes", camera, 0, E_INVALIDARG},
        {"no buffer", NULL, 32, E_POINTER},
    };
    for (const Bad& b : bads) {
        EXPECT_EQ(b.result, dialogs->SetState((void*)b.state, b.bytes)) << b.name;
        DWORD now[8] = {};
        size = sizeof(now);
        ASSERT_EQ(S_OK, dialogs->GetState(now, &size));
        EXPECT_EQ(0, memcmp(camera, now, sizeof(camera))) << b.name;
    }
    // A buffer too small is refused and told the size.
    DWORD small[2];
    size = sizeof(small);
    EXPECT_EQ(E_INVALIDARG, dialogs->GetState(small, &size));
    EXPECT_EQ(32, size);
    EXPECT_EQ(E_POINTER, dialogs->GetState(NULL, NULL));

    // The codec has no configuration or about box.
    EXPECT_EQ(S_FALSE, dialogs->ShowDialog(VfwCompressDialog_QueryConfig, NULL));
    EXPECT_EQ(S_FALSE, dialogs->ShowDialog(VfwCompressDialog_QueryAbout, NULL));
    EXPECT_EQ(E_FAIL, dialogs->ShowDialog(VfwCompressDialog_Config, NULL));
    EXPECT_EQ(E_FAIL, dialogs->ShowDialog(VfwCompressDialog_About, NULL));
    EXPECT_EQ(E_INVALIDARG, dialogs->ShowDialog(3, NULL));
    // Raw messages reach the codec: its state size.
    EXPECT_EQ(32, dialogs->SendDriverMessage(ICM_GETSTATE, 0, 0));
}

TEST_F(XrvcCompressorTest, RefusesTypesItCannotCompress)
{
    Ref<IPin> in;
    ASSERT_EQ(S_OK, FirstFreePin(compressor, PINDIR_INPUT, &in));
    struct Case {
        const char* name;
        HRESULT accepted;
        void (*change)(AM_MEDIA_TYPE* mt, VIDEOINFOHEADER* vih);
    } cases[] = {
        {"RGB32", S_OK, [](AM_MEDIA_TYPE*, VIDEOINFOHEADER*) {}},
        {"RGB24", S_OK,
         [](AM_MEDIA_TYPE* mt, VIDEOINFOHEADER* vih) {
             mt->subtype = MEDIASUBTYPE_RGB24;
             vih->bmiHeader.biBitCount = 24;
         }},
        {"top-down rows", S_FALSE, [](AM_MEDIA_TYPE*, VIDEOINFOHEADER* vih) { vih->bmiHeader.biHeight = -48; }},
        {"YUY2", S_FALSE,
         [](AM_MEDIA_TYPE* mt, VIDEOINFOHEADER* vih) {
             mt->subtype = MEDIASUBTYPE_YUY2;
             vih->bmiHeader.biCompression = mmioFOURCC('Y', 'U', 'Y', '2');
             vih->bmiHeader.biBitCount = 16;
         }},
        {"already xrvc", S_FALSE, [](AM_MEDIA_TYPE*, VIDEOINFOHEADER* vih) { vih->bmiHeader.biCompression = kXrvc; }},
        {"audio", S_FALSE, [](AM_MEDIA_TYPE* mt, VIDEOINFOHEADER*) { mt->majortype = MEDIATYPE_Audio; }},
        {"a cut format block", S_FALSE, [](AM_MEDIA_TYPE* mt, VIDEOINFOHEADER*) { mt->cbFormat = 60; }},
        {"a header larger than its block", S_FALSE,
         [](AM_MEDIA_TYPE*, VIDEOINFOHEADER* vih) { vih->bmiHeader.biSize = 4000; }},
        {"no width", S_FALSE, [](AM_MEDIA_TYPE*, VIDEOINFOHEADER* vih) { vih->bmiHeader.biWidth = 0; }},
        {"12 bits", S_FALSE, [](AM_MEDIA_TYPE*, VIDEOINFOHEADER* vih) { vih->bmiHeader.biBitCount = 12; }},
        {"8 bits without a colour table", S_FALSE,
         [](AM_MEDIA_TYPE*, VIDEOINFOHEADER* vih) { vih->bmiHeader.biBitCount = 8; }},
        {"VIDEOINFOHEADER2", S_FALSE, [](AM_MEDIA_TYPE* mt, VIDEOINFOHEADER*) { mt->formattype = FORMAT_VideoInfo2; }},
    };
    for (const Case& c : cases) {
        AM_MEDIA_TYPE* mt = MakeRgbType(64, 48, 32, 1000000);
        c.change(mt, (VIDEOINFOHEADER*)mt->pbFormat);
        EXPECT_EQ(c.accepted, in->QueryAccept(mt)) << c.name;
        DsDeleteMediaType(mt);
    }
}

// The category lists the codec's name for Wine's wrapper too; the name
// binds ours.
TEST_F(XrvcCompressorTest, CategoryNameBindsThisFilter)
{
    ASSERT_EQ(S_OK, EnsureOwnCompressorsRegistered());
    Ref<IEnumMoniker> monikers;
    ASSERT_EQ(S_OK, CreateCategoryEnumerator(CLSID_VideoCompressorCategory, &monikers));
    int ours = 0, others = 0;
    IMoniker* m = NULL;
    while (monikers->Next(1, &m, NULL) == S_OK) {
        Ref<IMoniker> hold(m);
        Ref<IPropertyBag> bag;
        if (FAILED(m->BindToStorage(NULL, NULL, IID_IPropertyBag, (void**)&bag)))
            continue;
        VARIANT name, clsid;
        VariantInit(&name);
        VariantInit(&clsid);
        if (SUCCEEDED(bag->Read(L"FriendlyName", &name, NULL)) && name.vt == VT_BSTR &&
            _wcsicmp(name.bstrVal, kXrvcCompressorName) == 0) {
            CLSID id = GUID_NULL;
            if (SUCCEEDED(bag->Read(L"CLSID", &clsid, NULL)) && clsid.vt == VT_BSTR)
                CLSIDFromString(clsid.bstrVal, &id);
            (IsEqualCLSID(id, CLSID_XrvScreenCodecFilter) ? ours : others)++;
            Ref<IBaseFilter> bound;
            ASSERT_EQ(S_OK, BindCompressorMoniker(m, &bound));
        }
        VariantClear(&name);
        VariantClear(&clsid);
    }
    EXPECT_EQ(1, ours);
    std::printf("entries of that name not ours (Wine's wrapper): %d\n", others);

    for (LPCWSTR spelling : {L"Kestravon Screen Capture Codec", L"KESTRAVON SCREEN CAPTURE CODEC"}) {
        Ref<IBaseFilter> found;
        ASSERT_EQ(S_OK, FindCompressorFilter(1, spelling, &found));
        CLSID id = GUID_NULL;
        found->GetClassID(&id);
        EXPECT_TRUE(IsEqualCLSID(id, CLSID_XrvScreenCodecFilter));
        Ref<IAMVfwCompressDialogs> d;
        EXPECT_EQ(S_OK, found->QueryInterface(IID_IAMVfwCompressDialogs, (void**)&d));
    }
}

}  // namespace
