// Checking and repairing Windows Media files: damaged and hostile fixtures in
// memory, and a cut file from our writer repaired, indexed and read by ffprobe.
#include "AsfTestMedia.h"
#include "TestSupport.h"
#include "platform/wmwriter/AsfFile.h"
#include "platform/wmwriter/AsfRepair.h"
#include <gtest/gtest.h>

using namespace asftest;

namespace {

std::string FinishedFile()
{
    asf::MemoryStore store("");
    WrittenFile info = WriteMovie(&store, 15, 5, 3200, asf::Tags());
    EXPECT_EQ("", info.error);
    return store.Bytes();
}

// The header part of an unfinished audio-only file with fixed packets of
// packetSize, as a killed writer leaves it (counts and sizes zero).
std::string UnfinishedHeader(uint32_t packetSize)
{
    asf::MemoryStore store("");
    asf::CAsfFileWriter writer;
    asf::WriterOptions options;
    options.packetSize = packetSize;
    std::string pcm = PcmFormatBytes(), error;
    EXPECT_TRUE(writer.Open(&store, options, nullptr, &pcm, &error)) << error;
    return store.Bytes();
}

size_t FilePropsAt(const std::string& file)
{
    size_t at = file.find(std::string((const char*)asf::kFilePropertiesObject.b, 16));
    EXPECT_NE(std::string::npos, at);
    return at;
}

void Poke64(std::string* file, size_t at, uint64_t value) { asf::Put64((uint8_t*)&(*file)[at], value); }
void Poke32(std::string* file, size_t at, uint32_t value) { asf::Put32((uint8_t*)&(*file)[at], value); }
uint64_t Peek64(const std::string& file, size_t at) { return asf::Get64((const uint8_t*)file.data() + at); }

TEST(CheckAsf, ResultsForCompleteDamagedAndHostileFiles)
{
    const std::string good = FinishedFile();
    const size_t fp = FilePropsAt(good);
    const uint64_t headerSize = Peek64(good, 16);
    const size_t indexAt = good.rfind(std::string((const char*)asf::kSimpleIndexObject.b, 16));
    ASSERT_NE(std::string::npos, indexAt);

    struct Case {
        const char* name;
        void (*mutate)(std::string* f, size_t fp, uint64_t headerSize, size_t indexAt);
        int expected;
    } cases[] = {
        {"complete and indexed", [](std::string*, size_t, uint64_t, size_t) {}, 1},
        {"262 bytes", [](std::string* f, size_t, uint64_t, size_t) { f->resize(262); }, 0},
        {"wrong header GUID", [](std::string* f, size_t, uint64_t, size_t) { (*f)[0] ^= 1; }, 0},
        {"broadcast", [](std::string* f, size_t fp, uint64_t, size_t) { (*f)[fp + asf::kFpFlags] |= 1; }, 13},
        {"play duration within the preroll",
         [](std::string* f, size_t fp, uint64_t, size_t) { Poke64(f, fp + asf::kFpPlayDuration, 3100ULL * 10000); }, 0},
        {"preroll that overflows",
         [](std::string* f, size_t fp, uint64_t, size_t) { Poke64(f, fp + asf::kFpPreroll, ~0ULL); }, 0},
        {"no index", [](std::string* f, size_t, uint64_t, size_t at) { f->resize(at); }, 0},
        {"index cut short", [](std::string* f, size_t, uint64_t, size_t at) { f->resize(at + 30); }, 0},
        {"header size beyond the file",
         [](std::string* f, size_t, uint64_t, size_t) { Poke64(f, 16, f->size() + 1); }, 0},
        {"sub-object count of 4 billion",
         [](std::string* f, size_t, uint64_t, size_t) { Poke32(f, 24, 0xFFFFFFFFu); }, 1},
        {"no File Properties among the counted objects",
         [](std::string* f, size_t, uint64_t, size_t) { Poke32(f, 24, 0); }, 0},
        {"File Properties size wraps",
         [](std::string* f, size_t fp, uint64_t, size_t) { Poke64(f, fp + 16, ~0ULL - 10); }, 0},
        {"Data Object size of zero (cut writer)",
         [](std::string* f, size_t, uint64_t hs, size_t) { Poke64(f, hs + 16, 0); }, 0},
        {"Data Object size beyond the file",
         [](std::string* f, size_t, uint64_t hs, size_t) { Poke64(f, hs + 16, 1ULL << 62); }, 0},
        {"index size below an object header",
         [](std::string* f, size_t, uint64_t, size_t at) { Poke64(f, at + 16, 3); }, 0},
    };
    for (const Case& c : cases) {
        std::string file = good;
        c.mutate(&file, fp, headerSize, indexAt);
        asf::MemoryStore store(file);
        EXPECT_EQ(c.expected, asf::CheckAsf(&store, nullptr)) << c.name;
    }
}

TEST(CheckAsf, ByPathGivesThePlayDurationAndZeroForAMissingFile)
{
    testsupport::ScratchDir dir("asfc");
    const std::string path = dir.File("a.wmv");
    ASSERT_TRUE(WriteAll(path, FinishedFile()));
    ULONGLONG play = 0;
    EXPECT_EQ(1, CheckAsfFile(Wide(path).c_str(), &play));
    EXPECT_EQ((1500ULL + 3100ULL) * 10000, play);
    EXPECT_EQ(0, CheckAsfFile(Wide(dir.File("missing.wmv")).c_str(), &play));
    EXPECT_EQ(0, CheckAsfFile(nullptr, nullptr));
}

TEST(RepairAsf, CutsTenPacketsAndAPartialOneToNine)
{
    const std::string header = UnfinishedHeader(3200);
    const uint64_t headerSize = Peek64(header, 16);
    std::string file = header + std::string(10 * 3200 + 1000, '\x5A');
    // A cut writer may leave anything in the Data Object's size field; the
    // packets still start 50 bytes into it.
    Poke64(&file, headerSize + 16, 0x7FFFFFFFFFFFULL);
    asf::MemoryStore store(file);
    std::string error;
    ASSERT_TRUE(asf::RepairAsf(&store, true, &error)) << error;
    const std::string& out = store.Bytes();
    const uint64_t start = headerSize + asf::kDataObjectHeaderSize;
    EXPECT_EQ(start + 9 * 3200, out.size());
    const size_t fp = FilePropsAt(out);
    EXPECT_EQ(out.size(), Peek64(out, fp + asf::kFpFileSize));
    EXPECT_EQ(9u, Peek64(out, fp + asf::kFpPacketCount));
    EXPECT_EQ(9u, Peek64(out, headerSize + asf::kDoPacketCount));
    EXPECT_EQ(asf::kDataObjectHeaderSize + 9 * 3200, Peek64(out, headerSize + 16));
}

TEST(RepairAsf, RefusesWhatItCannotRepair)
{
    const std::string header = UnfinishedHeader(3200);
    const uint64_t headerSize = Peek64(header, 16);
    struct Case {
        const char* name;
        std::string file;
    } cases[] = {
        {"312 bytes", (header + std::string(4000, '\0')).substr(0, 312)},
        {"one packet", header + std::string(3200 + 100, '\0')},
        {"wrong header GUID", std::string("x") + (header + std::string(4 * 3200, '\0')).substr(1)},
        {"no Data Object", header.substr(0, headerSize) + std::string(4 * 3200 + 50, '\0')},
        {"header size beyond the file", [&] {
             std::string f = header + std::string(4 * 3200, '\0');
             Poke64(&f, 16, f.size() + 100);
             return f;
         }()},
        {"variable packets without a length", [&] {
             std::string f = header + std::string(4 * 3200, '\0');
             Poke32(&f, FilePropsAt(f) + asf::kFpMaxPacket, 6400);
             return f;
         }()},
    };
    for (const Case& c : cases) {
        asf::MemoryStore store(c.file);
        std::string error;
        EXPECT_FALSE(asf::RepairAsf(&store, true, &error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_EQ(c.file, store.Bytes()) << c.name << ": a refused file stays as it was";
    }
}

TEST(RepairAsf, TakesTheStatedCountClearsBroadcastAndWalksVariablePackets)
{
    const std::string header = UnfinishedHeader(3200);
    const uint64_t headerSize = Peek64(header, 16);
    const uint64_t start = headerSize + asf::kDataObjectHeaderSize;
    {
        // The header states 5 packets whose end lies inside the longer file.
        std::string file = header + std::string(8 * 3200, '\0');
        const size_t fp = FilePropsAt(file);
        Poke64(&file, fp + asf::kFpFileSize, start + 5 * 3200);
        Poke64(&file, fp + asf::kFpPacketCount, 5);
        file[fp + asf::kFpFlags] |= 1;
        asf::MemoryStore store(file);
        std::string error;
        ASSERT_TRUE(asf::RepairAsf(&store, true, &error)) << error;
        EXPECT_EQ(start + 4 * 3200, store.Size());
        EXPECT_EQ(0, store.Bytes()[fp + asf::kFpFlags] & 1) << "broadcast flag cleared";
    }
    {
        // Variable packets with 16-bit lengths 300, 500, 700, then a cut one.
        std::string file = header;
        Poke32(&file, FilePropsAt(file) + asf::kFpMinPacket, 0);
        const uint16_t lengths[] = {300, 500, 700, 900};
        for (uint16_t len : lengths) {
            std::string packet(len, '\0');
            packet[0] = 0x40;   // 16-bit packet length, no error correction
            packet[1] = 0x5D;
            asf::Put16((uint8_t*)&packet[2], len);
            file += packet;
        }
        file.resize(file.size() - 400);
        asf::MemoryStore store(file);
        std::string error;
        ASSERT_TRUE(asf::RepairAsf(&store, true, &error)) << error;
        EXPECT_EQ(start + 1500, store.Size());
        EXPECT_EQ(3u, Peek64(store.Bytes(), FilePropsAt(file) + asf::kFpPacketCount));
    }
    {
        // Keeping the length only fixes the header.
        std::string file = header + std::string(3 * 3200 + 10, '\0');
        asf::MemoryStore store(file);
        std::string error;
        ASSERT_TRUE(asf::RepairAsf(&store, false, &error)) << error;
        EXPECT_EQ(file.size(), store.Size());
        EXPECT_EQ(2u, Peek64(store.Bytes(), FilePropsAt(file) + asf::kFpPacketCount));
    }
}

TEST(RepairAsf, ACutFileFromOurWriterIsRepairedIndexedAndReadable)
{
    testsupport::ScratchDir dir("asfr");
    const std::string path = dir.File("cut.wmv");
    WrittenFile info;
    ASSERT_TRUE(WriteMovieFile(path, 40, 10, 3200, asf::Tags(), false, &info)) << info.error;
    // The writer was killed mid-packet: half of the last packet is on disk.
    std::string bytes = ReadAll(path);
    ASSERT_GT(bytes.size(), 20000u);
    bytes.resize(bytes.size() - 1600);
    ASSERT_TRUE(WriteAll(path, bytes));
    const std::wstring wpath = Wide(path);

    EXPECT_EQ(0, CheckAsfFile(wpath.c_str(), nullptr));
    {
        asf::CFileStore store;
        ASSERT_TRUE(store.OpenExisting(wpath.c_str(), true));
        std::string error;
        EXPECT_FALSE(asf::IndexAsf(&store, 10000000, nullptr, nullptr, &error)) << "indexing needs whole packets";
    }
    ASSERT_TRUE(RepairAsfFile(wpath.c_str(), TRUE));
    {
        asf::CFileStore store;
        ASSERT_TRUE(store.OpenExisting(wpath.c_str(), true));
        std::string error;
        ASSERT_TRUE(asf::IndexAsf(&store, 10000000, nullptr, nullptr, &error)) << error;
    }
    ULONGLONG play = 0;
    EXPECT_EQ(1, CheckAsfFile(wpath.c_str(), &play));
    EXPECT_GT(play, 3100ULL * 10000);

    EXPECT_EQ("zmbv", ProbeEntry(path, "v:0", "stream=codec_name"));
    std::vector<std::string> frames = DecodeFrames(path, kWidth, kHeight);
    ASSERT_GE(frames.size(), 30u) << "most frames survive the cut";
    for (size_t n = 0; n < frames.size(); ++n)
        EXPECT_TRUE(frames[n] == FrameBgr((int)n)) << "recovered frame " << n;
}

}  // namespace
