#include "recovery/AviRebuild.h"

#include <math.h>
#include <string.h>

namespace avirebuild {

namespace {

const uint32_t kRiff = FourCC('R', 'I', 'F', 'F');
const uint32_t kList = FourCC('L', 'I', 'S', 'T');
const uint32_t kAvi = FourCC('A', 'V', 'I', ' ');
const uint32_t kMovi = FourCC('m', 'o', 'v', 'i');
const uint32_t kVideoDib = FourCC('0', '0', 'd', 'b');
const uint32_t kVideoCompressed = FourCC('0', '0', 'd', 'c');
const uint32_t kXrvc = FourCC('x', 'r', 'v', 'c');
const uint32_t kAviIfKeyFrame = 0x10;
const uint32_t kAviFHasIndex = 0x10;
const uint32_t kAviFIsInterleaved = 0x100;
// A RIFF file's sizes are 32-bit: the output stays below this.
const uint64_t kMaxOutput = 0xFFF00000ull;

uint32_t Get32(const uint8_t* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

uint16_t Get16(const uint8_t* p)
{
    return (uint16_t)(p[0] | (p[1] << 8));
}

void Put32(std::vector<uint8_t>& v, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back((uint8_t)(x >> (8 * i)));
}

void Put16(std::vector<uint8_t>& v, uint16_t x)
{
    v.push_back((uint8_t)x);
    v.push_back((uint8_t)(x >> 8));
}

bool IsVideoId(uint32_t id)
{
    return id == kVideoDib || id == kVideoCompressed;
}

bool IsAudioId(uint32_t id)
{
    const uint8_t a = (uint8_t)id, b = (uint8_t)(id >> 8);
    return a >= '0' && a <= '9' && b >= '0' && b <= '9' && (id >> 16) == ('w' | ('b' << 8));
}

// Four printable characters: what every chunk id of an AVI is made of.
bool IsPrintableId(uint32_t id)
{
    for (int i = 0; i < 4; ++i) {
        const uint8_t c = (uint8_t)(id >> (8 * i));
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

struct VideoFacts {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t compression = 0;
};

bool ReadVideoFacts(const RebuildFormat& format, VideoFacts* facts)
{
    if (format.videoFormat.size() < 40 || Get32(format.videoFormat.data()) < 40)
        return false;
    const uint8_t* b = format.videoFormat.data();
    facts->width = (int32_t)Get32(b + 4);
    const int32_t h = (int32_t)Get32(b + 8);
    facts->height = h < 0 ? -h : h;
    facts->compression = Get32(b + 16);
    return facts->width > 0 && facts->height > 0 && facts->width <= 32768 && facts->height <= 32768;
}

bool AudioUsable(const RebuildFormat& format)
{
    if (format.audioFormat.size() < 16)
        return false;
    const uint8_t* w = format.audioFormat.data();
    return Get16(w + 2) > 0 && Get32(w + 8) > 0 && Get16(w + 12) > 0;
}

// The largest chunk of either kind the walk accepts.
bool ChunkFits(uint32_t id, uint32_t size, uint64_t at, uint64_t fileSize, const RebuildFormat& format)
{
    if (at + 8 + (uint64_t)size > fileSize)
        return false;
    if (IsVideoId(id) && format.maxFrameBytes && size > format.maxFrameBytes)
        return false;
    if (IsVideoId(id) && format.exactFrameBytes && size != 0 && size != format.maxFrameBytes)
        return false;
    return true;
}

// The 'movi' list of an intact RIFF header, by the top-level chunk sizes.
bool FindMoviByHeader(ByteSource& in, uint64_t* offset)
{
    const uint64_t size = in.Size();
    uint8_t head[12];
    if (size < 12 || !in.Read(0, head, 12) || Get32(head) != kRiff || Get32(head + 8) != kAvi)
        return false;
    uint64_t at = 12;
    for (int guard = 0; guard < 64 && at + 12 <= size; ++guard) {
        uint8_t h[12];
        if (!in.Read(at, h, 12))
            return false;
        const uint32_t id = Get32(h), chunk = Get32(h + 4);
        if (id == kList && Get32(h + 8) == kMovi) {
            *offset = at + 12;
            return true;
        }
        if (!IsPrintableId(id))
            return false;
        at += 8 + (uint64_t)chunk + (chunk & 1);
    }
    return false;
}

}  // namespace

bool MemorySource::Read(uint64_t at, void* buffer, size_t n)
{
    if (at > m_bytes.size() || n > m_bytes.size() - at)
        return false;
    memcpy(buffer, m_bytes.data() + at, n);
    return true;
}

bool MemorySink::Append(const void* data, size_t n)
{
    m_bytes.append((const char*)data, n);
    return true;
}

bool MemorySink::WriteAt(uint64_t at, const void* data, size_t n)
{
    if (at > m_bytes.size() || n > m_bytes.size() - at)
        return false;
    memcpy(&m_bytes[at], data, n);
    return true;
}

bool FindFirstChunk(ByteSource& in, const RebuildFormat& format, uint64_t* offset)
{
    const uint64_t size = in.Size();
    uint64_t movi = 0;
    if (FindMoviByHeader(in, &movi)) {
        // The first frame or sound chunk of the list (index chunks and
        // padding before it are passed over by their sizes).
        uint64_t at = movi;
        for (int guard = 0; guard < 1024 && at + 8 <= size; ++guard) {
            uint8_t h[8];
            if (!in.Read(at, h, 8))
                break;
            const uint32_t id = Get32(h), chunk = Get32(h + 4);
            if ((IsVideoId(id) || IsAudioId(id)) && ChunkFits(id, chunk, at, size, format)) {
                *offset = at;
                return true;
            }
            if (id == kList) {
                at += 12;
                continue;
            }
            if (!IsPrintableId(id) || at + 8 + (uint64_t)chunk > size)
                break;
            at += 8 + (uint64_t)chunk + (chunk & 1);
        }
    }
    // The header is gone: scan block by block for a chunk whose size fits
    // the file and which another chunk (or the end of the file) follows.
    const size_t kBlock = 1 << 16;
    std::vector<uint8_t> block(kBlock + 8);
    for (uint64_t base = 0; base + 8 <= size; base += kBlock) {
        const size_t n = (size_t)((size - base) < (uint64_t)kBlock + 8 ? size - base : (uint64_t)kBlock + 8);
        if (!in.Read(base, block.data(), n))
            return false;
        for (size_t i = 0; i + 8 <= n && i < kBlock; ++i) {
            const uint32_t id = Get32(&block[i]);
            if (!IsVideoId(id) && !IsAudioId(id))
                continue;
            const uint32_t chunk = Get32(&block[i + 4]);
            const uint64_t at = base + i;
            if (!ChunkFits(id, chunk, at, size, format))
                continue;
            const uint64_t next = at + 8 + chunk + (chunk & 1);
            bool followed = next + 8 > size;
            if (!followed) {
                uint8_t h[8];
                followed = in.Read(next, h, 8) && IsPrintableId(Get32(h));
            }
            if (followed) {
                *offset = at;
                return true;
            }
        }
    }
    return false;
}

namespace {

// The header of the new file: RIFF, hdrl with the main header and one
// stream list per stream, and the head of the movi list. The same size
// whatever the counts, so that it is written first and again at the end.
std::vector<uint8_t> BuildHeader(const RebuildFormat& format, const VideoFacts& video, bool audio,
                                 const RebuildResult& r, uint32_t maxChunk, uint32_t riffSize, uint32_t moviSize)
{
    std::vector<uint8_t> h;
    const size_t vf = format.videoFormat.size();
    const size_t af = audio ? format.audioFormat.size() : 0;
    const uint32_t videoStrl = 4 + 8 + 56 + 8 + (uint32_t)(vf + (vf & 1));
    const uint32_t audioStrl = audio ? 4 + 8 + 56 + 8 + (uint32_t)(af + (af & 1)) : 0;
    const uint32_t hdrl = 4 + 8 + 56 + 8 + videoStrl + (audio ? 8 + audioStrl : 0);

    Put32(h, kRiff);
    Put32(h, riffSize);
    Put32(h, kAvi);
    Put32(h, kList);
    Put32(h, hdrl);
    Put32(h, FourCC('h', 'd', 'r', 'l'));
    // Main header.
    Put32(h, FourCC('a', 'v', 'i', 'h'));
    Put32(h, 56);
    Put32(h, (uint32_t)((uint64_t)format.scale * 1000000u / format.rate));
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, kAviFHasIndex | (audio ? kAviFIsInterleaved : 0));
    Put32(h, r.frames);
    Put32(h, 0);
    Put32(h, audio ? 2 : 1);
    Put32(h, maxChunk);
    Put32(h, (uint32_t)video.width);
    Put32(h, (uint32_t)video.height);
    for (int i = 0; i < 4; ++i)
        Put32(h, 0);
    // Video stream.
    Put32(h, kList);
    Put32(h, videoStrl);
    Put32(h, FourCC('s', 't', 'r', 'l'));
    Put32(h, FourCC('s', 't', 'r', 'h'));
    Put32(h, 56);
    Put32(h, FourCC('v', 'i', 'd', 's'));
    Put32(h, format.handler);
    Put32(h, 0);   // flags
    Put16(h, 0);   // priority
    Put16(h, 0);   // language
    Put32(h, 0);   // initial frames
    Put32(h, format.scale);
    Put32(h, format.rate);
    Put32(h, 0);   // start
    Put32(h, r.frames);
    Put32(h, maxChunk);
    Put32(h, 0xFFFFFFFFu);   // quality
    Put32(h, 0);             // sample size
    Put16(h, 0);
    Put16(h, 0);
    Put16(h, (uint16_t)video.width);
    Put16(h, (uint16_t)video.height);
    Put32(h, FourCC('s', 't', 'r', 'f'));
    Put32(h, (uint32_t)vf);
    h.insert(h.end(), format.videoFormat.begin(), format.videoFormat.end());
    if (vf & 1)
        h.push_back(0);
    if (audio) {
        const uint8_t* w = format.audioFormat.data();
        const uint16_t block = Get16(w + 12);
        Put32(h, kList);
        Put32(h, audioStrl);
        Put32(h, FourCC('s', 't', 'r', 'l'));
        Put32(h, FourCC('s', 't', 'r', 'h'));
        Put32(h, 56);
        Put32(h, FourCC('a', 'u', 'd', 's'));
        Put32(h, 0);
        Put32(h, 0);
        Put16(h, 0);
        Put16(h, 0);
        Put32(h, 0);
        Put32(h, block);
        Put32(h, Get32(w + 8));
        Put32(h, 0);
        Put32(h, (uint32_t)(r.audioBytes / block));
        Put32(h, maxChunk);
        Put32(h, 0xFFFFFFFFu);
        Put32(h, block);
        for (int i = 0; i < 4; ++i)
            Put16(h, 0);
        Put32(h, FourCC('s', 't', 'r', 'f'));
        Put32(h, (uint32_t)af);
        h.insert(h.end(), format.audioFormat.begin(), format.audioFormat.end());
        if (af & 1)
            h.push_back(0);
    }
    Put32(h, kList);
    Put32(h, moviSize);
    Put32(h, kMovi);
    return h;
}

}  // namespace

bool RebuildAvi(ByteSource& in, ByteSink& out, const RebuildFormat& format, RebuildResult* result,
                const RebuildProgress& progress, std::string* error)
{
    RebuildResult r;
    VideoFacts video;
    std::string why;
    auto fail = [&](const char* text) {
        if (error)
            *error = text;
        if (result)
            *result = r;
        return false;
    };
    if (!ReadVideoFacts(format, &video))
        return fail("the video format is not usable");
    if (format.rate == 0 || format.scale == 0)
        return fail("the frame rate is not usable");
    const bool audio = AudioUsable(format);
    const uint64_t size = in.Size();
    if (!FindFirstChunk(in, format, &r.firstChunk))
        return fail("no frame chunk was found");

    const std::vector<uint8_t> placeholder = BuildHeader(format, video, audio, r, 0, 0, 0);
    const uint64_t start = out.Position();
    if (!out.Append(placeholder.data(), placeholder.size()))
        return fail("the new file cannot be written");
    const uint64_t moviId = start + placeholder.size() - 4;   // idx1 offsets count from here

    std::vector<uint8_t> index;
    std::vector<uint8_t> chunk;
    uint32_t maxChunk = 0;
    uint32_t chunks = 0;
    uint64_t at = r.firstChunk;
    int lastPercent = -1;
    const uint16_t audioBlock = audio ? Get16(format.audioFormat.data() + 12) : 1;
    while (at + 8 <= size && chunks < format.maxChunks) {
        uint8_t h[8];
        if (!in.Read(at, h, 8))
            return fail("the damaged file cannot be read");
        const uint32_t id = Get32(h), n = Get32(h + 4);
        if (id == kList) {
            // A list inside the frames ('rec ' groups): its chunks follow.
            if (at + 12 > size || n < 4 || at + 8 + (uint64_t)n > size)
                break;
            at += 12;
            continue;
        }
        if (!IsPrintableId(id) || !ChunkFits(id, n, at, size, format))
            break;   // garbage or a cut chunk: the recording ends here
        const uint64_t next = at + 8 + n + (n & 1);
        const bool isVideo = IsVideoId(id);
        const bool isAudio = audio && IsAudioId(id);
        if (isVideo || isAudio) {
            const uint64_t growth = 8 + (uint64_t)n + (n & 1) + 16;
            if (out.Position() + growth + index.size() + 8 > start + kMaxOutput)
                break;   // the rest does not fit one RIFF file
            chunk.resize(8 + (size_t)n + (n & 1));
            if (!in.Read(at + 8, chunk.data() + 8, n))
                return fail("the damaged file cannot be read");
            if (n & 1)
                chunk[8 + n] = 0;
            const uint32_t outId = isVideo ? id : FourCC('0', '1', 'w', 'b');
            memcpy(chunk.data(), &h, 8);
            for (int i = 0; i < 4; ++i)
                chunk[i] = (uint8_t)(outId >> (8 * i));
            uint32_t flags = 0;
            if (isVideo) {
                bool key = n > 0;
                if (key && id == kVideoCompressed && video.compression == kXrvc)
                    key = (chunk[8] & 1) != 0;
                if (key) {
                    flags = kAviIfKeyFrame;
                    ++r.keyFrames;
                }
                ++r.frames;
            } else {
                // Whole blocks only: a partial sample is not sound.
                if (n % audioBlock) {
                    at = next;
                    continue;
                }
                flags = kAviIfKeyFrame;
                ++r.audioChunks;
                r.audioBytes += n;
            }
            const uint64_t offset = out.Position() - moviId;
            if (!out.Append(chunk.data(), chunk.size()))
                return fail("the new file cannot be written");
            Put32(index, outId);
            Put32(index, flags);
            Put32(index, (uint32_t)offset);
            Put32(index, n);
            if (n > maxChunk)
                maxChunk = n;
            ++chunks;
        }
        at = next;
        if (progress && size) {
            const int percent = (int)(at * 100 / size);
            if (percent != lastPercent) {
                lastPercent = percent;
                if (!progress(percent > 100 ? 100 : percent))
                    return fail("cancelled");
            }
        }
    }
    r.walkedTo = at > size ? size : at;
    if (r.frames == 0)
        return fail("no frame chunk was found");

    std::vector<uint8_t> tail;
    Put32(tail, FourCC('i', 'd', 'x', '1'));
    Put32(tail, (uint32_t)index.size());
    const uint64_t moviEnd = out.Position();
    if (!out.Append(tail.data(), tail.size()) || (!index.empty() && !out.Append(index.data(), index.size())))
        return fail("the new file cannot be written");
    const uint64_t end = out.Position();
    const std::vector<uint8_t> header =
        BuildHeader(format, video, audio, r, maxChunk, (uint32_t)(end - start - 8), (uint32_t)(moviEnd - moviId));
    if (header.size() != placeholder.size() || !out.WriteAt(start, header.data(), header.size()))
        return fail("the new file cannot be written");
    if (result)
        *result = r;
    return true;
}

bool RateFromFps(double fps, uint32_t* rate, uint32_t* scale)
{
    if (!(fps > 0.0) || !(fps < 1e9))
        return false;
    // The simplest fraction within the rounding of six decimals: the
    // convergents of the continued fraction, until one is close enough.
    const double tolerance = 5.1e-7;
    uint64_t p0 = 0, q0 = 1, p1 = 1, q1 = 0;
    double x = fps;
    for (int i = 0; i < 40; ++i) {
        const double a = floor(x);
        const uint64_t ai = (uint64_t)a;
        const uint64_t p2 = ai * p1 + p0, q2 = ai * q1 + q0;
        if (p2 > 0xFFFFFFFFull || q2 > 0xFFFFFFFFull)
            break;
        p0 = p1;
        q0 = q1;
        p1 = p2;
        q1 = q2;
        if (fabs((double)p1 / (double)q1 - fps) <= tolerance || x - a < 1e-12)
            break;
        x = 1.0 / (x - a);
    }
    if (p1 == 0 || q1 == 0) {
        // Below the smallest step of a 32-bit scale.
        return false;
    }
    *rate = (uint32_t)p1;
    *scale = (uint32_t)q1;
    return true;
}

bool ParseWaveLayout(const uint8_t* head, size_t n, uint32_t* dataOffset, uint16_t* blockAlign)
{
    if (n < 44 || Get32(head) != kRiff || Get32(head + 8) != FourCC('W', 'A', 'V', 'E') ||
        Get32(head + 12) != FourCC('f', 'm', 't', ' '))
        return false;
    const uint32_t fmt = Get32(head + 16);
    if (fmt < 16 || fmt > 1024)
        return false;
    const uint64_t data = 20 + (uint64_t)fmt + (fmt & 1);
    if (data + 8 > n || Get32(head + data) != FourCC('d', 'a', 't', 'a'))
        return false;
    // The block alignment of the WAVEFORMATEX (byte 32 of the file).
    const uint16_t block = Get16(head + 32);
    if (block == 0)
        return false;
    *dataOffset = (uint32_t)data + 8;
    *blockAlign = block;
    return true;
}

}  // namespace avirebuild
