#pragma once
// The parts of the Advanced Systems Format (the Windows Media container) that
// our writer, checker, repair and indexer share: object identifiers, sizes,
// little-endian field access, the fixed-size data packet layout our writer
// uses, and a byte store the file routines work on (a Win32 file in the
// program, memory in the fuzz target). Portable C++: no Windows headers, so
// the same code builds for the host fuzz target.
#include <stddef.h>
#include <stdint.h>
#include <string>

namespace asf {

// A GUID as the 16 bytes stored in the file.
struct Guid {
    uint8_t b[16];
    bool Matches(const uint8_t* p) const;
};

extern const Guid kHeaderObject;
extern const Guid kFilePropertiesObject;
extern const Guid kStreamPropertiesObject;
extern const Guid kHeaderExtensionObject;
extern const Guid kContentDescriptionObject;
extern const Guid kDataObject;
extern const Guid kSimpleIndexObject;
extern const Guid kAudioMedia;
extern const Guid kVideoMedia;
extern const Guid kNoErrorCorrection;
extern const Guid kReserved1;

const uint32_t kObjectHeaderSize = 24;      // GUID + 64-bit size
const uint32_t kHeaderObjectSize = 30;      // + sub-object count and two reserved bytes
const uint32_t kFilePropertiesSize = 104;
const uint32_t kDataObjectHeaderSize = 50;
const uint32_t kSimpleIndexHeaderSize = 56;
const uint64_t kMinCheckedFile = 263;       // shorter files are never complete
const uint64_t kMinRepairableFile = 313;

// Offsets inside the File Properties Object (from its GUID).
const uint32_t kFpFileSize = 40;
const uint32_t kFpPacketCount = 56;
const uint32_t kFpPlayDuration = 64;
const uint32_t kFpSendDuration = 72;
const uint32_t kFpPreroll = 80;
const uint32_t kFpFlags = 88;
const uint32_t kFpMinPacket = 92;
const uint32_t kFpMaxPacket = 96;
const uint32_t kFpFlagBroadcast = 1;
const uint32_t kFpFlagSeekable = 2;

// Offsets inside the Data Object (from its GUID).
const uint32_t kDoPacketCount = 40;

// Our data packets: 3-byte error-correction field, then payload parsing
// information with multiple payloads, a 16-bit padding length, and payloads
// with 8 bytes of replicated data (object size, presentation time in ms).
const uint8_t kEcFlags = 0x82;
const uint8_t kLengthTypeFlags = 0x11;      // multiple payloads, 16-bit padding length
const uint8_t kPropertyFlags = 0x5D;        // byte stream/object number, 32-bit offset, byte replicated length
const uint32_t kPacketHeaderSize = 3 + 2 + 2 + 4 + 2 + 1;
const uint32_t kPayloadHeaderSize = 1 + 1 + 4 + 1 + 8 + 2;

uint16_t Get16(const uint8_t* p);
uint32_t Get32(const uint8_t* p);
uint64_t Get64(const uint8_t* p);
void Put16(uint8_t* p, uint16_t v);
void Put32(uint8_t* p, uint32_t v);
void Put64(uint8_t* p, uint64_t v);
void Append16(std::string* s, uint16_t v);
void Append32(std::string* s, uint32_t v);
void Append64(std::string* s, uint64_t v);
void AppendGuid(std::string* s, const Guid& g);

// Random access to the bytes of one file. Reads and writes are whole or fail.
class Store {
public:
    virtual ~Store() {}
    virtual uint64_t Size() = 0;
    virtual bool Read(uint64_t at, void* buffer, uint32_t size) = 0;
    virtual bool Write(uint64_t at, const void* data, uint32_t size) = 0;
    // Cuts or extends the file to `size` bytes.
    virtual bool SetSize(uint64_t size) = 0;
};

// A store in memory (fuzz target and tests).
class MemoryStore : public Store {
public:
    explicit MemoryStore(const std::string& bytes) : m_bytes(bytes) {}
    uint64_t Size() override { return m_bytes.size(); }
    bool Read(uint64_t at, void* buffer, uint32_t size) override;
    bool Write(uint64_t at, const void* data, uint32_t size) override;
    bool SetSize(uint64_t size) override;
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

// Where the parts of a file's header lie, as far as they were found; every
// position and size was checked against the file's length.
struct Layout {
    uint64_t fileLength = 0;
    uint64_t headerSize = 0;           // Header Object size (data object follows)
    uint32_t headerObjects = 0;
    uint64_t filePropsAt = 0;          // 0 when not found
    uint8_t fileProps[kFilePropertiesSize] = {};
    bool haveDataObject = false;
    uint64_t dataObjectSize = 0;       // as stored (0 or short in a cut file)
    uint64_t packetsAt = 0;            // header size + 50
    uint8_t videoStream = 0;           // number of the first video stream, 0 when none
};

// Reads the Header Object, finds the File Properties Object among at most the
// stated count of sub-objects, and the Data Object header behind the header.
// False (with the reason) when the file is not one we can walk.
bool ReadLayout(Store* store, Layout* layout, std::string* error);

// The fixed packet size of a layout (minimum equals maximum, non-zero), or 0.
uint32_t FixedPacketSize(const Layout& layout);

// One payload parsed from a data packet of our layout.
struct Payload {
    uint8_t stream = 0;                // 1..127
    bool key = false;
    uint8_t objectNumber = 0;
    uint32_t offset = 0;               // into the media object
    uint32_t objectSize = 0;
    uint32_t timeMs = 0;               // presentation time, preroll included
    uint32_t size = 0;
    uint32_t dataAt = 0;               // position of the bytes within the packet
};

// Parses a fixed-size packet of any ASF multiple- or single-payload layout
// with 1-, 2- or 4-byte fields. Calls back per payload; false when the packet
// is malformed (lengths outside the packet).
typedef void (*PayloadSink)(void* context, const Payload& payload);
bool ParsePacket(const uint8_t* packet, uint32_t size, PayloadSink sink, void* context, uint32_t* sendTimeMs);

}  // namespace asf
