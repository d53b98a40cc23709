#include "platform/wmwriter/AsfFormat.h"
#include <string.h>

namespace asf {

#define ASF_GUID(d1, d2, d3, a, b, c, d, e, f, g, h)                                            \
    {{(uint8_t)(d1), (uint8_t)((d1) >> 8), (uint8_t)((d1) >> 16), (uint8_t)((d1) >> 24),        \
      (uint8_t)(d2), (uint8_t)((d2) >> 8), (uint8_t)(d3), (uint8_t)((d3) >> 8), a, b, c, d, e, f, g, h}}

const Guid kHeaderObject = ASF_GUID(0x75B22630, 0x668E, 0x11CF, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C);
const Guid kFilePropertiesObject = ASF_GUID(0x8CABDCA1, 0xA947, 0x11CF, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65);
const Guid kStreamPropertiesObject = ASF_GUID(0xB7DC0791, 0xA9B7, 0x11CF, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65);
const Guid kHeaderExtensionObject = ASF_GUID(0x5FBF03B5, 0xA92E, 0x11CF, 0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65);
const Guid kContentDescriptionObject = ASF_GUID(0x75B22633, 0x668E, 0x11CF, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C);
const Guid kDataObject = ASF_GUID(0x75B22636, 0x668E, 0x11CF, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C);
const Guid kSimpleIndexObject = ASF_GUID(0x33000890, 0xE5B1, 0x11CF, 0x89, 0xF4, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xCB);
const Guid kAudioMedia = ASF_GUID(0xF8699E40, 0x5B4D, 0x11CF, 0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B);
const Guid kVideoMedia = ASF_GUID(0xBC19EFC0, 0x5B4D, 0x11CF, 0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B);
const Guid kNoErrorCorrection = ASF_GUID(0x20FB5700, 0x5B55, 0x11CF, 0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B);
const Guid kReserved1 = ASF_GUID(0xABD3D211, 0xA9BA, 0x11CF, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65);

bool Guid::Matches(const uint8_t* p) const { return memcmp(p, b, 16) == 0; }

uint16_t Get16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) { return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24); }
uint64_t Get64(const uint8_t* p) { return (uint64_t)Get32(p) | ((uint64_t)Get32(p + 4) << 32); }
void Put16(uint8_t* p, uint16_t v) { p[0] = (uint8_t)v; p[1] = (uint8_t)(v >> 8); }
void Put32(uint8_t* p, uint32_t v) { Put16(p, (uint16_t)v); Put16(p + 2, (uint16_t)(v >> 16)); }
void Put64(uint8_t* p, uint64_t v) { Put32(p, (uint32_t)v); Put32(p + 4, (uint32_t)(v >> 32)); }
void Append16(std::string* s, uint16_t v) { uint8_t b[2]; Put16(b, v); s->append((const char*)b, 2); }
void Append32(std::string* s, uint32_t v) { uint8_t b[4]; Put32(b, v); s->append((const char*)b, 4); }
void Append64(std::string* s, uint64_t v) { uint8_t b[8]; Put64(b, v); s->append((const char*)b, 8); }
void AppendGuid(std::string* s, const Guid& g) { s->append((const char*)g.b, 16); }

bool MemoryStore::Read(uint64_t at, void* buffer, uint32_t size)
{
    if (at > m_bytes.size() || size > m_bytes.size() - at)
        return false;
    memcpy(buffer, m_bytes.data() + at, size);
    return true;
}

bool MemoryStore::Write(uint64_t at, const void* data, uint32_t size)
{
    if (at > m_bytes.size())
        return false;
    if (at + size > m_bytes.size())
        m_bytes.resize(at + size);
    memcpy(&m_bytes[at], data, size);
    return true;
}

bool MemoryStore::SetSize(uint64_t size)
{
    m_bytes.resize(size);
    return true;
}

// Every size comes from the file: each is checked against the file's length
// before it moves a position, so a damaged file can neither make us seek far
// away nor loop.
bool ReadLayout(Store* store, Layout* layout, std::string* error)
{
    *layout = Layout();
    layout->fileLength = store->Size();
    uint8_t head[kHeaderObjectSize];
    if (layout->fileLength < kHeaderObjectSize || !store->Read(0, head, sizeof(head))) {
        *error = "file too short for an ASF header";
        return false;
    }
    if (!kHeaderObject.Matches(head)) {
        *error = "no ASF Header Object at the start";
        return false;
    }
    layout->headerSize = Get64(head + 16);
    layout->headerObjects = Get32(head + 24);
    if (layout->headerSize < kHeaderObjectSize || layout->headerSize > layout->fileLength) {
        *error = "Header Object size outside the file";
        return false;
    }
    uint64_t at = kHeaderObjectSize;
    for (uint32_t i = 0; i < layout->headerObjects; ++i) {
        uint8_t object[kObjectHeaderSize];
        if (at + kObjectHeaderSize > layout->headerSize || !store->Read(at, object, sizeof(object)))
            break;
        uint64_t size = Get64(object + 16);
        if (size < kObjectHeaderSize || size > layout->headerSize - at)
            break;
        if (kFilePropertiesObject.Matches(object) && !layout->filePropsAt) {
            if (size < kFilePropertiesSize || !store->Read(at, layout->fileProps, kFilePropertiesSize))
                break;
            layout->filePropsAt = at;
        } else if (kStreamPropertiesObject.Matches(object) && !layout->videoStream && size >= 78) {
            uint8_t props[78 - kObjectHeaderSize];
            if (store->Read(at + kObjectHeaderSize, props, sizeof(props)) && kVideoMedia.Matches(props))
                layout->videoStream = props[72 - kObjectHeaderSize] & 0x7F;
        }
        at += size;
    }
    if (!layout->filePropsAt) {
        *error = "no File Properties Object in the header";
        return false;
    }
    uint8_t data[kDataObjectHeaderSize];
    if (layout->headerSize + kDataObjectHeaderSize <= layout->fileLength &&
        store->Read(layout->headerSize, data, sizeof(data)) && kDataObject.Matches(data)) {
        layout->haveDataObject = true;
        layout->dataObjectSize = Get64(data + 16);
        layout->packetsAt = layout->headerSize + kDataObjectHeaderSize;
    }
    return true;
}

uint32_t FixedPacketSize(const Layout& layout)
{
    uint32_t minSize = Get32(layout.fileProps + kFpMinPacket);
    uint32_t maxSize = Get32(layout.fileProps + kFpMaxPacket);
    return (minSize == maxSize) ? minSize : 0;
}

namespace {

// Reads a field whose width is given by a 2-bit length type (0: absent,
// 1: byte, 2: word, 3: dword).
bool ReadTyped(const uint8_t* p, uint32_t size, uint32_t* pos, int type, uint32_t* value)
{
    static const uint32_t widths[4] = {0, 1, 2, 4};
    uint32_t w = widths[type & 3];
    if (*pos > size || w > size - *pos)
        return false;
    *value = (w == 0) ? 0 : (w == 1) ? p[*pos] : (w == 2) ? Get16(p + *pos) : Get32(p + *pos);
    *pos += w;
    return true;
}

}  // namespace

bool ParsePacket(const uint8_t* p, uint32_t size, PayloadSink sink, void* context, uint32_t* sendTimeMs)
{
    uint32_t pos = 0;
    if (size < 1)
        return false;
    if (p[0] & 0x80) {
        // Error-correction data: its length in the low nibble; other length
        // types are not defined.
        if (p[0] & 0x60)
            return false;
        pos = 1 + (p[0] & 0x0F);
    }
    if (pos + 2 > size)
        return false;
    const uint8_t lengthFlags = p[pos];
    const uint8_t propertyFlags = p[pos + 1];
    pos += 2;
    uint32_t packetLength = 0, sequence = 0, padding = 0;
    if (!ReadTyped(p, size, &pos, lengthFlags >> 5, &packetLength) ||
        !ReadTyped(p, size, &pos, lengthFlags >> 1, &sequence) ||
        !ReadTyped(p, size, &pos, lengthFlags >> 3, &padding))
        return false;
    if (pos + 6 > size)
        return false;
    if (sendTimeMs)
        *sendTimeMs = Get32(p + pos);
    pos += 6;
    // A packet length smaller than the fixed size means padding at the end.
    uint32_t end = size;
    if (packetLength && packetLength < size)
        end = packetLength;
    if (padding > end - pos)
        return false;
    const bool multiple = (lengthFlags & 1) != 0;
    uint32_t count = 1, payloadLengthType = 0;
    if (multiple) {
        if (pos >= end)
            return false;
        count = p[pos] & 0x3F;
        payloadLengthType = p[pos] >> 6;
        ++pos;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (pos >= end)
            return false;
        Payload payload;
        payload.stream = p[pos] & 0x7F;
        payload.key = (p[pos] & 0x80) != 0;
        ++pos;
        uint32_t objectNumber = 0, offset = 0, replicated = 0;
        if (!ReadTyped(p, end, &pos, propertyFlags >> 4, &objectNumber) ||
            !ReadTyped(p, end, &pos, propertyFlags >> 2, &offset) ||
            !ReadTyped(p, end, &pos, propertyFlags, &replicated))
            return false;
        if (replicated > end - pos)
            return false;
        payload.objectNumber = (uint8_t)objectNumber;
        payload.offset = offset;
        if (replicated >= 8) {
            payload.objectSize = Get32(p + pos);
            payload.timeMs = Get32(p + pos + 4);
        } else if (replicated == 1) {
            // Compressed payloads carry the presentation time in the offset field.
            payload.timeMs = offset;
            payload.offset = 0;
        }
        pos += replicated;
        uint32_t length;
        if (multiple) {
            if (!ReadTyped(p, end, &pos, payloadLengthType, &length))
                return false;
        } else {
            if (end - pos < padding)
                return false;
            length = end - pos - padding;
        }
        if (length > end - pos)
            return false;
        payload.size = length;
        payload.dataAt = pos;
        pos += length;
        if (sink)
            sink(context, payload);
    }
    return true;
}

}  // namespace asf
