#include "platform/swfwriter/SwfFileWriter.h"
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

namespace swf {

namespace {

const int kTagEnd = 0;
const int kTagShowFrame = 1;
const int kTagSetBackgroundColor = 9;
const int kTagSoundStreamBlock = 19;
const int kTagPlaceObject2 = 26;
const int kTagSoundStreamHead2 = 45;
const int kTagDefineVideoStream = 60;
const int kTagVideoFrame = 61;
const int kSwfVersion = 7;
const int kCodecScreenVideo = 3;
const int kBlock = 64;
const uint16_t kVideoId = 1;

void Append16(std::string* s, uint16_t v)
{
    s->push_back((char)(v & 0xFF));
    s->push_back((char)(v >> 8));
}

void Append32(std::string* s, uint32_t v)
{
    Append16(s, (uint16_t)v);
    Append16(s, (uint16_t)(v >> 16));
}

// A big-endian bit writer for RECT records and the video header.
class Bits {
public:
    void Put(uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            m_byte = (uint8_t)((m_byte << 1) | ((value >> i) & 1));
            if (++m_used == 8)
                Flush();
        }
    }
    std::string Take()
    {
        if (m_used)
            Put(0, 8 - m_used);
        return m_out;
    }

private:
    void Flush()
    {
        m_out.push_back((char)m_byte);
        m_byte = 0;
        m_used = 0;
    }
    std::string m_out;
    uint8_t m_byte = 0;
    int m_used = 0;
};

// The step sizes of IMA ADPCM, and how the SWF variant moves through them
// for each code size (2..5 bits; the sign bit is not part of the index).
const int kAdpcmSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
const int kAdpcmIndexMoves[4][16] = {
    {-1, 2},
    {-1, -1, 2, 4},
    {-1, -1, -1, -1, 2, 4, 6, 8},
    {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16},
};
const int kAdpcmPacketSamples = 4096;   // an initial sample and 4095 codes a packet

int SoundRateCode(uint32_t rate)
{
    switch (rate) {
    case 5512: return 0;
    case 11025: return 1;
    case 22050: return 2;
    case 44100: return 3;
    default: return -1;
    }
}

}  // namespace

CSwfFileWriter::CSwfFileWriter() {}

CSwfFileWriter::~CSwfFileWriter() {}

bool CSwfFileWriter::Put(const std::string& bytes)
{
    if (m_failed || fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        m_failed = true;
        return false;
    }
    return true;
}

bool CSwfFileWriter::WriteTag(int code, const std::string& body)
{
    std::string tag;
    if (body.size() < 0x3F) {
        Append16(&tag, (uint16_t)((code << 6) | (int)body.size()));
    } else {
        Append16(&tag, (uint16_t)((code << 6) | 0x3F));
        Append32(&tag, (uint32_t)body.size());
    }
    return Put(tag + body);
}

bool CSwfFileWriter::Open(FILE* file, const MovieSettings& settings, std::string* error)
{
    if (m_open || !file) {
        *error = "no file, or the writer is already open";
        return false;
    }
    if (settings.width < 1 || settings.width > 4095 || settings.height < 1 || settings.height > 4095) {
        *error = "frame size outside 1..4095";
        return false;
    }
    if (settings.frameRate < 1 || settings.frameRate > 255 || settings.keyFrameEvery < 0) {
        *error = "frame rate outside 1..255";
        return false;
    }
    if (settings.soundRate && (SoundRateCode(settings.soundRate) < 0 ||
                               (settings.soundChannels != 1 && settings.soundChannels != 2) ||
                               (settings.soundBits != 8 && settings.soundBits != 16) ||
                               (settings.soundAdpcmBits != 0 &&
                                (settings.soundAdpcmBits < 2 || settings.soundAdpcmBits > 5)))) {
        *error = "sound format SWF cannot carry";
        return false;
    }
    m_file = file;
    m_s = settings;
    m_failed = false;
    m_frames = 0;
    m_sound.clear();
    m_soundSent = 0;
    m_soundFrameBytes = (uint32_t)(settings.soundChannels * settings.soundBits / 8);
    m_adpcmIndex[0] = m_adpcmIndex[1] = 0;
    m_prev.assign((size_t)settings.width * settings.height * 3, 0);
    m_cur = m_prev;

    // Header: signature, version, length (filled in at Close), frame RECT in
    // twips, frame rate (8.8) and frame count (filled in at Close).
    const uint32_t twipsW = (uint32_t)settings.width * 20, twipsH = (uint32_t)settings.height * 20;
    int nbits = 1;
    while ((1u << (nbits - 1)) <= (twipsW > twipsH ? twipsW : twipsH))
        ++nbits;
    Bits rect;
    rect.Put((uint32_t)nbits, 5);
    rect.Put(0, nbits);
    rect.Put(twipsW, nbits);
    rect.Put(0, nbits);
    rect.Put(twipsH, nbits);
    std::string header = "FWS";
    header.push_back((char)kSwfVersion);
    Append32(&header, 0);
    header += rect.Take();
    Append16(&header, (uint16_t)(settings.frameRate << 8));
    m_frameCountAt = (long)header.size();
    Append16(&header, 0);
    if (!Put(header))
        return false;

    std::string background;
    background.push_back((char)(settings.background & 0xFF));
    background.push_back((char)((settings.background >> 8) & 0xFF));
    background.push_back((char)((settings.background >> 16) & 0xFF));
    WriteTag(kTagSetBackgroundColor, background);
    if (settings.soundRate) {
        const int code = SoundRateCode(settings.soundRate);
        // ADPCM decodes to 16-bit samples.
        const bool adpcm = settings.soundAdpcmBits != 0;
        const int format = adpcm ? 1 : settings.soundBits == 16 ? 3 : 0;
        const bool wide = adpcm || settings.soundBits == 16;
        const uint8_t bits = (uint8_t)((code << 2) | (wide << 1) | (settings.soundChannels == 2));
        std::string head;
        head.push_back((char)bits);
        head.push_back((char)((format << 4) | bits));
        Append16(&head, (uint16_t)(settings.soundRate / (uint32_t)settings.frameRate));
        WriteTag(kTagSoundStreamHead2, head);
    }
    std::string video;
    Append16(&video, kVideoId);
    m_videoFramesAt = (long)ftell(m_file) + 6 + 2;     // long tag header, then the id
    Append16(&video, 0);                               // frame count, filled in at Close
    Append16(&video, (uint16_t)settings.width);
    Append16(&video, (uint16_t)settings.height);
    video.push_back(settings.smoothing ? 1 : 0);       // no deblocking; smoothing as asked
    video.push_back((char)kCodecScreenVideo);
    // Written in the long form, so that its fields lie where Close expects.
    std::string tag;
    Append16(&tag, (uint16_t)((kTagDefineVideoStream << 6) | 0x3F));
    Append32(&tag, (uint32_t)video.size());
    Put(tag + video);
    // The video character on depth 1.
    std::string place;
    place.push_back(0x06);                             // has character, has matrix
    Append16(&place, 1);
    Append16(&place, kVideoId);
    place.push_back(0);                                // identity matrix
    WriteTag(kTagPlaceObject2, place);
    if (m_failed) {
        *error = "cannot write the movie header";
        return false;
    }
    m_open = true;
    return true;
}

bool CSwfFileWriter::AddSound(const uint8_t* data, size_t size)
{
    if (!m_open || !m_s.soundRate || (size && !data) || size % m_soundFrameBytes)
        return false;
    m_sound.append((const char*)data, size);
    return true;
}

// The sound due by the end of the frame being written (everything when
// `last`), in whole sample frames.
std::string CSwfFileWriter::SoundBlock(bool last)
{
    const uint64_t due = (uint64_t)(m_frames + 1) * m_s.soundRate / (uint64_t)m_s.frameRate;
    uint64_t want = due > m_soundSent ? due - m_soundSent : 0;
    uint64_t have = m_sound.size() / m_soundFrameBytes;
    if (last || want > have)
        want = have;
    if (m_s.soundAdpcmBits)
        want = AdpcmWholeSamples((size_t)want, last);
    std::string block = m_sound.substr(0, (size_t)(want * m_soundFrameBytes));
    m_sound.erase(0, block.size());
    const bool first = m_soundSent == 0;
    m_soundSent += want;
    if (m_s.soundAdpcmBits && !block.empty())
        return AdpcmBlock(block, first);
    return block;
}

// A block's bits end in padding to the byte; a decoder takes padding as
// wide as a sample's codes for one more sample. So a block holds a count of
// samples whose padding is narrower (the rest waits for the next block);
// the last block is made up to such a count by AdpcmBlock instead.
size_t CSwfFileWriter::AdpcmWholeSamples(size_t samples, bool last) const
{
    if (last)
        return samples;
    const uint64_t ch = (uint64_t)m_s.soundChannels, code = (uint64_t)m_s.soundAdpcmBits;
    for (size_t n = samples; n > 0 && samples - n < 8; --n) {
        const uint64_t packets = (n + kAdpcmPacketSamples - 1) / kAdpcmPacketSamples;
        const uint64_t bits = 2 + packets * 22 * ch + (n - packets) * code * ch;
        if ((8 - bits % 8) % 8 < code * ch)
            return n;
    }
    return 0;
}

// SWF ADPCM: a 2-bit code size, then packets of 4096 samples, each with
// every channel's first sample (16 bits) and step index (6 bits) followed by
// 4095 codes per channel, interleaved; bits are written high first. The
// encoder follows the decoder's arithmetic exactly, so that its prediction
// stays in step with what players reconstruct.
std::string CSwfFileWriter::AdpcmBlock(const std::string& pcm, bool first)
{
    const int ch = m_s.soundChannels, code = m_s.soundAdpcmBits;
    const size_t frameBytes = m_soundFrameBytes;
    std::vector<int> samples;
    samples.reserve(pcm.size() / frameBytes * ch);
    for (size_t i = 0; i + frameBytes <= pcm.size(); i += frameBytes)
        for (int c = 0; c < ch; ++c) {
            if (m_s.soundBits == 16) {
                const uint8_t* p = (const uint8_t*)pcm.data() + i + 2 * c;
                samples.push_back((int16_t)(uint16_t)(p[0] | (p[1] << 8)));
            } else {
                samples.push_back(((int)(uint8_t)pcm[i + c] - 128) * 256);
            }
        }
    // Repeats the last sample until the padding is narrower than a sample.
    for (;;) {
        const uint64_t n = samples.size() / ch;
        const uint64_t packets = (n + kAdpcmPacketSamples - 1) / kAdpcmPacketSamples;
        const uint64_t bits = 2 + packets * 22 * ch + (n - packets) * code * ch;
        if ((8 - bits % 8) % 8 < (uint64_t)(code * ch))
            break;
        for (int c = 0; c < ch; ++c)
            samples.push_back(samples[samples.size() - ch]);
    }
    const int* moves = kAdpcmIndexMoves[code - 2];
    const int signBit = 1 << (code - 1);
    const int topBit = 1 << (code - 2);
    Bits out;
    out.Put((uint32_t)(code - 2), 2);
    int predictor[2] = {0, 0};
    const size_t frames = samples.size() / ch;
    for (size_t f = 0; f < frames; ++f) {
        if (f % kAdpcmPacketSamples == 0) {
            for (int c = 0; c < ch; ++c) {
                predictor[c] = samples[f * ch + c];
                // The sound's first packet starts at the step that fits its
                // first change; later ones go on from the last step. A
                // packet header holds indexes up to 63 only: the encoder
                // goes on from what the decoder will read.
                if (first && f == 0 && frames > 1) {
                    const int change = abs(samples[ch + c] - samples[c]);
                    int index = 0;
                    while (index < 63 && kAdpcmSteps[index] * 2 < change)
                        ++index;
                    m_adpcmIndex[c] = index;
                }
                if (m_adpcmIndex[c] > 63)
                    m_adpcmIndex[c] = 63;
                out.Put((uint32_t)(uint16_t)(int16_t)predictor[c], 16);
                out.Put((uint32_t)m_adpcmIndex[c], 6);
            }
            continue;
        }
        for (int c = 0; c < ch; ++c) {
            int step = kAdpcmSteps[m_adpcmIndex[c]];
            int diff = samples[f * ch + c] - predictor[c];
            int delta = 0;
            if (diff < 0) {
                delta = signBit;
                diff = -diff;
            }
            int change = 0;
            for (int k = topBit; k; k >>= 1) {
                if (diff >= step) {
                    delta |= k;
                    diff -= step;
                    change += step;
                }
                step >>= 1;
            }
            change += step;
            predictor[c] += (delta & signBit) ? -change : change;
            if (predictor[c] > 32767)
                predictor[c] = 32767;
            if (predictor[c] < -32768)
                predictor[c] = -32768;
            int index = m_adpcmIndex[c] + moves[delta & ~signBit];
            m_adpcmIndex[c] = index < 0 ? 0 : index > 88 ? 88 : index;
            out.Put((uint32_t)delta, code);
        }
    }
    return out.Take();
}

std::string CSwfFileWriter::EncodeFrame(const uint8_t* dib, bool key)
{
    const int w = m_s.width, h = m_s.height;
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = dib + (size_t)y * w * 4;
        uint8_t* dst = &m_cur[(size_t)y * w * 3];
        for (int x = 0; x < w; ++x) {
            dst[3 * x] = src[4 * x];
            dst[3 * x + 1] = src[4 * x + 1];
            dst[3 * x + 2] = src[4 * x + 2];
        }
    }
    Bits header;
    header.Put(kBlock / 16 - 1, 4);
    header.Put((uint32_t)w, 12);
    header.Put(kBlock / 16 - 1, 4);
    header.Put((uint32_t)h, 12);
    std::string out;
    Append16(&out, kVideoId);
    Append16(&out, (uint16_t)m_frames);
    // The frame-type and codec byte of FLV video data (1: key frame, 2:
    // inter frame; codec 3) comes before the Screen Video packet: readers
    // skip one byte there (ffmpeg 5.1 misreads every frame without it).
    out.push_back((char)(((key ? 1 : 2) << 4) | kCodecScreenVideo));
    out += header.Take();
    std::vector<uint8_t> raw;
    std::vector<uint8_t> packed;
    // Blocks run left to right in rows from the bottom of the picture; each
    // block's rows run from its bottom too, as the DIB's do.
    for (int by = 0; by < h; by += kBlock) {
        const int bh = by + kBlock <= h ? kBlock : h - by;
        for (int bx = 0; bx < w; bx += kBlock) {
            const int bw = bx + kBlock <= w ? kBlock : w - bx;
            bool changed = key;
            raw.clear();
            for (int y = by; y < by + bh; ++y) {
                const size_t at = ((size_t)y * w + bx) * 3;
                if (!changed && memcmp(&m_cur[at], &m_prev[at], (size_t)bw * 3) != 0)
                    changed = true;
                raw.insert(raw.end(), m_cur.begin() + at, m_cur.begin() + at + (size_t)bw * 3);
            }
            if (!changed) {
                out.push_back(0);
                out.push_back(0);
                continue;
            }
            uLongf size = compressBound((uLong)raw.size());
            packed.resize(size);
            if (compress2(packed.data(), &size, raw.data(), (uLong)raw.size(), 6) != Z_OK || size > 0xFFFF)
                return std::string();
            out.push_back((char)(size >> 8));
            out.push_back((char)(size & 0xFF));
            out.append((const char*)packed.data(), size);
        }
    }
    m_prev.swap(m_cur);
    return out;
}

bool CSwfFileWriter::WriteFrame(const uint8_t* dib)
{
    if (!m_open || m_failed || !dib || m_frames >= 0xFFFE)
        return false;
    const bool key = m_frames == 0 || (m_s.keyFrameEvery > 0 && m_frames % m_s.keyFrameEvery == 0);
    std::string frame = EncodeFrame(dib, key);
    if (frame.empty()) {
        m_failed = true;
        return false;
    }
    WriteTag(kTagVideoFrame, frame);
    if (m_s.soundRate) {
        std::string block = SoundBlock(false);
        if (!block.empty())
            WriteTag(kTagSoundStreamBlock, block);
    }
    // Moves the video on to this frame (the ratio is the frame number).
    std::string place;
    place.push_back(0x11);                             // move, has ratio
    Append16(&place, 1);
    Append16(&place, (uint16_t)m_frames);
    WriteTag(kTagPlaceObject2, place);
    WriteTag(kTagShowFrame, std::string());
    ++m_frames;
    return !m_failed;
}

bool CSwfFileWriter::Close(std::string* error)
{
    if (!m_open) {
        *error = "the writer is not open";
        return false;
    }
    m_open = false;
    int shown = m_frames;
    if (m_s.soundRate && !m_sound.empty() && !m_failed) {
        // Sound beyond the last frame goes with one more frame showing the
        // same picture, so that none of it is lost.
        WriteTag(kTagSoundStreamBlock, SoundBlock(true));
        WriteTag(kTagShowFrame, std::string());
        ++shown;
    }
    WriteTag(kTagEnd, std::string());
    const long length = ftell(m_file);
    std::string patch;
    bool ok = !m_failed && length > 0;
    if (ok) {
        patch.clear();
        Append32(&patch, (uint32_t)length);
        ok = fseek(m_file, 4, SEEK_SET) == 0 && fwrite(patch.data(), 1, 4, m_file) == 4;
    }
    if (ok) {
        patch.clear();
        Append16(&patch, (uint16_t)shown);
        Append16(&patch, (uint16_t)m_frames);
        ok = fseek(m_file, m_frameCountAt, SEEK_SET) == 0 && fwrite(patch.data(), 1, 2, m_file) == 2 &&
             fseek(m_file, m_videoFramesAt, SEEK_SET) == 0 && fwrite(patch.data() + 2, 1, 2, m_file) == 2;
    }
    ok = ok && fflush(m_file) == 0;
    if (!ok)
        *error = "cannot finish the movie";
    return ok;
}

}  // namespace swf
