#include "media/AudioMix.h"

#include "MediaTestUtil.h"

#include <gtest/gtest.h>
#include <string.h>

namespace {

short Mix16(short input, short sound, int divisor)
{
    BYTE buffer[2], s[2];
    memcpy(buffer, &input, 2);
    memcpy(s, &sound, 2);
    MixSound(buffer, s, 2, 16, divisor);
    short out;
    memcpy(&out, buffer, 2);
    return out;
}

BYTE Mix8(BYTE input, BYTE sound, int divisor)
{
    MixSound(&input, &sound, 1, 8, divisor);
    return input;
}

}  // namespace

TEST(AudioMix, SixteenBitMixClipsInsteadOfWrapping)
{
    struct Case {
        short input, sound;
        int divisor;
        short expected;
    } cases[] = {
        {1000, 2000, 2, 1500},
        {-1000, -2000, 2, -1500},
        {30000, 30000, 1, 32767},      // 15000 + 30000 would wrap to a negative sample
        {-30000, -30000, 1, -32768},
        {32767, 32767, 2, 32766},
        {0, 0, 1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, Mix16(c.input, c.sound, c.divisor))
            << "input " << c.input << " sound " << c.sound << " divisor " << c.divisor;
}

TEST(AudioMix, EightBitMixKeepsSilenceAtTheMidpoint)
{
    struct Case {
        BYTE input, sound;
        int divisor;
        BYTE expected;
    } cases[] = {
        {128, 128, 2, 128},
        {128, 128, 1, 128},    // an already halved buffer: no offset of 64 added
        {128, 255, 1, 191},
        {128, 0, 1, 64},
        {255, 255, 1, 255},    // clipped
        {0, 0, 1, 0},
        {200, 128, 2, 164},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, Mix8(c.input, c.sound, c.divisor))
            << "input " << int(c.input) << " sound " << int(c.sound) << " divisor " << c.divisor;
}

TEST(AudioMix, HalfAndHalfMixOfTheScript)
{
    BYTE buffer8[] = {128, 255, 0, 200};
    const BYTE script8[] = {128, 255, 0, 100};
    MixHalfAndHalf(buffer8, script8, 4, 8);
    EXPECT_EQ(128, buffer8[0]);
    EXPECT_EQ(254, buffer8[1]);
    EXPECT_EQ(0, buffer8[2]);
    EXPECT_EQ(150, buffer8[3]);

    short buffer16[] = {32767, -32768, 1000};
    const short script16[] = {32767, -32768, -3000};
    MixHalfAndHalf(reinterpret_cast<BYTE*>(buffer16), reinterpret_cast<const BYTE*>(script16), 6, 16);
    EXPECT_EQ(32766, buffer16[0]);
    EXPECT_EQ(-32768, buffer16[1]);
    EXPECT_EQ(-1000, buffer16[2]);
}

TEST(AudioMix, PeakLevel)
{
    const BYTE quiet8[] = {128, 129, 127, 128};
    const BYTE loud8[] = {128, 0, 200};
    EXPECT_EQ(1, PeakLevel(quiet8, sizeof(quiet8), 8));
    EXPECT_EQ(128, PeakLevel(loud8, sizeof(loud8), 8));
    const short s16[] = {100, -32768, 5000};
    EXPECT_EQ(32768, PeakLevel(reinterpret_cast<const BYTE*>(s16), sizeof(s16), 16));
    EXPECT_EQ(100, PeakLevel(reinterpret_cast<const BYTE*>(s16), 2, 16));
    EXPECT_EQ(0, PeakLevel(reinterpret_cast<const BYTE*>(s16), 0, 16));
}

TEST(AudioMix, PcmGain)
{
    struct Case16 {
        short in;
        int gain;
        short expected;
    } cases16[] = {
        {20000, 200, 32767}, {-20000, 200, -32767}, {1000, 50, 500}, {-1001, 50, -500},
        {-32768, 100, -32767}, {12345, 0, 0}, {30000, 100000, 32767},
        // The factor is a single-precision value: 100 % keeps every sample,
        // 50 % halves even ones exactly, 25 % quarters.
        {8000, 100, 8000}, {1000, 100, 1000}, {-1, 100, -1}, {32767, 100, 32767}, {-8000, 50, -4000},
        {4, 25, 1}, {30000, 150, 32767}, {10, 70, 7},
    };
    const WAVEFORMATEX f16 = mediatest::PcmFormat(22050, 1, 16);
    for (const Case16& c : cases16) {
        short v = c.in;
        ApplyPcmGain(reinterpret_cast<BYTE*>(&v), 2, c.gain, &f16);
        EXPECT_EQ(c.expected, v) << c.in << " at " << c.gain << "%";
    }
    struct Case8 {
        BYTE in;
        int gain;
        BYTE expected;
    } cases8[] = {
        {0, 50, 64}, {255, 200, 255}, {0, 200, 0}, {128, 200, 128}, {192, 50, 160}, {10, 100000, 0},
        {255, 100, 255}, {1, 100, 1}, {129, 100, 129}, {138, 70, 135},
    };
    const WAVEFORMATEX f8 = mediatest::PcmFormat(8000, 1, 8);
    for (const Case8& c : cases8) {
        BYTE v = c.in;
        ApplyPcmGain(&v, 1, c.gain, &f8);
        EXPECT_EQ(c.expected, v) << int(c.in) << " at " << c.gain << "%";
    }
}
