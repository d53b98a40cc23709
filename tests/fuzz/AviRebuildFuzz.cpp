// Host fuzz target of the rebuild of cut screen AVIs: the chunk walker, the
// scan for the first chunk, the rebuild's output checked for consistency,
// and the WAV layout check. Built with libFuzzer (-DWITH_LIBFUZZER) or as a
// self-contained driver that mutates seeds with a fixed random sequence;
// either way under AddressSanitizer and UndefinedBehaviorSanitizer
// (tools/fuzz-avi-rebuild.sh).
#include "recovery/AviRebuild.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

uint32_t Le32(const std::string& b, size_t at)
{
    return (uint32_t)(uint8_t)b[at] | ((uint32_t)(uint8_t)b[at + 1] << 8) | ((uint32_t)(uint8_t)b[at + 2] << 16) |
           ((uint32_t)(uint8_t)b[at + 3] << 24);
}

avirebuild::RebuildFormat Format(uint32_t compression)
{
    avirebuild::RebuildFormat f;
    f.videoFormat.assign(40, 0);
    const uint32_t fields[] = { 40, 8, 4 };
    memcpy(&f.videoFormat[0], fields, sizeof(fields));
    f.videoFormat[12] = 1;
    f.videoFormat[14] = 24;
    memcpy(&f.videoFormat[16], &compression, 4);
    f.rate = 30000;
    f.scale = 1001;
    f.maxFrameBytes = 96 * 2;
    f.maxChunks = 5000;
    const uint8_t pcm[18] = { 1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0, 0, 0 };
    f.audioFormat.assign(pcm, pcm + 18);
    return f;
}

void Exercise(const std::string& bytes)
{
    for (uint32_t compression : { 0u, avirebuild::FourCC('x', 'r', 'v', 'c') }) {
        avirebuild::MemorySource in(bytes);
        avirebuild::MemorySink out;
        avirebuild::RebuildResult r;
        std::string error;
        int calls = 0;
        const bool ok = avirebuild::RebuildAvi(in, out, Format(compression), &r,
                                               [&](int percent) {
                                                   if (percent < 0 || percent > 100)
                                                       abort();
                                                   return ++calls < 100000;
                                               },
                                               &error);
        if (!ok)
            continue;
        // What was written holds together: the RIFF size, the frames within
        // what the input can hold, the index after the frames.
        const std::string& b = out.m_bytes;
        if (b.size() < 12 || Le32(b, 4) != b.size() - 8 || r.frames == 0 || r.walkedTo > bytes.size() ||
            (uint64_t)r.frames * 8 > bytes.size())
            abort();
        const size_t idx = b.rfind("idx1");
        if (idx == std::string::npos || Le32(b, idx + 4) != 16u * (r.frames + r.audioChunks))
            abort();
    }
    uint32_t offset = 0;
    uint16_t block = 0;
    if (avirebuild::ParseWaveLayout((const uint8_t*)bytes.data(), bytes.size(), &offset, &block) &&
        (offset > bytes.size() || block == 0))
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Exercise(std::string((const char*)data, size));
    return 0;
}

#ifndef WITH_LIBFUZZER

namespace {

void Put32(std::string& s, uint32_t v)
{
    s.append((const char*)&v, 4);
}

std::string Chunk(const char* id, const std::string& data)
{
    std::string c(id, 4);
    Put32(c, (uint32_t)data.size());
    c += data;
    if (data.size() & 1)
        c.push_back('\0');
    return c;
}

// A killed recording (zero header, frames and sound, a cut last chunk) and
// an intact file with header, movi list and index.
std::string Seed(bool intact)
{
    std::string frames;
    for (int n = 0; n < 12; ++n) {
        frames += Chunk(n % 2 ? "00dc" : "00db", std::string(n % 3 ? 96 : 7, (char)(n | 1)));
        if (n % 4 == 0)
            frames += Chunk("01wb", std::string(44, 's'));
        if (n == 5)
            frames += Chunk("LIST", "rec " + Chunk("00db", std::string(96, 'r')));
    }
    if (!intact)
        return std::string(2048, '\0') + frames + std::string("00db\x60\0\0\0partial", 15);
    std::string riff = "RIFF";
    Put32(riff, 0);
    riff += "AVI ";
    riff += Chunk("LIST", "hdrl" + Chunk("avih", std::string(56, '\0')));
    riff += Chunk("JUNK", std::string(100, '\0'));
    riff += Chunk("LIST", "movi" + frames);
    riff += Chunk("idx1", std::string(16 * 12, '\0'));
    return riff;
}

std::string WaveSeed()
{
    std::string w = "RIFF";
    Put32(w, 0);
    w += "WAVE";
    w += Chunk("fmt ", std::string("\x01\0\x01\0\x22\x56\0\0\x44\xac\0\0\x02\0\x10\0\0\0", 18));
    w += "data";
    Put32(w, 0);
    w += std::string(301, 'd');
    return w;
}

uint32_t g_random = 4321;
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
            // A wild 32-bit size field.
            for (int k = 0; k < 4 && at + k < s.size(); ++k)
                s[at + k] = (char)((k == 3) ? 0x7F : Next());
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
    const std::vector<std::string> seeds = { Seed(false), Seed(true), WaveSeed() };
    for (const std::string& s : seeds)
        Exercise(s);
    for (long i = 0; i < iterations; ++i)
        Exercise(Mutate(seeds[i % seeds.size()]));
    printf("avi rebuild fuzz: %ld inputs, no fault\n", iterations);
    return 0;
}

#endif
