// Host fuzz target of the ASF checker, repair, indexer and packet parser.
// Built with libFuzzer (-DWITH_LIBFUZZER) or as a self-contained driver that
// mutates seeds from our own writer with a fixed random sequence; either way
// under AddressSanitizer and UndefinedBehaviorSanitizer (tools/fuzz-asf.sh).
#include "platform/wmwriter/AsfFileWriter.h"
#include "platform/wmwriter/AsfRepair.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

void CountPayload(void* context, const asf::Payload& p)
{
    *static_cast<uint64_t*>(context) += p.size;
}

void Exercise(const std::string& bytes)
{
    {
        asf::MemoryStore store(bytes);
        uint64_t play = 0;
        asf::CheckAsf(&store, &play);
    }
    for (int cut = 0; cut < 2; ++cut) {
        asf::MemoryStore store(bytes);
        std::string error;
        if (asf::RepairAsf(&store, cut != 0, &error)) {
            // A repaired file must check cleanly and index or fail cleanly.
            if (cut && store.Size() > bytes.size())
                abort();
            asf::IndexAsf(&store, 10000000, nullptr, nullptr, &error);
            asf::CheckAsf(&store, nullptr);
        }
    }
    {
        asf::MemoryStore store(bytes);
        std::string error;
        asf::IndexAsf(&store, 2000000, nullptr, nullptr, &error);
    }
    uint64_t total = 0;
    uint32_t send = 0;
    const uint32_t size = bytes.size() > 65536 ? 65536 : (uint32_t)bytes.size();
    asf::ParsePacket((const uint8_t*)bytes.data(), size, CountPayload, &total, &send);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Exercise(std::string((const char*)data, size));
    return 0;
}

#ifndef WITH_LIBFUZZER

namespace {

std::string Seed(bool withVideo, bool close, uint32_t packetSize)
{
    asf::MemoryStore store("");
    asf::CAsfFileWriter writer;
    asf::WriterOptions options;
    options.packetSize = packetSize;
    asf::VideoStreamInfo video;
    video.width = 32;
    video.height = 16;
    std::string pcm(18, '\0');
    pcm[0] = 1;
    std::string error;
    if (!writer.Open(&store, options, withVideo ? &video : nullptr, &pcm, &error))
        abort();
    std::string blob(1500, 'v');
    for (int n = 0; n < 20; ++n) {
        if (withVideo)
            writer.WriteVideo((const uint8_t*)blob.data(), 200 + 97 * (n % 13), n % 5 == 0, n * 1000000LL);
        writer.WriteAudio((const uint8_t*)blob.data(), 160, n * 1000000LL);
    }
    if (close && !writer.Close(20 * 1000000LL, &error))
        abort();
    return store.Bytes();
}

uint32_t g_random = 12345;
uint32_t Next()
{
    g_random = g_random * 1664525u + 1013904223u;
    return g_random >> 8;
}

std::string Mutate(std::string s)
{
    const int edits = 1 + Next() % 4;
    for (int i = 0; i < edits && !s.empty(); ++i) {
        const size_t at = Next() % s.size();
        switch (Next() % 6) {
        case 0:
            s[at] = (char)Next();
            break;
        case 1:
            s.resize(at);
            break;
        case 2:
            // A wild 64-bit size field.
            for (int k = 0; k < 8 && at + k < s.size(); ++k)
                s[at + k] = (char)((k == 7) ? 0x7F : Next());
            break;
        case 3:
            for (int k = 0; k < 8 && at + k < s.size(); ++k)
                s[at + k] = 0;
            break;
        case 4:
            s[at] = (char)(s[at] ^ (1 << (Next() % 8)));
            break;
        default:
            s.insert(at, std::string(1 + Next() % 64, (char)Next()));
            break;
        }
    }
    return s;
}

}  // namespace

int main(int argc, char** argv)
{
    const long iterations = argc > 1 ? atol(argv[1]) : 20000;
    const std::vector<std::string> seeds = {Seed(true, true, 600), Seed(true, false, 600), Seed(false, true, 400),
                                            Seed(true, true, 3200)};
    for (const std::string& s : seeds)
        Exercise(s);
    for (long i = 0; i < iterations; ++i)
        Exercise(Mutate(seeds[i % seeds.size()]));
    printf("asf fuzz: %ld inputs, no fault\n", iterations);
    return 0;
}

#endif
