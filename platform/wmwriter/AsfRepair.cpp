#include "platform/wmwriter/AsfRepair.h"
#include <string.h>
#include <vector>

namespace asf {

namespace {
const uint64_t kMinObjectSize = 25;
}

int CheckAsf(Store* store, uint64_t* playDuration)
{
    const uint64_t length = store->Size();
    if (length < kMinCheckedFile)
        return kAsfNeedsRepair;
    Layout layout;
    std::string error;
    if (!ReadLayout(store, &layout, &error))
        return kAsfNeedsRepair;
    const uint64_t play = Get64(layout.fileProps + kFpPlayDuration);
    const uint64_t prerollMs = Get64(layout.fileProps + kFpPreroll);
    if (playDuration)
        *playDuration = play;
    if (prerollMs > UINT64_MAX / 10000 || play <= prerollMs * 10000)
        return kAsfNeedsRepair;
    if (Get32(layout.fileProps + kFpFlags) & kFpFlagBroadcast)
        return kAsfBroadcast;
    if (!layout.haveDataObject || layout.dataObjectSize < kMinObjectSize)
        return kAsfNeedsRepair;
    // Walk the top-level objects behind the header by their sizes; each must
    // lie wholly inside the file, so the walk ends within length / 25 steps.
    uint64_t at = layout.headerSize;
    while (at <= length - kObjectHeaderSize) {
        uint8_t object[kObjectHeaderSize];
        if (!store->Read(at, object, sizeof(object)))
            return kAsfNeedsRepair;
        const uint64_t size = Get64(object + 16);
        if (size < kMinObjectSize || size > length - at)
            return kAsfNeedsRepair;
        if (kSimpleIndexObject.Matches(object))
            return kAsfComplete;
        at += size;
    }
    return kAsfNeedsRepair;
}

bool ApplyAsfRepair(Store* store, uint64_t newEnd, uint64_t packetCount, uint8_t* fileProps,
                    uint64_t filePropsAt, uint64_t headerSize, bool cut, std::string* error)
{
    const uint64_t length = store->Size();
    if (cut) {
        if (newEnd >= length || newEnd < filePropsAt + kFilePropertiesSize) {
            *error = "the new end is not inside the file";
            return false;
        }
        if (!store->SetSize(newEnd) || store->Size() >= length) {
            *error = "the file could not be cut";
            return false;
        }
    }
    const uint64_t finalLength = store->Size();
    if (finalLength < headerSize + kDataObjectHeaderSize) {
        *error = "no room for the data packets";
        return false;
    }
    Put64(fileProps + kFpFileSize, finalLength);
    Put32(fileProps + kFpFlags, Get32(fileProps + kFpFlags) & ~kFpFlagBroadcast);
    Put64(fileProps + kFpPacketCount, packetCount);
    if (!store->Write(filePropsAt, fileProps, kFilePropertiesSize)) {
        *error = "cannot write the File Properties Object";
        return false;
    }
    // The Data Object must count the same packets, or readers stop at the
    // size the cut file's header still holds.
    uint8_t data[kDataObjectHeaderSize];
    if (!store->Read(headerSize, data, sizeof(data)) || !kDataObject.Matches(data)) {
        *error = "no Data Object behind the header";
        return false;
    }
    Put64(data + 16, finalLength - headerSize);
    Put64(data + kDoPacketCount, packetCount);
    if (!store->Write(headerSize, data, sizeof(data))) {
        *error = "cannot write the Data Object";
        return false;
    }
    return true;
}

bool RepairAsf(Store* store, bool cut, std::string* error)
{
    const uint64_t length = store->Size();
    if (length < kMinRepairableFile) {
        *error = "file too short to repair";
        return false;
    }
    Layout layout;
    if (!ReadLayout(store, &layout, error))
        return false;
    if (!layout.haveDataObject) {
        *error = "no Data Object behind the header";
        return false;
    }
    // The packets start right after the Data Object's 50-byte header; its
    // size field is the one a cut file gets wrong.
    const uint64_t start = layout.packetsAt;
    uint64_t count = 0;
    uint64_t newEnd = 0;
    const uint32_t packetSize = FixedPacketSize(layout);
    if (packetSize) {
        count = (length - start) / packetSize;
        const uint64_t statedSize = Get64(layout.fileProps + kFpFileSize);
        const uint64_t statedCount = Get64(layout.fileProps + kFpPacketCount);
        if (statedSize > start && statedSize <= length && (statedSize - start) / packetSize == statedCount &&
            statedCount > 0)
            count = statedCount;
        if (count < 2) {
            *error = "fewer than two data packets";
            return false;
        }
        --count;
        newEnd = start + count * packetSize;
    } else {
        // Variable packets: each gives its own length in its parsing information.
        uint64_t at = start;
        while (at < length) {
            uint8_t info[1 + 15 + 20];
            uint32_t want = (uint32_t)(length - at < sizeof(info) ? length - at : sizeof(info));
            if (!store->Read(at, info, want))
                break;
            uint32_t pos = 0;
            if (info[0] & 0x80) {
                pos = 1 + (info[0] & 0x0F);
            }
            if (pos + 2 > want)
                break;
            const uint8_t flags = info[pos];
            const int lengthType = (flags >> 5) & 3;
            pos += 2;
            uint64_t packetLength = 0;
            if (lengthType == 3 && pos + 4 <= want)
                packetLength = Get32(info + pos);
            else if (lengthType == 2 && pos + 2 <= want)
                packetLength = Get16(info + pos);
            else if (lengthType == 1 && pos + 1 <= want)
                packetLength = info[pos];
            if (packetLength == 0 || packetLength > length - at)
                break;
            at += packetLength;
            ++count;
        }
        if (count == 0) {
            *error = "no complete data packet";
            return false;
        }
        newEnd = at;
    }
    const bool needCut = cut && newEnd < length;
    return ApplyAsfRepair(store, newEnd, count, layout.fileProps, layout.filePropsAt, layout.headerSize,
                          needCut, error);
}

namespace {

struct IndexWalk {
    uint8_t videoStream = 0;
    uint32_t packet = 0;
    uint32_t lastTimeMs = 0;
    bool anyTime = false;
    struct Key {
        uint32_t timeMs;
        uint32_t firstPacket;
        uint32_t lastPacket;
        uint8_t object;
    };
    std::vector<Key> keys;
    bool inKey = false;
};

void OnPayload(void* context, const Payload& p)
{
    IndexWalk* w = static_cast<IndexWalk*>(context);
    if (!w->anyTime || p.timeMs > w->lastTimeMs)
        w->lastTimeMs = p.timeMs;
    w->anyTime = true;
    const bool indexed = w->videoStream ? p.stream == w->videoStream : true;
    if (!indexed)
        return;
    if (p.offset == 0 && (p.key || !w->videoStream)) {
        w->keys.push_back({p.timeMs, w->packet, w->packet, p.objectNumber});
        w->inKey = true;
    } else if (p.offset == 0) {
        w->inKey = false;
    } else if (w->inKey && !w->keys.empty() && w->keys.back().object == p.objectNumber) {
        w->keys.back().lastPacket = w->packet;
    }
}

}  // namespace

bool IndexAsf(Store* store, uint64_t interval, IndexProgress progress, void* context, std::string* error)
{
    Layout layout;
    if (!ReadLayout(store, &layout, error))
        return false;
    if (!layout.haveDataObject) {
        *error = "no Data Object behind the header";
        return false;
    }
    const uint32_t packetSize = FixedPacketSize(layout);
    if (!packetSize || interval == 0) {
        *error = "packets of no fixed size";
        return false;
    }
    uint8_t data[kDataObjectHeaderSize];
    if (!store->Read(layout.headerSize, data, sizeof(data))) {
        *error = "cannot read the Data Object";
        return false;
    }
    const uint64_t count = Get64(data + kDoPacketCount);
    const uint64_t room = (layout.fileLength - layout.packetsAt) / packetSize;
    if (count == 0 || count > room || layout.dataObjectSize != kDataObjectHeaderSize + count * packetSize) {
        *error = "the Data Object does not match the file's packets";
        return false;
    }
    IndexWalk walk;
    walk.videoStream = layout.videoStream;
    std::vector<uint8_t> packet(packetSize);
    uint32_t shown = 101;
    for (uint64_t i = 0; i < count; ++i) {
        walk.packet = (uint32_t)i;
        if (!store->Read(layout.packetsAt + i * packetSize, packet.data(), packetSize) ||
            !ParsePacket(packet.data(), packetSize, OnPayload, &walk, nullptr)) {
            *error = "data packet " + std::to_string(i) + " is damaged";
            return false;
        }
        const uint32_t percent = (uint32_t)(i * 100 / count);
        if (progress && percent != shown) {
            shown = percent;
            if (!progress(context, percent)) {
                *error = "cancelled";
                return false;
            }
        }
    }
    if (!walk.anyTime) {
        *error = "no media in the data packets";
        return false;
    }
    const uint64_t prerollMs = Get64(layout.fileProps + kFpPreroll);
    const uint64_t play = (uint64_t)walk.lastTimeMs * 10000 + 1;
    const uint64_t content = play - (prerollMs * 10000 < play ? prerollMs * 10000 : play);

    std::string body;
    body.append((const char*)layout.fileProps + kObjectHeaderSize, 16);   // file id
    Append64(&body, interval);
    uint32_t maxCount = 1;
    for (const IndexWalk::Key& k : walk.keys)
        if (k.lastPacket - k.firstPacket + 1 > maxCount)
            maxCount = k.lastPacket - k.firstPacket + 1;
    Append32(&body, maxCount);
    const uint64_t entries = content / interval + 1;
    if (entries > 0x00FFFFFF) {
        *error = "too many index entries";
        return false;
    }
    Append32(&body, (uint32_t)entries);
    size_t key = 0;
    for (uint64_t e = 0; e < entries; ++e) {
        const uint64_t atMs = prerollMs + e * interval / 10000;
        while (key + 1 < walk.keys.size() && walk.keys[key + 1].timeMs <= atMs)
            ++key;
        uint32_t first = 0, span = 1;
        if (!walk.keys.empty()) {
            first = walk.keys[key].firstPacket;
            span = walk.keys[key].lastPacket - first + 1;
        }
        Append32(&body, first);
        Append16(&body, (uint16_t)(span > 0xFFFF ? 0xFFFF : span));
    }
    std::string index;
    AppendGuid(&index, kSimpleIndexObject);
    Append64(&index, kObjectHeaderSize + body.size());
    index += body;

    const uint64_t dataEnd = layout.packetsAt + count * packetSize;
    if (!store->SetSize(dataEnd) || !store->Write(dataEnd, index.data(), (uint32_t)index.size())) {
        *error = "cannot write the index";
        return false;
    }
    uint8_t* fp = layout.fileProps;
    Put64(fp + kFpFileSize, dataEnd + index.size());
    Put64(fp + kFpPacketCount, count);
    if (Get64(fp + kFpPlayDuration) <= prerollMs * 10000)
        Put64(fp + kFpPlayDuration, play);
    if (Get64(fp + kFpSendDuration) == 0)
        Put64(fp + kFpSendDuration, content);
    Put32(fp + kFpFlags, (Get32(fp + kFpFlags) & ~kFpFlagBroadcast) | kFpFlagSeekable);
    if (!store->Write(layout.filePropsAt, fp, kFilePropertiesSize)) {
        *error = "cannot write the File Properties Object";
        return false;
    }
    if (progress)
        progress(context, 100);
    return true;
}

}  // namespace asf
