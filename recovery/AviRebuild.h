// The rebuild of a screen AVI whose recording was cut short. A recording
// killed while the Video for Windows file interface wrote it has its header
// (the first 2,048 bytes) still zero and no index, but every frame chunk it
// wrote lies intact in the file. The rebuild finds the first frame or sound
// chunk, walks the chunks one by one with each size checked against the
// file, and copies them as they are (no decoding, no re-encoding) into a new
// AVI whose header carries the format, size and exact playback rate of the
// recording, followed by a legacy index (idx1).
//
// A damaged file is hostile input: a chunk larger than the file, larger than
// a frame of the recording can be, or cut off ends the walk; nothing is
// allocated or sought by a size before it has been checked. Portable C++ (no
// platform headers), so that a host fuzz target exercises it.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace avirebuild {

// Where the damaged file is read from.
class ByteSource {
public:
    virtual ~ByteSource() {}
    virtual uint64_t Size() const = 0;
    // Reads exactly n bytes at the offset; false when it cannot.
    virtual bool Read(uint64_t at, void* buffer, size_t n) = 0;
};

// Where the new file is written: appended, and patched in place at the end.
class ByteSink {
public:
    virtual ~ByteSink() {}
    virtual bool Append(const void* data, size_t n) = 0;
    virtual bool WriteAt(uint64_t at, const void* data, size_t n) = 0;
    virtual uint64_t Position() const = 0;
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(const std::string& bytes) : m_bytes(bytes) {}
    uint64_t Size() const override { return m_bytes.size(); }
    bool Read(uint64_t at, void* buffer, size_t n) override;

private:
    const std::string& m_bytes;
};

class MemorySink : public ByteSink {
public:
    bool Append(const void* data, size_t n) override;
    bool WriteAt(uint64_t at, const void* data, size_t n) override;
    uint64_t Position() const override { return m_bytes.size(); }
    std::string m_bytes;
};

inline uint32_t FourCC(char a, char b, char c, char d)
{
    return (uint32_t)(uint8_t)a | ((uint32_t)(uint8_t)b << 8) | ((uint32_t)(uint8_t)c << 16) |
           ((uint32_t)(uint8_t)d << 24);
}

// What the new file's header says of the recording.
struct RebuildFormat {
    // The video format as the codec gives it (a BITMAPINFOHEADER of 40 bytes
    // and any codec data after it, little-endian); its size, depth and
    // compression go into the stream header.
    std::vector<uint8_t> videoFormat;
    uint32_t handler = 0;     // the stream's codec FourCC (fccHandler); 0 for DIB
    uint32_t rate = 0;        // playback rate = rate / scale frames per second
    uint32_t scale = 0;
    // The sound format (WAVEFORMATEX, 18 bytes or more) of sound chunks in
    // the file; empty: sound chunks are skipped.
    std::vector<uint8_t> audioFormat;
    // A video chunk above this size is not a frame of this recording: the
    // walk ends there. 0: the file's size is the only bound.
    uint32_t maxFrameBytes = 0;
    // Uncompressed frames: every non-empty frame is exactly maxFrameBytes
    // (anything else is not a frame of this format).
    bool exactFrameBytes = false;
    // The walk ends after this many chunks (a bound on the index in memory).
    uint32_t maxChunks = 4u * 1024 * 1024;
};

struct RebuildResult {
    uint32_t frames = 0;        // video chunks copied (empty ones included)
    uint32_t keyFrames = 0;
    uint32_t audioChunks = 0;
    uint64_t audioBytes = 0;
    uint64_t firstChunk = 0;    // offset of the first chunk copied
    uint64_t walkedTo = 0;      // where the walk ended
};

// Called now and then with the share of the damaged file walked (0-100);
// returning false cancels the rebuild.
typedef std::function<bool(int percent)> RebuildProgress;

// The offset of the first frame or sound chunk: inside the 'movi' list when
// the file's RIFF header is intact, else by a scan for a chunk id 00db, 00dc
// or ##wb whose size fits the file and which is followed by another chunk
// header or the end of the file. false when there is none.
bool FindFirstChunk(ByteSource& in, const RebuildFormat& format, uint64_t* offset);

// Copies the chunks of the damaged file into a new AVI written to out. false
// (with the reason) when the format is unusable, no frame was found, a read
// or write failed, or the progress cancelled; out then holds nothing usable.
bool RebuildAvi(ByteSource& in, ByteSink& out, const RebuildFormat& format, RebuildResult* result,
                const RebuildProgress& progress, std::string* error);

// The rational rate / scale of a frame rate written with six decimals (the
// recovery note's "%f"): 15.000000 gives 15/1, 29.970030 gives 30000/1001,
// 0.500000 gives 1/2. false for a rate that is not positive and finite.
bool RateFromFps(double fps, uint32_t* rate, uint32_t* scale);

// Size of the WAV layout in front of the samples and the block alignment,
// for the sound file's repair: RIFF/WAVE, a "fmt " chunk of 16 to 1,024 bytes
// with a non-zero block alignment, and a "data" chunk header right after it.
// false when the file does not have that layout.
bool ParseWaveLayout(const uint8_t* head, size_t n, uint32_t* dataOffset, uint16_t* blockAlign);

}  // namespace avirebuild
