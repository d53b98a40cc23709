#include "platform/wmwriter/AsfFileWriter.h"
#include <string.h>

namespace asf {

namespace {

const uint32_t kMaxPayloadsPerPacket = 63;
const uint16_t kVideoFormatFlags = 2;

std::string Object(const Guid& guid, const std::string& body)
{
    std::string s;
    AppendGuid(&s, guid);
    Append64(&s, kObjectHeaderSize + body.size());
    return s + body;
}

std::string StreamProperties(const Guid& type, uint8_t number, const std::string& typeData)
{
    std::string body;
    AppendGuid(&body, type);
    AppendGuid(&body, kNoErrorCorrection);
    Append64(&body, 0);                       // time offset
    Append32(&body, (uint32_t)typeData.size());
    Append32(&body, 0);                       // error-correction data length
    Append16(&body, number);
    Append32(&body, 0);                       // reserved
    body += typeData;
    return Object(kStreamPropertiesObject, body);
}

void AppendUtf16(std::string* s, const std::u16string& text)
{
    for (char16_t c : text)
        Append16(s, (uint16_t)c);
    Append16(s, 0);
}

uint16_t Utf16Bytes(const std::u16string& text) { return (uint16_t)((text.size() + 1) * 2); }

}  // namespace

CAsfFileWriter::CAsfFileWriter() {}

CAsfFileWriter::~CAsfFileWriter() {}

std::string CAsfFileWriter::BuildHeader(uint64_t fileSize, uint64_t packets, uint64_t playDuration,
                                        uint64_t sendDuration, uint32_t flags, uint32_t maxBitrate) const
{
    std::string objects;
    uint32_t count = 0;

    std::string fp;
    AppendGuid(&fp, m_options.fileId);
    Append64(&fp, fileSize);
    Append64(&fp, m_options.creationTime);
    Append64(&fp, packets);
    Append64(&fp, playDuration);
    Append64(&fp, sendDuration);
    Append64(&fp, m_options.prerollMs);
    Append32(&fp, flags);
    Append32(&fp, m_options.packetSize);
    Append32(&fp, m_options.packetSize);
    Append32(&fp, maxBitrate);
    objects += Object(kFilePropertiesObject, fp);
    ++count;

    if (m_haveVideo) {
        std::string bih;
        Append32(&bih, 40);
        Append32(&bih, (uint32_t)m_video.width);
        Append32(&bih, (uint32_t)m_video.height);
        Append16(&bih, 1);
        Append16(&bih, m_video.bitCount);
        Append32(&bih, m_video.fourcc);
        Append32(&bih, (uint32_t)m_video.width * (uint32_t)m_video.height * 4);
        Append32(&bih, 0);
        Append32(&bih, 0);
        Append32(&bih, 0);
        Append32(&bih, 0);
        std::string typeData;
        Append32(&typeData, (uint32_t)m_video.width);
        Append32(&typeData, (uint32_t)m_video.height);
        typeData += (char)kVideoFormatFlags;
        Append16(&typeData, (uint16_t)bih.size());
        typeData += bih;
        objects += StreamProperties(kVideoMedia, m_videoStream, typeData);
        ++count;
    }
    if (m_audioStream) {
        objects += StreamProperties(kAudioMedia, m_audioStream, m_audioFormat);
        ++count;
    }

    std::string ext;
    AppendGuid(&ext, kReserved1);
    Append16(&ext, 6);
    Append32(&ext, 0);
    objects += Object(kHeaderExtensionObject, ext);
    ++count;

    const Tags& t = m_options.tags;
    std::string cd;
    Append16(&cd, Utf16Bytes(t.title));
    Append16(&cd, Utf16Bytes(t.author));
    Append16(&cd, Utf16Bytes(t.copyright));
    Append16(&cd, Utf16Bytes(t.description));
    Append16(&cd, 2);
    AppendUtf16(&cd, t.title);
    AppendUtf16(&cd, t.author);
    AppendUtf16(&cd, t.copyright);
    AppendUtf16(&cd, t.description);
    AppendUtf16(&cd, std::u16string());
    objects += Object(kContentDescriptionObject, cd);
    ++count;

    std::string header;
    AppendGuid(&header, kHeaderObject);
    Append64(&header, kHeaderObjectSize + objects.size());
    Append32(&header, count);
    header += (char)1;
    header += (char)2;
    header += objects;

    std::string data;
    AppendGuid(&data, kDataObject);
    Append64(&data, packets ? kDataObjectHeaderSize + packets * m_options.packetSize : 0);
    AppendGuid(&data, m_options.fileId);
    Append64(&data, packets);
    data += (char)1;
    data += (char)1;
    return header + data;
}

bool CAsfFileWriter::Open(Store* store, const WriterOptions& options, const VideoStreamInfo* video,
                          const std::string* audioFormat, std::string* error)
{
    if (m_open) {
        *error = "the writer is already open";
        return false;
    }
    if (!store || (!video && !audioFormat)) {
        *error = "no file or no stream to write";
        return false;
    }
    if (options.packetSize < kPacketHeaderSize + kPayloadHeaderSize + 64 || options.packetSize > 65536) {
        *error = "packet size out of range";
        return false;
    }
    if (video && (video->width <= 0 || video->height <= 0 || video->width > 8192 || video->height > 8192)) {
        *error = "video size out of range";
        return false;
    }
    if (audioFormat && (audioFormat->size() < 16 || audioFormat->size() > 1024)) {
        *error = "audio format of a bad size";
        return false;
    }
    if (options.indexInterval == 0) {
        *error = "index interval of zero";
        return false;
    }
    m_store = store;
    m_options = options;
    m_haveVideo = video != nullptr;
    if (video)
        m_video = *video;
    m_audioFormat = audioFormat ? *audioFormat : std::string();
    m_videoStream = video ? 1 : 0;
    m_audioStream = audioFormat ? (video ? 2 : 1) : 0;
    memset(m_objectNumbers, 0, sizeof(m_objectNumbers));
    m_packetCount = 0;
    m_payloads.clear();
    m_packetUsed = kPacketHeaderSize;
    m_keyFrames.clear();
    m_lastTime = 0;
    m_failed = false;
    m_header = BuildHeader(0, 0, 0, 0, 0, 0);
    if (!m_store->SetSize(0) || !m_store->Write(0, m_header.data(), (uint32_t)m_header.size())) {
        *error = "cannot write the header";
        return false;
    }
    m_writeAt = m_header.size();
    m_open = true;
    return true;
}

bool CAsfFileWriter::FlushPacket()
{
    if (m_payloads.empty())
        return true;
    std::string packet;
    packet += (char)kEcFlags;
    packet += (char)0;
    packet += (char)0;
    packet += (char)kLengthTypeFlags;
    packet += (char)kPropertyFlags;
    Append16(&packet, (uint16_t)(m_options.packetSize - m_packetUsed));
    uint32_t sendMs = m_payloads[0].timeMs >= m_options.prerollMs ? m_payloads[0].timeMs - m_options.prerollMs : 0;
    Append32(&packet, sendMs);
    Append16(&packet, 0);
    packet += (char)(0x80 | m_payloads.size());
    for (const PendingPayload& p : m_payloads) {
        packet += (char)(p.stream | (p.key ? 0x80 : 0));
        packet += (char)p.objectNumber;
        Append32(&packet, p.offset);
        packet += (char)8;
        Append32(&packet, p.objectSize);
        Append32(&packet, p.timeMs);
        Append16(&packet, (uint16_t)p.bytes.size());
        packet += p.bytes;
    }
    packet.resize(m_options.packetSize, '\0');
    m_payloads.clear();
    m_packetUsed = kPacketHeaderSize;
    if (!m_store->Write(m_writeAt, packet.data(), (uint32_t)packet.size())) {
        m_failed = true;
        return false;
    }
    m_writeAt += packet.size();
    ++m_packetCount;
    return true;
}

// Splits one media object over as many packets as it needs; a packet is sent
// when the next fragment would not fit with at least one byte of data.
bool CAsfFileWriter::WriteObject(uint8_t stream, bool key, const uint8_t* data, uint32_t size, int64_t time)
{
    if (!m_open || m_failed || !stream || (size && !data))
        return false;
    if (time < 0)
        time = 0;
    if (time > m_lastTime)
        m_lastTime = time;
    const uint32_t timeMs = (uint32_t)(time / 10000) + m_options.prerollMs;
    const uint8_t number = m_objectNumbers[stream]++;
    uint32_t offset = 0;
    bool first = true;
    while (first || offset < size) {
        if (m_packetUsed + kPayloadHeaderSize + 1 > m_options.packetSize ||
            m_payloads.size() >= kMaxPayloadsPerPacket) {
            if (!FlushPacket())
                return false;
        }
        if (first && key && stream == m_videoStream)
            m_keyFrames.push_back({time, (uint32_t)m_packetCount, (uint32_t)m_packetCount});
        uint32_t room = m_options.packetSize - m_packetUsed - kPayloadHeaderSize;
        uint32_t take = size - offset < room ? size - offset : room;
        PendingPayload p;
        p.stream = stream;
        p.key = key;
        p.objectNumber = number;
        p.offset = offset;
        p.objectSize = size;
        p.timeMs = timeMs;
        p.bytes.assign((const char*)data + offset, take);
        m_payloads.push_back(p);
        m_packetUsed += kPayloadHeaderSize + take;
        offset += take;
        if (key && stream == m_videoStream)
            m_keyFrames.back().lastPacket = (uint32_t)m_packetCount;
        first = false;
    }
    return true;
}

bool CAsfFileWriter::WriteVideo(const uint8_t* data, uint32_t size, bool key, int64_t time)
{
    return m_haveVideo && WriteObject(m_videoStream, key, data, size, time);
}

bool CAsfFileWriter::WriteAudio(const uint8_t* data, uint32_t size, int64_t time)
{
    return m_audioStream && WriteObject(m_audioStream, false, data, size, time);
}

std::string CAsfFileWriter::BuildIndex(int64_t duration) const
{
    const uint64_t interval = m_options.indexInterval;
    const uint64_t entries = (uint64_t)duration / interval + 1;
    std::string body;
    AppendGuid(&body, m_options.fileId);
    Append64(&body, interval);
    uint32_t maxCount = 1;
    for (const KeyFrame& k : m_keyFrames)
        if (k.lastPacket - k.firstPacket + 1 > maxCount)
            maxCount = k.lastPacket - k.firstPacket + 1;
    Append32(&body, maxCount);
    Append32(&body, (uint32_t)entries);
    size_t key = 0;
    for (uint64_t i = 0; i < entries; ++i) {
        const int64_t at = (int64_t)(i * interval);
        while (key + 1 < m_keyFrames.size() && m_keyFrames[key + 1].time <= at)
            ++key;
        uint32_t packet = 0, count = 1;
        if (!m_keyFrames.empty()) {
            packet = m_keyFrames[key].firstPacket;
            count = m_keyFrames[key].lastPacket - m_keyFrames[key].firstPacket + 1;
        }
        Append32(&body, packet);
        Append16(&body, (uint16_t)(count > 0xFFFF ? 0xFFFF : count));
    }
    return Object(kSimpleIndexObject, body);
}

bool CAsfFileWriter::Close(int64_t duration, std::string* error)
{
    if (!m_open) {
        *error = "the writer is not open";
        return false;
    }
    m_open = false;
    if (m_failed || !FlushPacket()) {
        *error = "a data packet could not be written";
        return false;
    }
    if (duration < m_lastTime)
        duration = m_lastTime;
    std::string index;
    if (m_options.simpleIndex && m_haveVideo)
        index = BuildIndex(duration);
    const uint64_t fileSize = m_writeAt + index.size();
    const uint64_t seconds = (uint64_t)duration / 10000000 + 1;
    const uint64_t bitrate = (m_packetCount * m_options.packetSize * 8) / seconds;
    std::string header = BuildHeader(fileSize, m_packetCount, (uint64_t)duration + m_options.prerollMs * 10000ULL,
                                     (uint64_t)duration, kFpFlagSeekable,
                                     (uint32_t)(bitrate > 0xFFFFFFFFu ? 0xFFFFFFFFu : bitrate));
    if (header.size() != m_header.size()) {
        *error = "header changed size";
        return false;
    }
    if (!index.empty() && !m_store->Write(m_writeAt, index.data(), (uint32_t)index.size())) {
        *error = "cannot write the index";
        return false;
    }
    if (!m_store->Write(0, header.data(), (uint32_t)header.size())) {
        *error = "cannot rewrite the header";
        return false;
    }
    return true;
}

}  // namespace asf
