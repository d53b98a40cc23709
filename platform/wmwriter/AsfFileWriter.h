#pragma once
#include "platform/wmwriter/AsfFormat.h"
#include <string>
#include <vector>

namespace asf {

// What the writer puts in a file's Content Description Object (UTF-16).
struct Tags {
    std::u16string title;
    std::u16string author;
    std::u16string copyright;
    std::u16string description;
};

struct VideoStreamInfo {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t fourcc = 0;               // BITMAPINFOHEADER compression
    uint16_t bitCount = 32;
};

struct WriterOptions {
    uint32_t packetSize = 3200;        // every data packet has exactly this size
    uint32_t prerollMs = 3100;
    uint64_t creationTime = 0;         // FILETIME
    Guid fileId = {};
    bool simpleIndex = true;
    uint64_t indexInterval = 10000000; // 100-ns units between index entries
    Tags tags;
};

// Writes one ASF file with at most one video and one audio stream into a
// store: the header first (with zero durations and counts, so a cut file is
// recognised as unfinished), then fixed-size data packets as the media
// objects come in, and at Close the durations, counts and sizes in the
// header and a Simple Index over the video key frames. Timestamps are
// 100-ns units from the start of the file. One thread at a time.
class CAsfFileWriter {
public:
    CAsfFileWriter();
    ~CAsfFileWriter();
    CAsfFileWriter(const CAsfFileWriter&) = delete;
    CAsfFileWriter& operator=(const CAsfFileWriter&) = delete;

    // video or audioFormat (a WAVEFORMATEX with its cbSize extra bytes) may be
    // null, not both. False with the reason on bad settings or a write
    // failure.
    bool Open(Store* store, const WriterOptions& options, const VideoStreamInfo* video,
              const std::string* audioFormat, std::string* error);
    bool WriteVideo(const uint8_t* data, uint32_t size, bool key, int64_t time);
    bool WriteAudio(const uint8_t* data, uint32_t size, int64_t time);
    // Ends the data, fills in the header and appends the index; `duration`
    // is the play length of the content (100 ns).
    bool Close(int64_t duration, std::string* error);

    uint8_t VideoStream() const { return m_videoStream; }
    uint8_t AudioStream() const { return m_audioStream; }
    uint64_t PacketCount() const { return m_packetCount; }
    uint64_t HeaderSize() const { return m_header.size(); }

private:
    struct KeyFrame {
        int64_t time;
        uint32_t firstPacket;
        uint32_t lastPacket;
    };
    struct PendingPayload {
        uint8_t stream;
        bool key;
        uint8_t objectNumber;
        uint32_t offset;
        uint32_t objectSize;
        uint32_t timeMs;
        std::string bytes;
    };

    std::string BuildHeader(uint64_t fileSize, uint64_t packets, uint64_t playDuration,
                            uint64_t sendDuration, uint32_t flags, uint32_t maxBitrate) const;
    std::string BuildIndex(int64_t duration) const;
    bool WriteObject(uint8_t stream, bool key, const uint8_t* data, uint32_t size, int64_t time);
    bool FlushPacket();

    Store* m_store = nullptr;
    WriterOptions m_options;
    bool m_open = false;
    bool m_failed = false;
    bool m_haveVideo = false;
    VideoStreamInfo m_video;
    std::string m_audioFormat;
    uint8_t m_videoStream = 0;
    uint8_t m_audioStream = 0;
    uint8_t m_objectNumbers[3] = {};
    std::string m_header;
    uint64_t m_packetCount = 0;
    uint64_t m_writeAt = 0;
    int64_t m_lastTime = 0;
    std::vector<PendingPayload> m_payloads;
    uint32_t m_packetUsed = 0;
    std::vector<KeyFrame> m_keyFrames;
};

}  // namespace asf
