// The output settings record: its defaults and the screen codec's state.
#include "TestSupport.h"
#include "capture/RecordSettings.h"

#include <gtest/gtest.h>
#include <string.h>

namespace {

TEST(RecordSettings, DefaultsDescribeTheScreenCodecOutput)
{
    CRecordSettings s;
    EXPECT_EQ(320, s.m_nOutputWidth);
    EXPECT_EQ(240, s.m_nOutputHeight);
    EXPECT_EQ(mmioFOURCC('x', 'r', 'v', 'c'), s.m_dwCodecFourCC);
    EXPECT_EQ(-1, s.m_nCodecQuality);
    EXPECT_EQ(80, s.m_nKeyFrameRate);
    EXPECT_EQ(0, s.m_nDataRate);
    EXPECT_EQ(0u, s.m_FrameRate.m_nRate);
    EXPECT_EQ(1u, s.m_FrameRate.m_nScale);
    EXPECT_EQ(1u, s.m_FrameRate.m_nTime);
    EXPECT_TRUE(s.m_pAudioFormat == NULL);
    EXPECT_EQ(1, s.m_bInterleave);
    EXPECT_EQ(1, s.m_nInterleaveRate);
    EXPECT_STREQ("watermark.gif", s.m_strWatermarkImage);
    EXPECT_EQ(20, s.m_nWatermarkScale);
    EXPECT_EQ(100, s.m_nWatermarkOpacity);
    EXPECT_EQ(0xFFFFFFu, s.m_crTransparent);
    EXPECT_EQ(8, s.m_nWatermarkPosition);
    EXPECT_STREQ("Kestravon Screen Capture Codec", s.m_strVideoCompressor);
    EXPECT_STREQ("PCM", s.m_strAudioCompressor);
    EXPECT_EQ(1280, s.m_nMaxWidth);
    EXPECT_EQ(1024, s.m_nMaxHeight);
    EXPECT_EQ(10, s.m_nValue53);
    WAVEFORMATEX wfx = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    s.SetAudioFormat(&wfx);
    ASSERT_TRUE(s.m_pAudioFormat != NULL);
    EXPECT_EQ(44100u, s.m_pAudioFormat->nSamplesPerSec);
    s.SetAudioFormat(NULL);
    EXPECT_TRUE(s.m_pAudioFormat == NULL);
}

// The test prefix has the xrvc codec installed (version 2.0): its states are
// 32 bytes, and a stored 16-byte state of version 1 grows to 32 bytes.
TEST(RecordSettings, CodecStateIsReadOrMadeUp)
{
    testsupport::ScratchRegKey key("Software\\VexcapTest\\RecordSettings");
    ASSERT_EQ(0x20000u, GetScreenCodecVersion());
    const DWORD xrvc = mmioFOURCC('x', 'r', 'v', 'c'), other = mmioFOURCC('m', 'r', 'l', 'e');
    CRecordSettings s;
    s.m_strCodecKey = key.SubKey().c_str();
    s.m_strCodecSubkey = "Codec Configuration";
    BYTE* block = NULL;
    DWORD size = 0;
    // Nothing stored: a made-up state of the codec's version.
    ASSERT_TRUE(s.LoadCodecState(xrvc, &block, &size));
    ASSERT_EQ(32u, size);
    DWORD words[8] = {};
    memcpy(words, block, size);
    EXPECT_EQ(2827u, words[0]);
    EXPECT_EQ(xrvc, words[1]);
    EXPECT_EQ(0x20000u, words[2]);
    EXPECT_EQ(9u, words[3]);
    for (int i = 4; i < 8; ++i)
        EXPECT_EQ(0u, words[i]) << i;
    delete[] block;
    EXPECT_FALSE(s.LoadCodecState(other, &block, &size));
    EXPECT_TRUE(block == NULL);
    EXPECT_EQ(0u, size);

    HKEY h = NULL;
    std::string path = key.SubKey() + "\\Codec Configuration";
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &h));
    // A stored 16-byte state grows to 32 bytes and keeps its compression word.
    DWORD old16[4] = {2827, xrvc, 0x10000, 4};
    RegSetValueExA(h, "xrvc", 0, REG_BINARY, (const BYTE*)old16, 16);
    ASSERT_TRUE(s.LoadCodecState(xrvc, &block, &size));
    ASSERT_EQ(32u, size);
    memcpy(words, block, size);
    EXPECT_EQ(2827u, words[0]);
    EXPECT_EQ(xrvc, words[1]);
    EXPECT_EQ(0x20000u, words[2]);
    EXPECT_EQ(4u, words[3]);
    delete[] block;

    // Stored 32-byte states and other codecs' states are handed out unchanged.
    DWORD stored[8] = {2827, xrvc, 0x20000, 5, 0, 0, 0, 7};
    RegSetValueExA(h, "xrvc", 0, REG_BINARY, (const BYTE*)stored, 32);
    BYTE mrle[3] = {1, 2, 3};
    RegSetValueExA(h, "mrle", 0, REG_BINARY, mrle, 3);
    RegCloseKey(h);
    ASSERT_TRUE(s.LoadCodecState(xrvc, &block, &size));
    ASSERT_EQ(32u, size);
    EXPECT_EQ(0, memcmp(stored, block, 32));
    delete[] block;
    ASSERT_TRUE(s.LoadCodecState(other, &block, &size));
    ASSERT_EQ(3u, size);
    EXPECT_EQ(0, memcmp(mrle, block, 3));
    delete[] block;
}

} // namespace
