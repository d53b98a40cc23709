#include "capture/AviScreenStream.h"

#include "capture/FrameBitmap.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

using testsupport::RunHost;
using testsupport::ScratchDir;
using testsupport::UnixPath;

namespace {

// A packed frame of one colour: 32-bit, or 8-bit with a grey-ramp palette
// whose entry 200 is pure red.
struct TestFrame {
    TestFrame(int width, int height, int bitCount, BYTE value)
    {
        const DWORD entries = bitCount == 8 ? 256 : 0;
        const DWORD rowBytes = DibRowBytes(width, bitCount);
        data.resize(sizeof(BITMAPINFOHEADER) + entries * 4 + rowBytes * height);
        BITMAPINFOHEADER* h = (BITMAPINFOHEADER*)data.data();
        h->biSize = sizeof(BITMAPINFOHEADER);
        h->biWidth = width;
        h->biHeight = height;
        h->biPlanes = 1;
        h->biBitCount = (WORD)bitCount;
        h->biCompression = BI_RGB;
        h->biSizeImage = rowBytes * height;
        h->biClrUsed = entries;
        RGBQUAD* table = (RGBQUAD*)(h + 1);
        for (DWORD i = 0; i < entries; ++i)
            table[i].rgbRed = table[i].rgbGreen = table[i].rgbBlue = (BYTE)i;
        if (entries) {
            table[200].rgbRed = 255;
            table[200].rgbGreen = 0;
            table[200].rgbBlue = 0;
        }
        Fill(value);
    }
    void Fill(BYTE value)
    {
        BITMAPINFOHEADER* h = Header();
        BYTE* bits = DibBits(h);
        if (h->biBitCount == 8) {
            memset(bits, value, h->biSizeImage);
            return;
        }
        for (DWORD i = 0; i + 3 < h->biSizeImage; i += 4) {   // 32-bit: value in red
            bits[i] = 0;
            bits[i + 1] = 0;
            bits[i + 2] = value;
            bits[i + 3] = 0;
        }
    }
    BITMAPINFOHEADER* Header() { return (BITMAPINFOHEADER*)data.data(); }
    BYTE* Bits() { return DibBits(Header()); }
    std::vector<BYTE> data;
};

// The key-frame flag of each video packet, as ffprobe reads the file.
std::string PacketFlags(const std::string& file)
{
    std::string out;
    const int rc = RunHost("ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 '" +
                               UnixPath(file) + "'",
                           &out);
    EXPECT_EQ(0, rc) << out;
    std::string flags;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty())
            flags += line[0] == 'K' ? 'K' : '.';
    return flags;
}

struct AviLibrary {
    AviLibrary() { AVIFileInit(); }
    ~AviLibrary() { AVIFileExit(); }
};

}  // namespace

TEST(AviScreenStream, CodecForBitDepth)
{
    const struct {
        WORD bits;
        DWORD fourcc;
    } cases[] = {{8, kFourccXrvc}, {16, kFourccXrvc}, {24, kFourccXrvc}, {32, kFourccXrvc}, {4, kFourccDib},
                 {1, kFourccDib}, {0, kFourccDib}};
    for (const auto& c : cases)
        EXPECT_EQ(c.fourcc, CodecForBitDepth(c.bits)) << c.bits;
}

// Uncompressed frames are all key frames and decode to the written colour.
TEST(AviScreenStream, UncompressedFramesAreAllKeyFramesAndDecode)
{
    AviLibrary avi;
    ScratchDir dir;
    const std::string file = dir.File("dib.avi");
    TestFrame frame(64, 48, 32, 255);
    AviStreamSettings settings = {kFourccDib, -1, 80, 0, 5, 1, NULL, 0};
    AviOpenError error;
    {
        CAviScreenStream stream;
        ASSERT_TRUE(stream.Open(file.c_str(), (BITMAPINFO*)frame.Header(), settings, &error)) << error.text;
        for (LONG i = 0; i < 6; ++i)
            ASSERT_TRUE(stream.Write(frame.Bits(), frame.Header()->biSizeImage, i, AVIIF_KEYFRAME));
    }
    EXPECT_EQ("KKKKKK", PacketFlags(file));

    std::string out;
    ASSERT_EQ(0, RunHost("ffprobe -v error -select_streams v:0 -show_entries stream=width,height,r_frame_rate "
                         "-of csv=p=0 '" + UnixPath(file) + "'",
                         &out));
    EXPECT_EQ("64,48,5/1", out.substr(0, out.find_first_of("\r\n")));
    ASSERT_EQ(0, RunHost("ffmpeg -v error -i '" + UnixPath(file) +
                             "' -frames:v 1 -f rawvideo -pix_fmt rgb24 - | od -An -tu1 -N3",
                         &out));
    std::istringstream rgb(out);
    int r = -1, g = -1, b = -1;
    rgb >> r >> g >> b;
    EXPECT_EQ(255, r);
    EXPECT_EQ(0, g);
    EXPECT_EQ(0, b);
}

// A stand-in compressor registered in this process: key frames when the
// compression layer asks for one, tiny delta frames otherwise, and the key
// flag reported only for key frames, as a real temporal codec does.
LRESULT CALLBACK TestCodecProc(DWORD_PTR id, HDRVR, UINT msg, LPARAM lParam1, LPARAM lParam2)
{
    switch (msg) {
    case DRV_LOAD:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_FREE:
    case DRV_CLOSE:
        return 1;
    case DRV_OPEN:
        return 1;
    case ICM_GETINFO: {
        ICINFO* info = (ICINFO*)lParam1;
        memset(info, 0, sizeof(ICINFO));
        info->dwSize = sizeof(ICINFO);
        info->fccType = ICTYPE_VIDEO;
        info->fccHandler = mmioFOURCC('t', 's', 't', 'c');
        info->dwFlags = VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC | VIDCF_QUALITY;
        info->dwVersion = 1;
        info->dwVersionICM = ICVERSION;
        return sizeof(ICINFO);
    }
    case ICM_GETDEFAULTQUALITY:
        *(DWORD*)lParam1 = 7500;
        return ICERR_OK;
    case ICM_GETSTATE:
        return 0;
    case ICM_SETSTATE:
        return 0;
    case ICM_COMPRESS_QUERY:
        return ICERR_OK;
    case ICM_COMPRESS_GET_FORMAT: {
        const BITMAPINFOHEADER* in = (const BITMAPINFOHEADER*)lParam1;
        if (!lParam2)
            return (LRESULT)sizeof(BITMAPINFOHEADER);
        BITMAPINFOHEADER* out = (BITMAPINFOHEADER*)lParam2;
        *out = *in;
        out->biSize = sizeof(BITMAPINFOHEADER);
        out->biCompression = mmioFOURCC('t', 's', 't', 'c');
        out->biClrUsed = 0;
        out->biSizeImage = in->biSizeImage + 16;
        return ICERR_OK;
    }
    case ICM_COMPRESS_GET_SIZE:
        return (LRESULT)(((const BITMAPINFOHEADER*)lParam1)->biSizeImage + 16);
    case ICM_COMPRESS_BEGIN:
    case ICM_COMPRESS_END:
        return ICERR_OK;
    case ICM_COMPRESS: {
        ICCOMPRESS* c = (ICCOMPRESS*)lParam1;
        const bool key = (c->dwFlags & ICCOMPRESS_KEYFRAME) != 0;
        const DWORD size = key ? c->lpbiInput->biSizeImage : 4;
        memcpy(c->lpOutput, c->lpInput, size);
        c->lpbiOutput->biSizeImage = size;
        if (c->lpdwFlags)
            *c->lpdwFlags = key ? AVIIF_KEYFRAME : 0;
        return ICERR_OK;
    }
    default:
        return msg < DRV_USER ? DefDriverProc(id, NULL, msg, lParam1, lParam2) : ICERR_UNSUPPORTED;
    }
}

// Through a temporal compressor (a key frame every 5) the index marks only the
// frames that the compressor made key frames, although the loop hands every
// frame over with AVIIF_KEYFRAME.
TEST(AviScreenStream, IndexMarksOnlyTheCompressorsKeyFrames)
{
    const DWORD fourcc = mmioFOURCC('t', 's', 't', 'c');
    ASSERT_TRUE(ICInstall(ICTYPE_VIDEO, fourcc, (LPARAM)(void*)TestCodecProc, NULL, ICINSTALL_FUNCTION));
    AviLibrary avi;
    ScratchDir dir;
    const std::string file = dir.File("temporal.avi");
    TestFrame frame(64, 48, 32, 200);
    AviStreamSettings settings = {fourcc, -1, 5, 0, 5, 1, NULL, 0};
    AviOpenError error;
    {
        CAviScreenStream stream;
        ASSERT_TRUE(stream.Open(file.c_str(), (BITMAPINFO*)frame.Header(), settings, &error)) << error.text;
        for (LONG i = 0; i < 12; ++i)
            ASSERT_TRUE(stream.Write(frame.Bits(), frame.Header()->biSizeImage, i, AVIIF_KEYFRAME)) << i;
    }
    ICRemove(ICTYPE_VIDEO, fourcc, 0);
    EXPECT_EQ("K....K....K.", PacketFlags(file));
}

TEST(AviScreenStream, MarksNoCollapseOnlyBetweenTheSystemColours)
{
    AviLibrary avi;
    ScratchDir dir;
    const std::string file = dir.File("pal.avi");
    TestFrame frame(16, 16, 8, 1);
    AviStreamSettings settings = {kFourccDib, -1, 80, 0, 5, 1, NULL, 0};
    AviOpenError error;
    {
        CAviScreenStream stream;
        ASSERT_TRUE(stream.Open(file.c_str(), (BITMAPINFO*)frame.Header(), settings, &error)) << error.text;
        ASSERT_TRUE(stream.Write(frame.Bits(), frame.Header()->biSizeImage, 0, AVIIF_KEYFRAME));
    }
    PAVIFILE readBack = NULL;
    ASSERT_EQ(0, AVIFileOpenA(&readBack, file.c_str(), OF_READ, NULL));
    PAVISTREAM video = NULL;
    ASSERT_EQ(0, AVIFileGetStream(readBack, &video, streamtypeVIDEO, 0));
    std::vector<BYTE> format(sizeof(BITMAPINFOHEADER) + 256 * 4);
    LONG size = (LONG)format.size();
    ASSERT_EQ(0, AVIStreamReadFormat(video, 0, format.data(), &size));
    AVIStreamRelease(video);
    AVIFileRelease(readBack);
    const RGBQUAD* table = (const RGBQUAD*)(format.data() + sizeof(BITMAPINFOHEADER));
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(i >= 10 && i <= 245 ? PC_NOCOLLAPSE : 0, table[i].rgbReserved) << i;
}

TEST(AviScreenStream, OpenFailuresExplainThemselves)
{
    AviLibrary avi;
    ScratchDir dir;
    struct Case {
        const char* name;
        std::string file;
        DWORD fourcc;
        int width;
        bool repair;
    } cases[] = {
        {"MPG4 needs multiples of 4", dir.File("a.avi"), mmioFOURCC('M', 'P', 'G', '4'), 642, false},
        {"missing compressor", dir.File("b.avi"), mmioFOURCC('z', 'z', 'z', 'z'), 64, false},
        {"folder missing", dir.File("no\\such\\c.avi"), kFourccDib, 64, false},
    };
    for (const Case& c : cases) {
        TestFrame frame(c.width, 48, 32, 1);
        AviStreamSettings settings = {c.fourcc, -1, 80, 0, 5, 1, NULL, 0};
        AviOpenError error;
        CAviScreenStream stream;
        EXPECT_FALSE(stream.Open(c.file.c_str(), (BITMAPINFO*)frame.Header(), settings, &error)) << c.name;
        EXPECT_FALSE(stream.IsOpen()) << c.name;
        EXPECT_FALSE(error.text.IsEmpty()) << c.name;
        EXPECT_EQ(c.repair, error.repairShortText != 0) << c.name;
        EXPECT_FALSE(stream.Write(frame.Bits(), 4, 0, 0)) << c.name;
    }
}
