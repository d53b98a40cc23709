// A real AVI written through AVIFile with the codec, as the recorder writes
// its screen stream, read back by ffprobe and decoded again through AVIFile.
#include "XrvcTestUtil.h"
#include "TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <vfw.h>
#include <sstream>
#include <string.h>

using namespace xrvctest;

namespace {

class XrvcAvi : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_installError = InstallCodec();
        ::AVIFileInit();
    }
    static void TearDownTestSuite()
    {
        ::AVIFileExit();
    }
    void SetUp() override
    {
        ASSERT_EQ("", s_installError);
    }
    static std::string s_installError;
};
std::string XrvcAvi::s_installError;

// Writes frames through a compressed stream made with the recorder's
// options: key frame every 80, data-rate flag, the codec state it stores.
// Frames are written without AVIIF_KEYFRAME: the compressed stream flags
// the key frames itself.
HRESULT WriteAvi(const std::string& path, Format& fmt, const std::vector<std::vector<uint8_t>>& frames)
{
    PAVIFILE file = nullptr;
    HRESULT hr = ::AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_WRITE, nullptr);
    if (hr != AVIERR_OK)
        return hr;
    AVISTREAMINFOA si;
    memset(&si, 0, sizeof(si));
    si.fccType = streamtypeVIDEO;
    si.fccHandler = kXrvc;
    si.dwScale = 1;
    si.dwRate = 5;
    si.dwSuggestedBufferSize = fmt.h.biSizeImage;
    ::SetRect(&si.rcFrame, 0, 0, fmt.h.biWidth, fmt.h.biHeight);
    PAVISTREAM raw = nullptr, compressed = nullptr;
    hr = ::AVIFileCreateStreamA(file, &raw, &si);
    DWORD state[4] = {0x1780, kXrvc, 0x20000, 6};
    AVICOMPRESSOPTIONS opts;
    memset(&opts, 0, sizeof(opts));
    opts.fccType = ICTYPE_VIDEO;
    opts.fccHandler = kXrvc;
    opts.dwKeyFrameEvery = 80;
    opts.dwQuality = (DWORD)ICQUALITY_DEFAULT;
    opts.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_DATARATE | AVICOMPRESSF_VALID;
    opts.lpParms = state;
    opts.cbParms = sizeof(state);
    if (hr == AVIERR_OK)
        hr = ::AVIMakeCompressedStream(&compressed, raw, &opts, nullptr);
    if (hr == AVIERR_OK)
        hr = ::AVIStreamSetFormat(compressed, 0, fmt.Info(), fmt.Size());
    for (size_t i = 0; hr == AVIERR_OK && i < frames.size(); ++i)
        hr = ::AVIStreamWrite(compressed, (LONG)i, 1, (void*)frames[i].data(), (LONG)frames[i].size(), 0,
                              nullptr, nullptr);
    if (compressed)
        ::AVIStreamRelease(compressed);
    if (raw)
        ::AVIStreamRelease(raw);
    ::AVIFileRelease(file);
    return hr;
}

TEST_F(XrvcAvi, RecordingIsReadByFfprobeWithKeyFramesEvery80AndDecodesExactly)
{
    testsupport::ScratchDir dir("xrvcavi");
    const std::string path = dir.File("rec_Screen.avi");
    const int w = 320, h = 240, count = 170;
    Format fmt = MakeFormat(w, h, 32);
    CDesktop desk(w, h, 32);
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < count; ++i) {
        desk.Step(i);
        frames.push_back(desk.Frame());
    }
    ASSERT_EQ(AVIERR_OK, WriteAvi(path, fmt, frames));

    const std::string unix = testsupport::UnixPath(path);
    std::string out;
    ASSERT_EQ(0, testsupport::RunHost("ffprobe -v error -select_streams v:0 -show_entries "
                                      "stream=codec_tag_string,width,height,r_frame_rate -of default=nw=1 '" +
                                          unix + "'",
                                      &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("codec_tag_string=xrvc")) << out;
    EXPECT_NE(std::string::npos, out.find("width=320")) << out;
    EXPECT_NE(std::string::npos, out.find("height=240")) << out;
    EXPECT_NE(std::string::npos, out.find("r_frame_rate=5/1")) << out;

    ASSERT_EQ(0, testsupport::RunHost("ffprobe -v error -select_streams v:0 -show_entries packet=flags "
                                      "-of csv=p=0 '" + unix + "'",
                                      &out))
        << out;
    std::istringstream lines(out);
    std::string line;
    std::vector<int> keys;
    int packets = 0;
    while (std::getline(lines, line)) {
        if (line.empty())
            continue;
        if (line[0] == 'K')
            keys.push_back(packets);
        ++packets;
    }
    EXPECT_EQ(count, packets);
    EXPECT_EQ((std::vector<int>{0, 80, 160}), keys) << out.substr(0, 400);

    // Back through AVIFile and the codec's own decompressor: in order, then
    // seeking back and forth, which restarts from the key frame before.
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIERR_OK, ::AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr));
    PAVISTREAM stream = nullptr;
    ASSERT_EQ(AVIERR_OK, ::AVIFileGetStream(file, &stream, streamtypeVIDEO, 0));
    EXPECT_EQ(80, ::AVIStreamFindSample(stream, 100, FIND_KEY | FIND_PREV));
    Format wanted = MakeFormat(w, h, 32);
    PGETFRAME pg = ::AVIStreamGetFrameOpen(stream, wanted.Header());
    ASSERT_TRUE(pg != nullptr);
    std::vector<int> order;
    for (int i = 0; i < count; ++i)
        order.push_back(i);
    for (int i : {100, 30, 165, 79, 80, 81, 0, 169})
        order.push_back(i);
    for (int i : order) {
        const BITMAPINFOHEADER* bi = (const BITMAPINFOHEADER*)::AVIStreamGetFrame(pg, i);
        ASSERT_TRUE(bi != nullptr) << "frame " << i;
        ASSERT_EQ(32, bi->biBitCount);
        const uint8_t* bits = (const uint8_t*)bi + bi->biSize + bi->biClrUsed * sizeof(RGBQUAD);
        int row = -1;
        ASSERT_TRUE(SamePixels(fmt.h, frames[i].data(), bits, &row)) << "frame " << i << " row " << row;
    }
    ::AVIStreamGetFrameClose(pg);
    ::AVIStreamRelease(stream);
    ::AVIFileRelease(file);
}

}  // namespace
