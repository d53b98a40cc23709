// The xrvc codec opened the way programs open it: registered as vidc.xrvc and
// reached through ICOpen and the compressor manager's calls.
#include "XrvcTestUtil.h"
#include "TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <vfw.h>
#include <zlib.h>
#include <string.h>
#include <set>

using namespace xrvctest;

namespace {

class XrvcCodec : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_installError = InstallCodec();
    }
    void SetUp() override
    {
        ASSERT_EQ("", s_installError);
    }
    static std::string s_installError;
};
std::string XrvcCodec::s_installError;

// Closes a codec instance at scope end.
struct Codec {
    HIC hic;
    explicit Codec(UINT mode) : hic(ICOpen(ICTYPE_VIDEO, kXrvc, mode)) {}
    ~Codec()
    {
        if (hic)
            ICClose(hic);
    }
    operator HIC() const { return hic; }
};

// One compressed frame with the flags the codec gave it.
struct Packet {
    std::vector<uint8_t> data;
    bool key = false;
};

// Compresses frames through ICCompress, asking for a key frame every keyRate
// frames; decompresses and compares each on a second instance.
class RoundTrip {
public:
    RoundTrip(int w, int h, int bits) : m_in(MakeFormat(w, h, bits)), m_enc(ICMODE_COMPRESS), m_dec(ICMODE_DECOMPRESS)
    {
        const DWORD outSize = ICCompressGetFormatSize(m_enc, m_in.Header());
        m_out.resize(outSize);
        m_outFormat = reinterpret_cast<BITMAPINFOHEADER*>(m_out.data());
    }
    bool Begin()
    {
        if (!m_enc.hic || !m_dec.hic)
            return false;
        if (ICCompressGetFormat(m_enc, m_in.Header(), m_outFormat) != ICERR_OK)
            return false;
        m_worst = m_outFormat->biSizeImage;
        m_buffer.resize(m_worst);
        m_outDecoded = MakeFormat(m_in.h.biWidth, m_in.h.biHeight, m_in.h.biBitCount);
        return ICCompressBegin(m_enc, m_in.Header(), m_outFormat) == ICERR_OK &&
               ICDecompressBegin(m_dec, m_outFormat, m_outDecoded.Header()) == ICERR_OK;
    }
    Packet Compress(const std::vector<uint8_t>& frame, bool wantKey, LONG number)
    {
        DWORD ckid = 0, flags = 0;
        Packet p;
        const DWORD rc = ICCompress(m_enc, wantKey ? ICCOMPRESS_KEYFRAME : 0, m_outFormat, m_buffer.data(),
                                      m_in.Header(), (void*)frame.data(), &ckid, &flags, number, 0,
                                      ICQUALITY_DEFAULT, nullptr, nullptr);
        if (rc != ICERR_OK)
            return p;
        p.data.assign(m_buffer.begin(), m_buffer.begin() + m_outFormat->biSizeImage);
        p.key = (flags & AVIIF_KEYFRAME) != 0;
        return p;
    }
    // ICDecompress's answer as the signed ICERR_* value.
    LRESULT Decompress(const std::vector<uint8_t>& packet, std::vector<uint8_t>* picture)
    {
        picture->assign(m_outDecoded.h.biSizeImage, 0xCD);
        BITMAPINFOHEADER in = *m_outFormat;
        in.biSizeImage = (DWORD)packet.size();
        return (LONG)ICDecompress(m_dec, 0, &in, (void*)packet.data(), m_outDecoded.Header(), picture->data());
    }
    // A fresh decoder, as after opening a file: no key frame seen yet.
    bool Restart()
    {
        ICDecompressEnd(m_dec);
        return ICDecompressBegin(m_dec, m_outFormat, m_outDecoded.Header()) == ICERR_OK;
    }
    void End()
    {
        ICCompressEnd(m_enc);
        ICDecompressEnd(m_dec);
    }
    BITMAPINFOHEADER& In() { return m_in.h; }
    BITMAPINFOHEADER* Compressed() { return m_outFormat; }
    DWORD Worst() const { return m_worst; }
    HIC Decoder() const { return m_dec; }

private:
    Format m_in;
    Codec m_enc, m_dec;
    std::vector<uint8_t> m_out;
    BITMAPINFOHEADER* m_outFormat = nullptr;
    Format m_outDecoded;
    std::vector<uint8_t> m_buffer;
    DWORD m_worst = 0;
};

TEST_F(XrvcCodec, ReportsItsNameVersionAndCapabilities)
{
    Codec hic(ICMODE_QUERY);
    ASSERT_TRUE(hic.hic != nullptr);
    ICINFO info;
    memset(&info, 0, sizeof(info));
    info.dwSize = sizeof(info);
    ASSERT_EQ(sizeof(ICINFO), ICGetInfo(hic, &info, sizeof(info)));
    EXPECT_EQ(ICTYPE_VIDEO, info.fccType);
    EXPECT_EQ(kXrvc, info.fccHandler);
    EXPECT_STREQ(L"Kestravon Screen Capture Codec", info.szDescription);
    EXPECT_STREQ(L"xrvc", info.szName);
    EXPECT_EQ(0x20000u, info.dwVersion);   // major version 2: the recorder keeps a 32-byte state
    const DWORD wanted = VIDCF_QUALITY | VIDCF_CRUNCH | VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC;
    EXPECT_EQ(wanted, info.dwFlags & wanted);
}

TEST_F(XrvcCodec, KeepsTheStateTheRecorderStores)
{
    Codec hic(ICMODE_COMPRESS);
    ASSERT_TRUE(hic.hic != nullptr);
    ASSERT_EQ(32, (int)ICGetStateSize(hic));
    DWORD state[8];
    ASSERT_EQ(ICERR_OK, (LRESULT)ICGetState(hic, state, sizeof(state)));
    const DWORD defaults[8] = {0x1780, kXrvc, 0x20000, 6, 0, 0, 0, 0};
    EXPECT_EQ(0, memcmp(defaults, state, sizeof(state)));

    struct Case {
        const char* name;
        DWORD words[8];
        DWORD size;
        DWORD used;   // bytes the codec takes, 0 = refused
    } cases[] = {
        {"preferences default", {2827, kXrvc, 0x20000, 1}, 16, 16},
        {"record settings, major 2", {0x0B0B, kXrvc, 0x20000, 9}, 32, 32},
        {"camera state", {6016, kXrvc, 0x20000, 9}, 32, 32},
        {"other codec's state", {2827, mmioFOURCC('M', 'R', 'L', 'E'), 0x20000, 5}, 16, 0},
        {"effort out of range", {2827, kXrvc, 0x20000, 10}, 16, 0},
        {"too short", {2827, kXrvc, 0x20000, 1}, 12, 0},
    };
    for (const Case& c : cases) {
        // Start each case from a known state.
        const DWORD base[8] = {0x1780, kXrvc, 0x20000, 6, 0, 0, 0, 0};
        ASSERT_EQ(32, (LRESULT)ICSetState(hic, (void*)base, sizeof(base))) << c.name;
        EXPECT_EQ((LRESULT)c.used, (LRESULT)ICSetState(hic, (void*)c.words, c.size)) << c.name;
        DWORD now[8];
        ASSERT_EQ(ICERR_OK, (LRESULT)ICGetState(hic, now, sizeof(now))) << c.name;
        const DWORD* expected = c.used ? c.words : base;
        DWORD expect[8] = {};
        memcpy(expect, expected, c.used ? c.used : sizeof(expect));
        EXPECT_EQ(0, memcmp(expect, now, sizeof(now))) << c.name << ": word 0 " << now[0] << ", word 3 " << now[3];
    }
}

// Every bit depth, odd sizes included (row padding, partial edge tiles):
// frames of a desktop session come back exactly, key frames only where asked,
// and no frame is larger than the worst case the codec announced.
TEST_F(XrvcCodec, RoundTripsEveryBitDepthExactly)
{
    struct Case {
        int w, h, bits;
    } cases[] = {{320, 240, 32}, {320, 240, 24}, {320, 240, 16}, {320, 240, 8},
                 {37, 23, 24},   {37, 23, 8},    {45, 17, 16},   {3, 1, 32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << "x" << c.bits);
        RoundTrip rt(c.w, c.h, c.bits);
        ASSERT_TRUE(rt.Begin());
        CDesktop desk(c.w, c.h, c.bits);
        int keys = 0;
        for (int i = 0; i < 60; ++i) {
            desk.Step(i);
            const std::vector<uint8_t> frame = desk.Frame();
            const bool wantKey = i % 25 == 0;
            Packet p = rt.Compress(frame, wantKey, i);
            ASSERT_FALSE(p.data.empty()) << "frame " << i;
            ASSERT_LE(p.data.size(), (size_t)rt.Worst()) << "frame " << i;
            EXPECT_EQ(wantKey, p.key) << "frame " << i;
            keys += p.key;
            std::vector<uint8_t> picture;
            ASSERT_EQ(ICERR_OK, (LRESULT)rt.Decompress(p.data, &picture)) << "frame " << i;
            int row = -1;
            ASSERT_TRUE(SamePixels(rt.In(), frame.data(), picture.data(), &row)) << "frame " << i << " row " << row;
        }
        EXPECT_EQ(3, keys);
        rt.End();
    }
}

// A full-screen frame that did not change costs a header, well under 64 bytes;
// a small change costs little more.
TEST_F(XrvcCodec, UnchangedFullScreenFrameIsTiny)
{
    RoundTrip rt(1920, 1080, 32);
    ASSERT_TRUE(rt.Begin());
    CDesktop desk(1920, 1080, 32);
    const std::vector<uint8_t> first = desk.Frame();
    Packet key = rt.Compress(first, true, 0);
    ASSERT_TRUE(key.key);
    Packet same = rt.Compress(first, false, 1);
    ASSERT_FALSE(same.data.empty());
    EXPECT_FALSE(same.key);
    EXPECT_LT(same.data.size(), 64u);
    desk.Step(0);   // one typed character
    const std::vector<uint8_t> typed = desk.Frame();
    Packet small = rt.Compress(typed, false, 2);
    EXPECT_LT(small.data.size(), 400u);

    std::vector<uint8_t> picture;
    for (const Packet* p : {&key, &same, &small}) {
        ASSERT_EQ(ICERR_OK, (LRESULT)rt.Decompress(p->data, &picture));
    }
    EXPECT_TRUE(SamePixels(rt.In(), typed.data(), picture.data()));
    rt.End();
}

// Wine's ICSeqCompressFrame learns of a key frame only from ICCOMPRESS.dwFlags;
// with a key-frame rate of 80 it asks at 0, 79, 158 (measured). 8-bit input
// too: Wine hands the codec a copy of the input format with one palette entry.
TEST_F(XrvcCodec, SequenceCompressionMarksKeyFramesAndRoundTrips)
{
    const int w = 96, h = 64;
    for (int bits : {32, 24, 16, 8}) {
        SCOPED_TRACE(testing::Message() << bits << "-bit");
        Format in = MakeFormat(w, h, bits);
        COMPVARS cv;
        memset(&cv, 0, sizeof(cv));
        cv.cbSize = sizeof(cv);
        cv.dwFlags = ICMF_COMPVARS_VALID;
        cv.hic = ::ICOpen(ICTYPE_VIDEO, kXrvc, ICMODE_COMPRESS);
        ASSERT_TRUE(cv.hic != nullptr);
        cv.fccType = ICTYPE_VIDEO;
        cv.fccHandler = kXrvc;
        cv.lKey = 80;
        cv.lQ = ICQUALITY_DEFAULT;
        ASSERT_TRUE(::ICSeqCompressFrameStart(&cv, in.Info()));
        ASSERT_TRUE(cv.lpbiOut != nullptr);
        BITMAPINFOHEADER compressed = cv.lpbiOut->bmiHeader;
        EXPECT_EQ(kXrvc, compressed.biCompression);

        Codec dec(ICMODE_DECOMPRESS);
        ASSERT_TRUE(dec.hic != nullptr);
        Format out = MakeFormat(w, h, bits);
        ASSERT_EQ(ICERR_OK, (LRESULT)ICDecompressBegin(dec, &compressed, out.Header()));

        CDesktop desk(w, h, bits);
        std::vector<int> keys;
        for (int i = 0; i < 170; ++i) {
            desk.Step(i);
            std::vector<uint8_t> frame = desk.Frame();
            BOOL key = FALSE;
            LONG size = 0;
            void* data = ::ICSeqCompressFrame(&cv, 0, frame.data(), &key, &size);
            ASSERT_TRUE(data != nullptr) << "frame " << i;
            if (key)
                keys.push_back(i);
            compressed.biSizeImage = (DWORD)size;
            std::vector<uint8_t> picture(out.h.biSizeImage);
            ASSERT_EQ(ICERR_OK, (LONG)ICDecompress(dec, 0, &compressed, data, out.Header(), picture.data()))
                << "frame " << i;
            ASSERT_TRUE(SamePixels(in.h, frame.data(), picture.data())) << "frame " << i;
        }
        ::ICSeqCompressFrameEnd(&cv);
        ICDecompressEnd(dec);
        ::ICCompressorFree(&cv);
        EXPECT_EQ((std::vector<int>{0, 79, 158}), keys);
    }
}

TEST_F(XrvcCodec, RefusesFormatsItCannotCode)
{
    Codec hic(ICMODE_COMPRESS);
    ASSERT_TRUE(hic.hic != nullptr);
    struct Case {
        const char* name;
        LONG w, h;
        WORD bits, planes;
        DWORD compression;
        bool decodable;   // the same geometry as an xrvc stream is fine
    } inputs[] = {
        {"4-bit", 64, 48, 4, 1, BI_RGB, false},
        {"1-bit", 64, 48, 1, 1, BI_RGB, false},
        {"15-bit count", 64, 48, 15, 1, BI_RGB, false},
        {"bit fields", 64, 48, 16, 1, BI_BITFIELDS, true},
        {"already compressed", 64, 48, 32, 1, kXrvc, true},
        {"zero width", 0, 48, 32, 1, BI_RGB, false},
        {"top-down", 64, -48, 32, 1, BI_RGB, false},
        {"two planes", 64, 48, 32, 2, BI_RGB, false},
        {"too large", 100000, 100000, 32, 1, BI_RGB, false},
    };
    for (const Case& c : inputs) {
        Format f = MakeFormat(16, 16, c.bits == 8 ? 8 : 32);
        f.h.biWidth = c.w;
        f.h.biHeight = c.h;
        f.h.biBitCount = c.bits;
        f.h.biPlanes = c.planes;
        f.h.biCompression = c.compression;
        EXPECT_EQ(ICERR_BADFORMAT, (LRESULT)ICCompressQuery(hic, f.Header(), nullptr)) << c.name;
        Format out = MakeFormat(16, 16, 32);
        EXPECT_EQ(ICERR_BADFORMAT, (LRESULT)ICCompressGetFormat(hic, f.Header(), out.Header())) << c.name;
        EXPECT_EQ(ICERR_BADFORMAT, (LRESULT)ICCompressBegin(hic, f.Header(), out.Header())) << c.name;
        f.h.biCompression = kXrvc;
        EXPECT_EQ(c.decodable ? ICERR_OK : ICERR_BADFORMAT, (LRESULT)ICDecompressQuery(hic, f.Header(), nullptr))
            << c.name;
    }
    // Supported input, but an output that does not match it.
    Format in = MakeFormat(64, 48, 24);
    EXPECT_EQ(ICERR_OK, (LRESULT)ICCompressQuery(hic, in.Header(), nullptr));
    Format compressed = MakeFormat(64, 48, 24);
    ASSERT_EQ(ICERR_OK, (LRESULT)ICCompressGetFormat(hic, in.Header(), compressed.Header()));
    EXPECT_EQ(kXrvc, compressed.h.biCompression);
    EXPECT_EQ(ICERR_OK, (LRESULT)ICDecompressQuery(hic, compressed.Header(), in.Header()));
    Format wrongDepth = MakeFormat(64, 48, 32);
    Format wrongSize = MakeFormat(64, 40, 24);
    Format mrle = MakeFormat(64, 48, 24);
    mrle.h.biCompression = mmioFOURCC('M', 'R', 'L', 'E');
    EXPECT_EQ(ICERR_BADFORMAT, (LRESULT)ICDecompressQuery(hic, compressed.Header(), wrongDepth.Header()));
    EXPECT_EQ(ICERR_BADFORMAT, (LRESULT)ICDecompressQuery(hic, compressed.Header(), wrongSize.Header()));
    EXPECT_EQ(ICERR_BADFORMAT, (LRESULT)ICDecompressQuery(hic, mrle.Header(), in.Header()));
    EXPECT_EQ(ICERR_BADFORMAT, (LRESULT)ICCompressQuery(hic, in.Header(), wrongDepth.Header()));
}

// Raw deflate of data, flushed as the codec flushes a frame.
std::vector<uint8_t> Deflated(const std::vector<uint8_t>& data)
{
    z_stream z;
    memset(&z, 0, sizeof(z));
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(data.size() + 1024);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = (uInt)data.size();
    z.next_out = out.data();
    z.avail_out = (uInt)out.size();
    deflate(&z, Z_SYNC_FLUSH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

// A delta frame made by hand: header fields as the codec writes them.
std::vector<uint8_t> HandMadeDelta(int w, int h, int bits, uint32_t sequence, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> frame(20, 0);
    auto put = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            frame[at + i] = (uint8_t)(v >> (8 * i));
    };
    frame[0] = 2;   // data follows
    frame[1] = 1;
    frame[2] = (uint8_t)bits;
    frame[3] = 16;
    put(4, sequence);
    put(8, (uint32_t)w);
    put(12, (uint32_t)h);
    put(16, (uint32_t)adler32(1, payload.data(), (uInt)payload.size()));
    const std::vector<uint8_t> z = Deflated(payload);
    frame.insert(frame.end(), z.begin(), z.end());
    return frame;
}

// Corrupt and hostile frames are refused with an error, never a crash, and
// the decoder recovers at the next key frame.
TEST_F(XrvcCodec, RefusesCorruptFramesAndRecoversAtTheNextKeyFrame)
{
    const int w = 64, h = 48;
    RoundTrip rt(w, h, 32);
    ASSERT_TRUE(rt.Begin());
    CDesktop desk(w, h, 32);
    std::vector<std::vector<uint8_t>> frames;
    std::vector<Packet> packets;
    for (int i = 0; i < 4; ++i) {
        desk.Step(i);
        frames.push_back(desk.Frame());
        packets.push_back(rt.Compress(frames.back(), i == 0, i));
        ASSERT_FALSE(packets.back().data.empty());
    }
    const std::vector<uint8_t>& key = packets[0].data;
    const std::vector<uint8_t>& delta = packets[1].data;
    ASSERT_GT(delta.size(), 20u) << "frame 1 changes something";

    const int tiles = 4 * 3;
    std::vector<uint8_t> outside = {1, 0, 0x10, 0x27, 0, 0};   // one vector, dx = 10000
    outside.insert(outside.end(), tiles, 0);
    outside[6] = 2;            // first tile: copy from the vector
    outside.push_back(0);      // its vector index
    std::vector<uint8_t> badMode = {0, 0};
    badMode.insert(badMode.end(), tiles, 0);
    badMode[2 + 5] = 7;
    std::vector<uint8_t> badIndex = {1, 0, 1, 0, 1, 0};
    badIndex.insert(badIndex.end(), tiles, 0);
    badIndex[6] = 2;
    badIndex.push_back(3);     // only vector 0 exists
    std::vector<uint8_t> tooManyVectors = {0xFF, 0xFF};
    std::vector<uint8_t> shortResidual = {0, 0};
    shortResidual.insert(shortResidual.end(), tiles, 0);
    shortResidual[2] = 1;      // needs 16*16*4 residual bytes, gets 10
    shortResidual.insert(shortResidual.end(), 10, 0x55);

    auto truncated = [](std::vector<uint8_t> v, size_t n) { v.resize(n); return v; };
    auto flipped = [](std::vector<uint8_t> v, size_t at) { v[at] ^= 0x5A; return v; };
    auto header = [](std::vector<uint8_t> v, size_t at, uint8_t value) { v[at] = value; return v; };
    auto extended = [](std::vector<uint8_t> v) { v.insert(v.end(), {1, 2, 3, 4, 5, 6, 7, 8}); return v; };

    struct Case {
        const char* name;
        bool keyFirst;               // decode the key frame before this one
        std::vector<uint8_t> frame;
        LRESULT expected;
    } cases[] = {
        {"shorter than a header", true, truncated(delta, 10), ICERR_BADFORMAT},
        {"empty", true, truncated(delta, 0), ICERR_BADFORMAT},
        {"other width", true, header(delta, 8, 65), ICERR_BADFORMAT},
        {"other bit count", true, header(delta, 2, 24), ICERR_BADFORMAT},
        {"unknown stream version", true, header(delta, 1, 9), ICERR_BADFORMAT},
        {"unknown frame kind", true, header(delta, 0, 0x83), ICERR_BADFORMAT},
        {"delta frame without a key frame", false, delta, ICERR_BADFORMAT},
        {"delta frame out of order", true, packets[2].data, ICERR_BADFORMAT},
        {"key frame cut short", false, truncated(key, key.size() / 2), ICERR_ERROR},
        {"key frame data changed", false, flipped(key, key.size() - 12), ICERR_ERROR},
        {"key frame with data after it", false, extended(key), ICERR_ERROR},
        {"delta frame data changed", true, flipped(delta, delta.size() - 8), ICERR_ERROR},
        {"delta frame check word wrong", true, flipped(delta, 17), ICERR_ERROR},
        {"vector out of the picture", true, HandMadeDelta(w, h, 32, 1, outside), ICERR_ERROR},
        {"unknown tile mode", true, HandMadeDelta(w, h, 32, 1, badMode), ICERR_ERROR},
        {"vector index out of range", true, HandMadeDelta(w, h, 32, 1, badIndex), ICERR_ERROR},
        {"too many vectors", true, HandMadeDelta(w, h, 32, 1, tooManyVectors), ICERR_ERROR},
        {"residual too short", true, HandMadeDelta(w, h, 32, 1, shortResidual), ICERR_ERROR},
    };
    std::vector<uint8_t> picture;
    for (const Case& c : cases) {
        ASSERT_TRUE(rt.Restart()) << c.name;
        if (c.keyFirst) {
            ASSERT_EQ(ICERR_OK, (LRESULT)rt.Decompress(key, &picture)) << c.name;
        }
        EXPECT_EQ(c.expected, (LRESULT)rt.Decompress(c.frame, &picture)) << c.name;
        if (c.expected == ICERR_ERROR) {
            // Damaged data breaks the chain: deltas are refused until a key frame.
            EXPECT_EQ(ICERR_BADFORMAT, (LRESULT)rt.Decompress(delta, &picture)) << c.name;
        }
        ASSERT_EQ(ICERR_OK, (LRESULT)rt.Decompress(key, &picture)) << c.name;
        ASSERT_EQ(ICERR_OK, (LRESULT)rt.Decompress(delta, &picture)) << c.name;
        EXPECT_TRUE(SamePixels(rt.In(), frames[1].data(), picture.data())) << c.name;
    }

    // Random damage anywhere in key and delta frames: an answer, never a crash.
    uint32_t seed = 99;
    for (int i = 0; i < 300; ++i) {
        std::vector<uint8_t> bad = (i % 2) ? delta : key;
        for (int k = 0; k < 1 + i % 4; ++k) {
            seed = seed * 1103515245u + 12345u;
            bad[20 + (seed >> 8) % (bad.size() - 20)] ^= (uint8_t)(1 + (seed >> 3) % 255);
        }
        if (i % 2) {
            ASSERT_EQ(ICERR_OK, (LRESULT)rt.Decompress(key, &picture));
        }
        const LRESULT rc = (LRESULT)rt.Decompress(bad, &picture);
        EXPECT_TRUE(rc == ICERR_ERROR || rc == ICERR_BADFORMAT) << "damaged frame " << i << " gave " << rc;
    }
    ASSERT_EQ(ICERR_OK, (LRESULT)rt.Decompress(key, &picture));
    for (int i = 1; i < 4; ++i)
        ASSERT_EQ(ICERR_OK, (LRESULT)rt.Decompress(packets[i].data, &picture)) << "frame " << i;
    EXPECT_TRUE(SamePixels(rt.In(), frames[3].data(), picture.data()));
    rt.End();
}

// Decoding the same frame twice in a row (a player redrawing) gives the same
// picture; skipping one is refused.
TEST_F(XrvcCodec, RepeatedFrameDecodesAgain)
{
    RoundTrip rt(48, 32, 24);
    ASSERT_TRUE(rt.Begin());
    CDesktop desk(48, 32, 24);
    std::vector<Packet> packets;
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 3; ++i) {
        desk.Step(i);
        frames.push_back(desk.Frame());
        packets.push_back(rt.Compress(frames.back(), i == 0, i));
    }
    std::vector<uint8_t> picture;
    ASSERT_EQ(ICERR_OK, (LRESULT)rt.Decompress(packets[0].data, &picture));
    ASSERT_EQ(ICERR_OK, (LRESULT)rt.Decompress(packets[1].data, &picture));
    ASSERT_EQ(ICERR_OK, (LRESULT)rt.Decompress(packets[1].data, &picture));
    EXPECT_TRUE(SamePixels(rt.In(), frames[1].data(), picture.data()));
    ASSERT_EQ(ICERR_OK, (LRESULT)rt.Decompress(packets[2].data, &picture));
    EXPECT_TRUE(SamePixels(rt.In(), frames[2].data(), picture.data()));
    rt.End();
}

}  // namespace
