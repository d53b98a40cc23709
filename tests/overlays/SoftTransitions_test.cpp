#include "overlays/RandomTable.h"
#include "overlays/SoftTransitions.h"

#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

const uint32_t kGuard = 0xDEADBEEFu;

const SoftTransitionRoutine* Routine(const char* name)
{
    for (const SoftTransitionRoutine& r : kSoftTransitionRoutines)
        if (strcmp(r.name, name) == 0)
            return &r;
    return nullptr;
}

std::vector<int32_t> ParseRuns(const char* text)
{
    std::vector<int32_t> out;
    std::istringstream in(text);
    std::string token;
    while (in >> token)
        if (token != "/")
            out.push_back(atoi(token.c_str()));
    return out;
}

// Runs a mask routine into a buffer with guard words on both sides; the guard
// words must survive.
std::vector<int32_t> RunMask(const SoftTransitionRoutine& r, double t, int w, int h, bool* guardsKept,
                             int* written)
{
    const int n = r.runsPerRow * h;
    std::vector<int32_t> buffer(n + 8, (int32_t)kGuard);
    int32_t* cursor = buffer.data() + 4;
    SoftFrameInfo frame = {0, w, h};
    r.mask(t, &frame, &cursor);
    *written = (int)(cursor - (buffer.data() + 4));
    bool kept = true;
    for (int i = 0; i < 4; ++i)
        kept = kept && buffer[i] == (int32_t)kGuard && buffer[n + 4 + i] == (int32_t)kGuard;
    *guardsKept = kept;
    return std::vector<int32_t>(buffer.begin() + 4, buffer.begin() + 4 + n);
}

// Frames whose pixels name their frame (A or B), row and column.
std::vector<uint32_t> CodedFrame(int w, int h, uint32_t tag)
{
    std::vector<uint32_t> f((size_t)w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            f[(size_t)y * w + x] = (tag << 28) | ((uint32_t)y << 8) | (uint32_t)x;
    return f;
}

std::vector<uint32_t> RampFrame(int w, int h)
{
    std::vector<uint32_t> f((size_t)w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            f[(size_t)y * w + x] = 0xFF000000u | ((x * 6 + y * 2) & 255) | (((x * 3) & 255) << 8)
                | (((y * 20) & 255) << 16);
    return f;
}

std::string Token(uint32_t v)
{
    char text[16];
    const uint32_t tag = v >> 28;
    if ((tag == 0xA || tag == 0xB) && (v & 0x0FFF0000u) == 0)
        snprintf(text, sizeof(text), "%c%u", tag == 0xA ? 'A' : 'B', v & 0xFF);
    else
        snprintf(text, sizeof(text), "%08X", v);
    return text;
}

std::string RowText(const std::vector<uint32_t>& f, int w, int y)
{
    std::string s;
    for (int x = 0; x < w; ++x) {
        if (x)
            s += " ";
        s += Token(f[(size_t)y * w + x]);
    }
    return s;
}

struct TableCase {
    const char* name;
    int w;
    int h;
    double t;
    const char* expected;
};

}  // namespace

// Runs of the twelve masks on 8x4 and 41x10 frames, derived by hand from the
// routines' arithmetic (rows separated by "/").
TEST(SoftTransitions, MaskRunsMatchTheDerivedTable)
{
    const TableCase cases[] = {
    {"Spiral", 8, 4, 0.0, "0 8 0 0 / 0 8 0 0 / 0 8 0 0 / 0 8 0 0"},
    {"Spiral", 8, 4, 0.25, "8 0 0 0 / 0 8 0 0 / 0 8 0 0 / 0 8 0 0"},
    {"Spiral", 8, 4, 0.5, "8 0 0 0 / 0 7 1 0 / 0 7 1 0 / 0 2 6 0"},
    {"Spiral", 8, 4, 1.0, "8 0 0 0 / 7 0 1 0 / 1 0 7 0 / 0 0 8 0"},
    {"Spiral", 41, 10, 0.0, "0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0"},
    {"Spiral", 41, 10, 0.25, "41 0 0 0 / 41 0 0 0 / 0 38 3 0 / 0 38 3 0 / 0 38 3 0 / 0 38 3 0 / 0 38 3 0 / 0 38 3 0 / 0 38 3 0 / 0 38 3 0"},
    {"Spiral", 41, 10, 0.5, "41 0 0 0 / 41 0 0 0 / 7 31 3 0 / 7 31 3 0 / 2 36 3 0 / 2 36 3 0 / 2 36 3 0 / 2 36 3 0 / 0 0 41 0 / 0 0 41 0"},
    {"Spiral", 41, 10, 1.0, "41 0 0 0 / 41 0 0 0 / 38 0 3 0 / 38 0 3 0 / 35 0 6 0 / 35 0 6 0 / 2 0 39 0 / 2 0 39 0 / 0 0 41 0 / 0 0 41 0"},
    {"Iris", 8, 4, 0.0, "0 4 0 4 / 0 4 0 4 / 0 4 0 4 / 0 4 0 4"},
    {"Iris", 8, 4, 0.25, "0 3 2 3 / 0 3 2 3 / 0 0 8 0 / 0 3 2 3"},
    {"Iris", 8, 4, 0.5, "0 2 4 2 / 0 0 8 0 / 0 0 8 0 / 0 0 8 0"},
    {"Iris", 8, 4, 1.0, "0 0 8 0 / 0 0 8 0 / 0 0 8 0 / 0 0 8 0"},
    {"Iris", 41, 10, 0.0, "0 21 0 20 / 0 21 0 20 / 0 21 0 20 / 0 21 0 20 / 0 21 0 20 / 0 21 0 20 / 0 21 0 20 / 0 21 0 20 / 0 21 0 20 / 0 21 0 20"},
    {"Iris", 41, 10, 0.25, "0 15 11 15 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0"},
    {"Iris", 41, 10, 0.5, "0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0"},
    {"Iris", 41, 10, 1.0, "0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0"},
    {"RadialWipe", 8, 4, 0.0, "0 4 0 4 / 0 4 0 4 / 0 4 0 4 / 0 0 0 8"},
    {"RadialWipe", 8, 4, 0.25, "0 4 4 0 / 0 4 4 0 / 0 4 4 0 / 0 0 0 8"},
    {"RadialWipe", 8, 4, 0.5, "0 4 4 0 / 0 4 4 0 / 0 4 4 0 / 0 4 4 0"},
    {"RadialWipe", 8, 4, 1.0, "4 0 4 0 / 4 0 4 0 / 4 0 4 0 / 0 0 8 0"},
    {"RadialWipe", 41, 10, 0.0, "0 20 0 21 / 0 20 0 21 / 0 20 0 21 / 0 20 0 21 / 0 20 0 21 / 0 20 0 21 / 0 0 0 41 / 0 0 0 41 / 0 0 0 41 / 0 0 0 41"},
    {"RadialWipe", 41, 10, 0.25, "0 20 21 0 / 0 20 21 0 / 0 20 21 0 / 0 20 21 0 / 0 20 21 0 / 0 20 21 0 / 0 0 0 41 / 0 0 0 41 / 0 0 0 41 / 0 0 0 41"},
    {"RadialWipe", 41, 10, 0.5, "0 20 21 0 / 0 20 21 0 / 0 20 21 0 / 0 20 21 0 / 0 20 21 0 / 0 20 21 0 / 0 20 21 0 / 0 20 21 0 / 0 20 21 0 / 0 20 21 0"},
    {"RadialWipe", 41, 10, 1.0, "20 0 21 0 / 20 0 21 0 / 20 0 21 0 / 20 0 21 0 / 20 0 21 0 / 20 0 21 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0"},
    {"ZigZag", 8, 4, 0.0, "0 8 0 0 / 0 8 0 0 / 0 8 0 0 / 0 8 0 0"},
    {"ZigZag", 8, 4, 0.25, "8 0 0 0 / 0 8 0 0 / 0 8 0 0 / 0 8 0 0"},
    {"ZigZag", 8, 4, 0.5, "8 0 0 0 / 8 0 0 0 / 0 8 0 0 / 0 8 0 0"},
    {"ZigZag", 8, 4, 1.0, "8 0 0 0 / 8 0 0 0 / 8 0 0 0 / 8 0 0 0"},
    {"ZigZag", 41, 10, 0.0, "0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0"},
    {"ZigZag", 41, 10, 0.25, "41 0 0 0 / 41 0 0 0 / 41 0 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0"},
    {"ZigZag", 41, 10, 0.5, "41 0 0 0 / 41 0 0 0 / 41 0 0 0 / 41 0 0 0 / 41 0 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0"},
    {"ZigZag", 41, 10, 1.0, "41 0 0 0 / 41 0 0 0 / 41 0 0 0 / 41 0 0 0 / 41 0 0 0 / 41 0 0 0 / 41 0 0 0 / 41 0 0 0 / 41 0 0 0 / 41 0 0 0"},
    {"Wheel", 8, 4, 0.0, "0 0 0 4 0 4 / 0 0 0 4 0 4 / 0 0 0 4 0 4 / 0 4 0 4 0 0"},
    {"Wheel", 8, 4, 0.25, "0 0 0 4 1 3 / 0 0 0 4 1 3 / 0 0 3 1 0 4 / 0 4 0 1 3 0"},
    {"Wheel", 8, 4, 0.5, "0 0 1 3 2 2 / 0 0 2 2 1 3 / 0 0 3 1 1 3 / 0 4 0 1 3 0"},
    {"Wheel", 8, 4, 1.0, "0 0 4 0 4 0 / 0 0 4 0 4 0 / 0 0 4 0 4 0 / 0 0 4 0 4 0"},
    {"Wheel", 41, 10, 0.0, "0 0 0 20 0 21 / 0 0 0 20 0 21 / 0 0 0 20 0 21 / 0 0 0 20 0 21 / 0 0 0 20 0 21 / 0 0 0 20 0 21 / 0 20 0 21 0 0 / 0 20 0 21 0 0 / 0 20 0 21 0 0 / 0 20 0 21 0 0"},
    {"Wheel", 41, 10, 0.25, "0 0 7 13 2 19 / 0 0 9 11 2 19 / 0 0 12 8 1 20 / 0 0 14 6 1 20 / 0 0 16 4 1 20 / 0 0 19 1 0 21 / 0 20 0 1 20 0 / 0 19 1 4 17 0 / 0 19 1 6 15 0 / 0 19 1 8 13 0"},
    {"Wheel", 41, 10, 0.5, "0 0 14 6 5 16 / 0 0 15 5 4 17 / 0 0 16 4 3 18 / 0 0 17 3 2 19 / 0 0 18 2 1 20 / 0 0 19 1 1 20 / 0 20 0 1 20 0 / 0 19 1 2 19 0 / 0 18 2 3 18 0 / 0 17 3 4 17 0"},
    {"Wheel", 41, 10, 1.0, "0 0 20 0 21 0 / 0 0 20 0 21 0 / 0 0 20 0 21 0 / 0 0 20 0 21 0 / 0 0 20 0 21 0 / 0 0 20 0 21 0 / 0 0 20 0 21 0 / 0 0 20 0 21 0 / 0 0 20 0 21 0 / 0 0 20 0 21 0"},
    {"Strips", 8, 4, 0.0, "0 8 0 0 / 0 8 0 0 / 0 8 0 0 / 0 8 0 0"},
    {"Strips", 8, 4, 0.25, "0 5 3 0 / 0 5 3 0 / 0 5 3 0 / 0 5 3 0"},
    {"Strips", 8, 4, 0.5, "0 2 6 0 / 0 2 6 0 / 0 2 6 0 / 0 2 6 0"},
    {"Strips", 8, 4, 1.0, "0 0 8 0 / 0 0 8 0 / 0 0 8 0 / 0 0 8 0"},
    {"Strips", 41, 10, 0.0, "0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0 / 0 41 0 0"},
    {"Strips", 41, 10, 0.25, "0 29 12 0 / 0 29 12 0 / 0 29 12 0 / 0 29 12 0 / 0 29 12 0 / 0 29 12 0 / 0 29 12 0 / 0 29 12 0 / 0 29 12 0 / 0 29 12 0"},
    {"Strips", 41, 10, 0.5, "0 16 25 0 / 0 16 25 0 / 0 16 25 0 / 0 16 25 0 / 0 16 25 0 / 0 16 25 0 / 0 16 25 0 / 0 16 25 0 / 0 16 25 0 / 0 16 25 0"},
    {"Strips", 41, 10, 1.0, "0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0"},
    {"Inset", 8, 4, 0.0, "0 8 / 0 8 / 0 8 / 0 8"},
    {"Inset", 8, 4, 0.25, "2 6 / 0 8 / 0 8 / 0 8"},
    {"Inset", 8, 4, 0.5, "4 4 / 4 4 / 0 8 / 0 8"},
    {"Inset", 8, 4, 1.0, "8 0 / 8 0 / 8 0 / 8 0"},
    {"Inset", 41, 10, 0.0, "0 41 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41"},
    {"Inset", 41, 10, 0.25, "10 31 / 10 31 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41"},
    {"Inset", 41, 10, 0.5, "20 21 / 20 21 / 20 21 / 20 21 / 20 21 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41"},
    {"Inset", 41, 10, 1.0, "41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0"},
    {"Blinds", 8, 4, 0.0, "8 0 / 8 0 / 8 0 / 8 0"},
    {"Blinds", 8, 4, 0.25, "8 0 / 8 0 / 8 0 / 8 0"},
    {"Blinds", 8, 4, 0.5, "8 0 / 8 0 / 8 0 / 8 0"},
    {"Blinds", 8, 4, 1.0, "8 0 / 8 0 / 8 0 / 8 0"},
    {"Blinds", 41, 10, 0.0, "41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0"},
    {"Blinds", 41, 10, 0.25, "41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0"},
    {"Blinds", 41, 10, 0.5, "41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0"},
    {"Blinds", 41, 10, 1.0, "41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0"},
    {"CheckerBoard", 8, 4, 0.0, "0 0 0 2 0 2 0 2 0 2 0 0 0 0 0 0 0 0 / 0 0 0 1 0 2 0 2 0 2 0 1 0 0 0 0 0 0 / 0 0 0 2 0 2 0 2 0 2 0 0 0 0 0 0 0 0 / 0 0 0 1 0 2 0 2 0 2 0 1 0 0 0 0 0 0"},
    {"CheckerBoard", 8, 4, 0.25, "0 0 0 2 0 2 0 2 0 2 0 0 0 0 0 0 0 0 / 0 0 0 1 0 2 0 2 0 2 0 1 0 0 0 0 0 0 / 0 0 0 2 0 2 0 2 0 2 0 0 0 0 0 0 0 0 / 0 0 0 1 0 2 0 2 0 2 0 1 0 0 0 0 0 0"},
    {"CheckerBoard", 8, 4, 0.5, "0 0 1 1 1 1 1 1 1 1 0 0 0 0 0 0 0 0 / 0 0 0 1 1 1 1 1 1 1 1 0 0 0 0 0 0 0 / 0 0 1 1 1 1 1 1 1 1 0 0 0 0 0 0 0 0 / 0 0 0 1 1 1 1 1 1 1 1 0 0 0 0 0 0 0"},
    {"CheckerBoard", 8, 4, 1.0, "0 0 2 0 2 0 2 0 2 0 0 0 0 0 0 0 0 0 / 0 0 1 0 2 0 2 0 2 0 1 0 0 0 0 0 0 0 / 0 0 2 0 2 0 2 0 2 0 0 0 0 0 0 0 0 0 / 0 0 1 0 2 0 2 0 2 0 1 0 0 0 0 0 0 0"},
    {"CheckerBoard", 41, 10, 0.0, "0 0 0 7 0 7 0 7 0 7 0 7 0 6 0 0 0 0 / 0 0 0 4 0 7 0 7 0 7 0 7 0 7 0 2 0 0 / 0 0 0 7 0 7 0 7 0 7 0 7 0 6 0 0 0 0 / 0 0 0 4 0 7 0 7 0 7 0 7 0 7 0 2 0 0 / 0 0 0 7 0 7 0 7 0 7 0 7 0 6 0 0 0 0 / 0 0 0 4 0 7 0 7 0 7 0 7 0 7 0 2 0 0 / 0 0 0 7 0 7 0 7 0 7 0 7 0 6 0 0 0 0 / 0 0 0 4 0 7 0 7 0 7 0 7 0 7 0 2 0 0 / 0 0 0 7 0 7 0 7 0 7 0 7 0 6 0 0 0 0 / 0 0 0 4 0 7 0 7 0 7 0 7 0 7 0 2 0 0"},
    {"CheckerBoard", 41, 10, 0.25, "0 0 1 6 1 6 1 6 1 6 1 6 1 5 0 0 0 0 / 0 0 0 4 1 6 1 6 1 6 1 6 1 6 1 1 0 0 / 0 0 1 6 1 6 1 6 1 6 1 6 1 5 0 0 0 0 / 0 0 0 4 1 6 1 6 1 6 1 6 1 6 1 1 0 0 / 0 0 1 6 1 6 1 6 1 6 1 6 1 5 0 0 0 0 / 0 0 0 4 1 6 1 6 1 6 1 6 1 6 1 1 0 0 / 0 0 1 6 1 6 1 6 1 6 1 6 1 5 0 0 0 0 / 0 0 0 4 1 6 1 6 1 6 1 6 1 6 1 1 0 0 / 0 0 1 6 1 6 1 6 1 6 1 6 1 5 0 0 0 0 / 0 0 0 4 1 6 1 6 1 6 1 6 1 6 1 1 0 0"},
    {"CheckerBoard", 41, 10, 0.5, "0 0 3 4 3 4 3 4 3 4 3 4 3 3 0 0 0 0 / 0 0 0 4 3 4 3 4 3 4 3 4 3 4 2 0 0 0 / 0 0 3 4 3 4 3 4 3 4 3 4 3 3 0 0 0 0 / 0 0 0 4 3 4 3 4 3 4 3 4 3 4 2 0 0 0 / 0 0 3 4 3 4 3 4 3 4 3 4 3 3 0 0 0 0 / 0 0 0 4 3 4 3 4 3 4 3 4 3 4 2 0 0 0 / 0 0 3 4 3 4 3 4 3 4 3 4 3 3 0 0 0 0 / 0 0 0 4 3 4 3 4 3 4 3 4 3 4 2 0 0 0 / 0 0 3 4 3 4 3 4 3 4 3 4 3 3 0 0 0 0 / 0 0 0 4 3 4 3 4 3 4 3 4 3 4 2 0 0 0"},
    {"CheckerBoard", 41, 10, 1.0, "0 0 7 0 7 0 7 0 7 0 7 0 6 0 0 0 0 0 / 0 0 4 0 7 0 7 0 7 0 7 0 7 0 2 0 0 0 / 0 0 7 0 7 0 7 0 7 0 7 0 6 0 0 0 0 0 / 0 0 4 0 7 0 7 0 7 0 7 0 7 0 2 0 0 0 / 0 0 7 0 7 0 7 0 7 0 7 0 6 0 0 0 0 0 / 0 0 4 0 7 0 7 0 7 0 7 0 7 0 2 0 0 0 / 0 0 7 0 7 0 7 0 7 0 7 0 6 0 0 0 0 0 / 0 0 4 0 7 0 7 0 7 0 7 0 7 0 2 0 0 0 / 0 0 7 0 7 0 7 0 7 0 7 0 6 0 0 0 0 0 / 0 0 4 0 7 0 7 0 7 0 7 0 7 0 2 0 0 0"},
    {"DxtJpeg Class", 8, 4, 0.0, "0 8 / 0 8 / 0 8 / 0 8"},
    {"DxtJpeg Class", 8, 4, 0.25, "2 6 / 2 6 / 2 6 / 2 6"},
    {"DxtJpeg Class", 8, 4, 0.5, "4 4 / 4 4 / 4 4 / 4 4"},
    {"DxtJpeg Class", 8, 4, 1.0, "8 0 / 8 0 / 8 0 / 8 0"},
    {"DxtJpeg Class", 41, 10, 0.0, "0 41 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41 / 0 41"},
    {"DxtJpeg Class", 41, 10, 0.25, "10 31 / 10 31 / 10 31 / 10 31 / 10 31 / 10 31 / 10 31 / 10 31 / 10 31 / 10 31"},
    {"DxtJpeg Class", 41, 10, 0.5, "20 21 / 20 21 / 20 21 / 20 21 / 20 21 / 20 21 / 20 21 / 20 21 / 20 21 / 20 21"},
    {"DxtJpeg Class", 41, 10, 1.0, "41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0 / 41 0"},
    {"Barn", 8, 4, 0.0, "0 4 0 4 / 0 4 0 4 / 0 4 0 4 / 0 4 0 4"},
    {"Barn", 8, 4, 0.25, "0 3 2 3 / 0 3 2 3 / 0 3 2 3 / 0 3 2 3"},
    {"Barn", 8, 4, 0.5, "0 2 4 2 / 0 2 4 2 / 0 2 4 2 / 0 2 4 2"},
    {"Barn", 8, 4, 1.0, "0 0 8 0 / 0 0 8 0 / 0 0 8 0 / 0 0 8 0"},
    {"Barn", 41, 10, 0.0, "0 20 0 21 / 0 20 0 21 / 0 20 0 21 / 0 20 0 21 / 0 20 0 21 / 0 20 0 21 / 0 20 0 21 / 0 20 0 21 / 0 20 0 21 / 0 20 0 21"},
    {"Barn", 41, 10, 0.25, "0 15 10 16 / 0 15 10 16 / 0 15 10 16 / 0 15 10 16 / 0 15 10 16 / 0 15 10 16 / 0 15 10 16 / 0 15 10 16 / 0 15 10 16 / 0 15 10 16"},
    {"Barn", 41, 10, 0.5, "0 10 20 11 / 0 10 20 11 / 0 10 20 11 / 0 10 20 11 / 0 10 20 11 / 0 10 20 11 / 0 10 20 11 / 0 10 20 11 / 0 10 20 11 / 0 10 20 11"},
    {"Barn", 41, 10, 1.0, "0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0 / 0 0 41 0"},
    };
    for (const TableCase& c : cases) {
        const SoftTransitionRoutine* r = Routine(c.name);
        ASSERT_TRUE(r && r->mask) << c.name;
        bool guards = false;
        int written = 0;
        std::vector<int32_t> runs = RunMask(*r, c.t, c.w, c.h, &guards, &written);
        EXPECT_EQ(ParseRuns(c.expected), runs) << c.name << " " << c.w << "x" << c.h << " t=" << c.t;
        EXPECT_TRUE(guards) << c.name;
        EXPECT_EQ(r->runsPerRow * c.h, written) << c.name;
    }
}

// Pixels of the six pixel routines: A/B tokens name the frame and column a
// pixel came from; hex values are blends of red into blue (or of the ramp).
TEST(SoftTransitions, PixelRoutinesMatchTheDerivedTable)
{
    const TableCase cases[] = {
    {"Fade", 8, 4, 0.0, "FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000"},
    {"Fade", 8, 4, 0.25, "FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F"},
    {"Fade", 8, 4, 0.5, "FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F"},
    {"Fade", 8, 4, 1.0, "FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF"},
    {"Fade", 41, 10, 0.0, "FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000"},
    {"Fade", 41, 10, 0.25, "FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F FFBF003F"},
    {"Fade", 41, 10, 0.5, "FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F FF7F007F"},
    {"Fade", 41, 10, 1.0, "FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF"},
    {"Stretch", 8, 4, 0.0, "A0 A1 A2 A3 A4 A5 A6 A7"},
    {"Stretch", 8, 4, 0.25, "A0 A1 A2 B3 B4 A5 A6 A7"},
    {"Stretch", 8, 4, 0.5, "A0 A1 B2 B2 B4 B6 A6 A7"},
    {"Stretch", 8, 4, 1.0, "B0 B1 B2 B3 B4 B5 B6 B7"},
    {"Stretch", 41, 10, 0.0, "A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 A10 A11 A12 A13 A14 A15 A16 A17 A18 A19 A20 A21 A22 A23 A24 A25 A26 A27 A28 A29 A30 A31 A32 A33 A34 A35 A36 A37 A38 A39 A40"},
    {"Stretch", 41, 10, 0.25, "A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 A10 A11 A12 A13 A14 A15 B1 B5 B9 B13 B17 B24 B28 B32 B36 A25 A26 A27 A28 A29 A30 A31 A32 A33 A34 A35 A36 A37 A38 A39 A40"},
    {"Stretch", 41, 10, 0.5, "A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 A10 B1 B3 B5 B7 B9 B11 B13 B15 B17 B19 B22 B24 B26 B28 B30 B32 B34 B36 B38 A30 A31 A32 A33 A34 A35 A36 A37 A38 A39 A40"},
    {"Stretch", 41, 10, 1.0, "B0 B1 B2 B3 B4 B5 B6 B7 B8 B9 B10 B11 B12 B13 B14 B15 B16 B17 B18 B19 B20 B21 B22 B23 B24 B25 B26 B27 B28 B29 B30 B31 B32 B33 B34 B35 B36 B37 B38 B39 B40"},
    {"GradientWipe", 8, 4, 0.0, "FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000"},
    {"GradientWipe", 8, 4, 0.25, "FF0000FF FF0000FF FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000"},
    {"GradientWipe", 8, 4, 0.5, "FF0000FF FF0000FF FF0000FF FF0000FF FFFF0000 FFFF0000 FFFF0000 FFFF0000"},
    {"GradientWipe", 8, 4, 1.0, "FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF"},
    {"GradientWipe", 41, 10, 0.0, "FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000"},
    {"GradientWipe", 41, 10, 0.25, "FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF1F00DF FF3F00BF FF5F009F FF7F007F FF9F005F FFBF003F FFDF001F FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000"},
    {"GradientWipe", 41, 10, 0.5, "FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF1F00DF FF3F00BF FF5F009F FF7F007F FF9F005F FFBF003F FFDF001F FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000 FFFF0000"},
    {"GradientWipe", 41, 10, 1.0, "FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF FF0000FF"},
    {"Slide", 8, 4, 0.0, "A0 A1 A2 A3 A4 A5 A6 A7"},
    {"Slide", 8, 4, 0.25, "A2 A3 A4 A5 A6 A7 B6 B7"},
    {"Slide", 8, 4, 0.5, "A4 A5 A6 A7 B4 B5 B6 B7"},
    {"Slide", 8, 4, 1.0, "B0 B1 B2 B3 B4 B5 B6 B7"},
    {"Slide", 41, 10, 0.0, "A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 A10 A11 A12 A13 A14 A15 A16 A17 A18 A19 A20 A21 A22 A23 A24 A25 A26 A27 A28 A29 A30 A31 A32 A33 A34 A35 A36 A37 A38 A39 A40"},
    {"Slide", 41, 10, 0.25, "A11 A12 A13 A14 A15 A16 A17 A18 A19 A20 A21 A22 A23 A24 A25 A26 A27 A28 A29 A30 A31 A32 A33 A34 A35 A36 A37 A38 A39 A40 B30 B31 B32 B33 B34 B35 B36 B37 B38 B39 B40"},
    {"Slide", 41, 10, 0.5, "A21 A22 A23 A24 A25 A26 A27 A28 A29 A30 A31 A32 A33 A34 A35 A36 A37 A38 A39 A40 B20 B21 B22 B23 B24 B25 B26 B27 B28 B29 B30 B31 B32 B33 B34 B35 B36 B37 B38 B39 B40"},
    {"Slide", 41, 10, 1.0, "B0 B1 B2 B3 B4 B5 B6 B7 B8 B9 B10 B11 B12 B13 B14 B15 B16 B17 B18 B19 B20 B21 B22 B23 B24 B25 B26 B27 B28 B29 B30 B31 B32 B33 B34 B35 B36 B37 B38 B39 B40"},
    {"Pixelate", 8, 4, 0.0, "FF000000 FF000306 FF00060C FF000912 FF000C18 FF000F1E FF001224 FF00152A / FF140002 FF140308 FF14060E FF140914 FF140C1A FF140F20 FF141226 FF14152C / FF280004 FF28030A FF280610 FF280916 FF280C1C FF280F22 FF281228 FF28152E / FF3C0006 FF3C030C FF3C0612 FF3C0918 FF3C0C1E FF3C0F24 FF3C122A FF3C1530"},
    {"Pixelate", 8, 4, 0.25, "001E121B 001E121B 001E121B 001E121B 001E121B 001E121B 001E121B 001E121B"},
    {"Pixelate", 8, 4, 0.5, "001E1A1F 001E1A1F 001E1A1F 001E1A1F 001E1A1F 001E1A1F 001E1A1F 001E1A1F"},
    {"Pixelate", 8, 4, 1.0, "FF102030 FF102336 FF10263C FF102922 FF102C28 FF102F2E FF103214 FF10351A / FF042032 FF042338 FF04263E FF042924 FF042C2A FF042F10 FF043216 FF04351C / FF382034 FF38233A FF382620 FF382926 FF382C2C FF382F12 FF383218 FF38351E / FF2C2036 FF2C233C FF2C2622 FF2C2928 FF2C2C2E FF2C2F14 FF2C321A FF2C3500"},
    {"Pixelate", 41, 10, 0.0, "FF000000 FF000306 FF00060C FF000912 FF000C18 FF000F1E FF001224 FF00152A FF001830 FF001B36 FF001E3C FF002142 FF002448 FF00274E FF002A54 FF002D5A FF003060 FF003366 FF00366C FF003972 FF003C78 FF003F7E FF004284 FF00458A FF004890 FF004B96 FF004E9C FF0051A2 FF0054A8 FF0057AE FF005AB4 FF005DBA FF0060C0 FF0063C6 FF0066CC FF0069D2 FF006CD8 FF006FDE FF0072E4 FF0075EA FF0078F0 / FF140002 FF140308 FF14060E FF140914 FF140C1A FF140F20 FF141226 FF14152C FF141832 FF141B38 FF141E3E FF142144 FF14244A FF142750 FF142A56 FF142D5C FF143062 FF143368 FF14366E FF143974 FF143C7A FF143F80 FF144286 FF14458C FF144892 FF144B98 FF144E9E FF1451A4 FF1454AA FF1457B0 FF145AB6 FF145DBC FF1460C2 FF1463C8 FF1466CE FF1469D4 FF146CDA FF146FE0 FF1472E6 FF1475EC FF1478F2 / FF280004 FF28030A FF280610 FF280916 FF280C1C FF280F22 FF281228 FF28152E FF281834 FF281B3A FF281E40 FF282146 FF28244C FF282752 FF282A58 FF282D5E FF283064 FF28336A FF283670 FF283976 FF283C7C FF283F82 FF284288 FF28458E FF284894 FF284B9A FF284EA0 FF2851A6 FF2854AC FF2857B2 FF285AB8 FF285DBE FF2860C4 FF2863CA FF2866D0 FF2869D6 FF286CDC FF286FE2 FF2872E8 FF2875EE FF2878F4 / FF3C0006 FF3C030C FF3C0612 FF3C0918 FF3C0C1E FF3C0F24 FF3C122A FF3C1530 FF3C1836 FF3C1B3C FF3C1E42 FF3C2148 FF3C244E FF3C2754 FF3C2A5A FF3C2D60 FF3C3066 FF3C336C FF3C3672 FF3C3978 FF3C3C7E FF3C3F84 FF3C428A FF3C4590 FF3C4896 FF3C4B9C FF3C4EA2 FF3C51A8 FF3C54AE FF3C57B4 FF3C5ABA FF3C5DC0 FF3C60C6 FF3C63CC FF3C66D2 FF3C69D8 FF3C6CDE FF3C6FE4 FF3C72EA FF3C75F0 FF3C78F6 / FF500008 FF50030E FF500614 FF50091A FF500C20 FF500F26 FF50122C FF501532 FF501838 FF501B3E FF501E44 FF50214A FF502450 FF502756 FF502A5C FF502D62 FF503068 FF50336E FF503674 FF50397A FF503C80 FF503F86 FF50428C FF504592 FF504898 FF504B9E FF504EA4 FF5051AA FF5054B0 FF5057B6 FF505ABC FF505DC2 FF5060C8 FF5063CE FF5066D4 FF5069DA FF506CE0 FF506FE6 FF5072EC FF5075F2 FF5078F8 / FF64000A FF640310 FF640616 FF64091C FF640C22 FF640F28 FF64122E FF641534 FF64183A FF641B40 FF641E46 FF64214C FF642452 FF642758 FF642A5E FF642D64 FF64306A FF643370 FF643676 FF64397C FF643C82 FF643F88 FF64428E FF644594 FF64489A FF644BA0 FF644EA6 FF6451AC FF6454B2 FF6457B8 FF645ABE FF645DC4 FF6460CA FF6463D0 FF6466D6 FF6469DC FF646CE2 FF646FE8 FF6472EE FF6475F4 FF6478FA / FF78000C FF780312 FF780618 FF78091E FF780C24 FF780F2A FF781230 FF781536 FF78183C FF781B42 FF781E48 FF78214E FF782454 FF78275A FF782A60 FF782D66 FF78306C FF783372 FF783678 FF78397E FF783C84 FF783F8A FF784290 FF784596 FF78489C FF784BA2 FF784EA8 FF7851AE FF7854B4 FF7857BA FF785AC0 FF785DC6 FF7860CC FF7863D2 FF7866D8 FF7869DE FF786CE4 FF786FEA FF7872F0 FF7875F6 FF7878FC / FF8C000E FF8C0314 FF8C061A FF8C0920 FF8C0C26 FF8C0F2C FF8C1232 FF8C1538 FF8C183E FF8C1B44 FF8C1E4A FF8C2150 FF8C2456 FF8C275C FF8C2A62 FF8C2D68 FF8C306E FF8C3374 FF8C367A FF8C3980 FF8C3C86 FF8C3F8C FF8C4292 FF8C4598 FF8C489E FF8C4BA4 FF8C4EAA FF8C51B0 FF8C54B6 FF8C57BC FF8C5AC2 FF8C5DC8 FF8C60CE FF8C63D4 FF8C66DA FF8C69E0 FF8C6CE6 FF8C6FEC FF8C72F2 FF8C75F8 FF8C78FE / FFA00010 FFA00316 FFA0061C FFA00922 FFA00C28 FFA00F2E FFA01234 FFA0153A FFA01840 FFA01B46 FFA01E4C FFA02152 FFA02458 FFA0275E FFA02A64 FFA02D6A FFA03070 FFA03376 FFA0367C FFA03982 FFA03C88 FFA03F8E FFA04294 FFA0459A FFA048A0 FFA04BA6 FFA04EAC FFA051B2 FFA054B8 FFA057BE FFA05AC4 FFA05DCA FFA060D0 FFA063D6 FFA066DC FFA069E2 FFA06CE8 FFA06FEE FFA072F4 FFA075FA FFA07800 / FFB40012 FFB40318 FFB4061E FFB40924 FFB40C2A FFB40F30 FFB41236 FFB4153C FFB41842 FFB41B48 FFB41E4E FFB42154 FFB4245A FFB42760 FFB42A66 FFB42D6C FFB43072 FFB43378 FFB4367E FFB43984 FFB43C8A FFB43F90 FFB44296 FFB4459C FFB448A2 FFB44BA8 FFB44EAE FFB451B4 FFB454BA FFB457C0 FFB45AC6 FFB45DCC FFB460D2 FFB463D8 FFB466DE FFB469E4 FFB46CEA FFB46FF0 FFB472F6 FFB475FC FFB47802"},
    {"Pixelate", 41, 10, 0.25, "005A121E 005A121E 005A121E 005A121E 005A121E 005A121E 005A121E 005A121E 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A3C81 005A65DB 005A65DB 005A65DB 005A65DB 005A65DB 005A65DB 005A65DB 005A65DB"},
    {"Pixelate", 41, 10, 0.5, "005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F 005A3C7F"},
    {"Pixelate", 41, 10, 1.0, "FF102030 FF102336 FF10263C FF102922 FF102C28 FF102F2E FF103214 FF10351A FF103800 FF103B06 FF103E0C FF100172 FF100478 FF10077E FF100A64 FF100D6A FF101050 FF101356 FF10165C FF101942 FF101C48 FF101F4E FF1062B4 FF1065BA FF1068A0 FF106BA6 FF106EAC FF107192 FF107498 FF10779E FF107A84 FF107D8A FF1040F0 FF1043F6 FF1046FC FF1049E2 FF104CE8 FF104FEE FF1052D4 FF1055DA FF1058C0 / FF042032 FF042338 FF04263E FF042924 FF042C2A FF042F10 FF043216 FF04351C FF043802 FF043B08 FF043E0E FF040174 FF04047A FF040760 FF040A66 FF040D6C FF041052 FF041358 FF04165E FF041944 FF041C4A FF041FB0 FF0462B6 FF0465BC FF0468A2 FF046BA8 FF046EAE FF047194 FF04749A FF047780 FF047A86 FF047D8C FF0440F2 FF0443F8 FF0446FE FF0449E4 FF044CEA FF044FD0 FF0452D6 FF0455DC FF0458C2 / FF382034 FF38233A FF382620 FF382926 FF382C2C FF382F12 FF383218 FF38351E FF383804 FF383B0A FF383E70 FF380176 FF38047C FF380762 FF380A68 FF380D6E FF381054 FF38135A FF381640 FF381946 FF381C4C FF381FB2 FF3862B8 FF3865BE FF3868A4 FF386BAA FF386E90 FF387196 FF38749C FF387782 FF387A88 FF387D8E FF3840F4 FF3843FA FF3846E0 FF3849E6 FF384CEC FF384FD2 FF3852D8 FF3855DE FF3858C4 / FF2C2036 FF2C233C FF2C2622 FF2C2928 FF2C2C2E FF2C2F14 FF2C321A FF2C3500 FF2C3806 FF2C3B0C FF2C3E72 FF2C0178 FF2C047E FF2C0764 FF2C0A6A FF2C0D50 FF2C1056 FF2C135C FF2C1642 FF2C1948 FF2C1C4E FF2C1FB4 FF2C62BA FF2C65A0 FF2C68A6 FF2C6BAC FF2C6E92 FF2C7198 FF2C749E FF2C7784 FF2C7A8A FF2C7DF0 FF2C40F6 FF2C43FC FF2C46E2 FF2C49E8 FF2C4CEE FF2C4FD4 FF2C52DA FF2C55C0 FF2C58C6 / FF402038 FF40233E FF402624 FF40292A FF402C10 FF402F16 FF40321C FF403502 FF403808 FF403B0E FF403E74 FF40017A FF400460 FF400766 FF400A6C FF400D52 FF401058 FF40135E FF401644 FF40194A FF401CB0 FF401FB6 FF4062BC FF4065A2 FF4068A8 FF406BAE FF406E94 FF40719A FF407480 FF407786 FF407A8C FF407DF2 FF4040F8 FF4043FE FF4046E4 FF4049EA FF404CD0 FF404FD6 FF4052DC FF4055C2 FF4058C8 / FF74203A FF742320 FF742626 FF74292C FF742C12 FF742F18 FF74321E FF743504 FF74380A FF743B70 FF743E76 FF74017C FF740462 FF740768 FF740A6E FF740D54 FF74105A FF741340 FF741646 FF74194C FF741CB2 FF741FB8 FF7462BE FF7465A4 FF7468AA FF746B90 FF746E96 FF74719C FF747482 FF747788 FF747A8E FF747DF4 FF7440FA FF7443E0 FF7446E6 FF7449EC FF744CD2 FF744FD8 FF7452DE FF7455C4 FF7458CA / FF68203C FF682322 FF682628 FF68292E FF682C14 FF682F1A FF683200 FF683506 FF68380C FF683B72 FF683E78 FF68017E FF680464 FF68076A FF680A50 FF680D56 FF68105C FF681342 FF681648 FF68194E FF681CB4 FF681FBA FF6862A0 FF6865A6 FF6868AC FF686B92 FF686E98 FF68719E FF687484 FF68778A FF687AF0 FF687DF6 FF6840FC FF6843E2 FF6846E8 FF6849EE FF684CD4 FF684FDA FF6852C0 FF6855C6 FF6858CC / FF9C203E FF9C2324 FF9C262A FF9C2910 FF9C2C16 FF9C2F1C FF9C3202 FF9C3508 FF9C380E FF9C3B74 FF9C3E7A FF9C0160 FF9C0466 FF9C076C FF9C0A52 FF9C0D58 FF9C105E FF9C1344 FF9C164A FF9C19B0 FF9C1CB6 FF9C1FBC FF9C62A2 FF9C65A8 FF9C68AE FF9C6B94 FF9C6E9A FF9C7180 FF9C7486 FF9C778C FF9C7AF2 FF9C7DF8 FF9C40FE FF9C43E4 FF9C46EA FF9C49D0 FF9C4CD6 FF9C4FDC FF9C52C2 FF9C55C8 FF9C58CE / FFB02020 FFB02326 FFB0262C FFB02912 FFB02C18 FFB02F1E FFB03204 FFB0350A FFB03870 FFB03B76 FFB03E7C FFB00162 FFB00468 FFB0076E FFB00A54 FFB00D5A FFB01040 FFB01346 FFB0164C FFB019B2 FFB01CB8 FFB01FBE FFB062A4 FFB065AA FFB06890 FFB06B96 FFB06E9C FFB07182 FFB07488 FFB0778E FFB07AF4 FFB07DFA FFB040E0 FFB043E6 FFB046EC FFB049D2 FFB04CD8 FFB04FDE FFB052C4 FFB055CA FFB05830 / FFA42022 FFA42328 FFA4262E FFA42914 FFA42C1A FFA42F00 FFA43206 FFA4350C FFA43872 FFA43B78 FFA43E7E FFA40164 FFA4046A FFA40750 FFA40A56 FFA40D5C FFA41042 FFA41348 FFA4164E FFA419B4 FFA41CBA FFA41FA0 FFA462A6 FFA465AC FFA46892 FFA46B98 FFA46E9E FFA47184 FFA4748A FFA477F0 FFA47AF6 FFA47DFC FFA440E2 FFA443E8 FFA446EE FFA449D4 FFA44CDA FFA44FC0 FFA452C6 FFA455CC FFA45832"},
    };
    for (const TableCase& c : cases) {
        const SoftTransitionRoutine* r = Routine(c.name);
        ASSERT_TRUE(r && r->pixel) << c.name;
        std::vector<uint32_t> a, b;
        if (!strcmp(c.name, "Stretch") || !strcmp(c.name, "Slide")) {
            a = CodedFrame(c.w, c.h, 0xA);
            b = CodedFrame(c.w, c.h, 0xB);
        } else if (!strcmp(c.name, "Pixelate")) {
            a = RampFrame(c.w, c.h);
            b = a;
            for (uint32_t& p : b)
                p ^= 0x00102030u;
        } else {
            a.assign((size_t)c.w * c.h, 0xFFFF0000u);
            b.assign((size_t)c.w * c.h, 0xFF0000FFu);
        }
        const std::vector<uint32_t> before = a;
        SoftFrameInfo frame = {0, c.w, c.h};
        r->pixel(c.t, &frame, a.data(), b.data());
        EXPECT_EQ(before, a) << c.name << ": the outgoing frame is only read";
        std::string expected = c.expected;
        const bool perRow = expected.find(" / ") != std::string::npos;
        for (int y = 0; y < c.h; ++y) {
            std::string want = expected;
            if (perRow) {
                size_t start = 0;
                for (int i = 0; i < y; ++i)
                    start = expected.find(" / ", start) + 3;
                size_t end = expected.find(" / ", start);
                want = expected.substr(start, end == std::string::npos ? std::string::npos : end - start);
            }
            EXPECT_EQ(want, RowText(b, c.w, y)) << c.name << " " << c.w << "x" << c.h << " t=" << c.t << " row " << y;
        }
    }
}

TEST(SoftTransitions, FadeHalfwayFromRedToBlueIsPurple)
{
    uint32_t red = 0x00FF0000u;   // B, G, R, X bytes in memory
    uint32_t blue = 0x000000FFu;
    SoftFrameInfo frame = {0, 1, 1};
    SoftFade(0.5, &frame, &red, &blue);
    EXPECT_EQ(127u, (blue >> 16) & 0xFF) << "red";
    EXPECT_EQ(0u, (blue >> 8) & 0xFF) << "green";
    EXPECT_EQ(127u, blue & 0xFF) << "blue";
}

// Every pair of bytes at weights from 0 to 1, the largest products
// included: each byte is (incoming x a + outgoing x (2^24 - a)) >> 24 with
// a = trunc(t x 2^24), computed without overflow in every lane.
TEST(SoftTransitions, FadeIsExactForEveryBytePair)
{
    std::vector<uint32_t> outgoing(256 * 256 / 4), incoming(outgoing.size()), before;
    uint8_t* a = reinterpret_cast<uint8_t*>(outgoing.data());
    uint8_t* b = reinterpret_cast<uint8_t*>(incoming.data());
    for (double t : {0.0, 1e-9, 0.25, 0.5, 0.999, 1.0 - 1e-9, 1.0}) {
        for (int i = 0; i < 256 * 256; ++i) {
            a[i] = (uint8_t)(i >> 8);
            b[i] = (uint8_t)i;
        }
        SoftFrameInfo frame = {0, 128, 128};   // 65536 bytes
        SoftFade(t, &frame, outgoing.data(), incoming.data());
        const uint64_t w = (uint64_t)(t * 16777216.0);
        int wrong = 0;
        for (int i = 0; i < 256 * 256; ++i) {
            const uint64_t want = ((uint64_t)(i & 0xFF) * w + (uint64_t)(i >> 8) * (16777216 - w)) >> 24;
            if (b[i] != want && wrong++ < 3)
                ADD_FAILURE() << "t " << t << ": outgoing " << (i >> 8) << ", incoming " << (i & 0xFF) << " gave "
                              << (int)b[i] << " instead of " << want;
        }
        EXPECT_EQ(0, wrong) << "t " << t;
    }
}

// GradientWipe's soft edge over a full-width row of varied bytes: pixel x of
// the band takes the outgoing bytes at weight (x - (pos - band)) x step,
// against the formula in 64 bits.
TEST(SoftTransitions, GradientWipeEdgeIsExact)
{
    const int w = 1920, h = 2;
    const int64_t band = 384;                   // trunc(1920 x 0.2)
    const uint64_t step = 16777216 / band;
    for (double t : {0.1, 0.5, 0.9}) {
        std::vector<uint32_t> outgoing((size_t)w * h), incoming(outgoing.size());
        for (size_t i = 0; i < outgoing.size(); ++i) {
            outgoing[i] = (uint32_t)(i * 2654435761u);
            incoming[i] = (uint32_t)(i * 40503u + 0x9E3779B9u);
        }
        const std::vector<uint32_t> before = incoming;
        SoftFrameInfo frame = {0, w, h};
        SoftGradientWipe(t, &frame, outgoing.data(), incoming.data());
        const int64_t pos = (int64_t)((w + band) * t), start = pos - band;
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const size_t i = (size_t)y * w + x;
                uint32_t want = before[i];
                if (x >= pos) {
                    want = outgoing[i];
                } else if (x >= start) {
                    const uint64_t wa = (uint64_t)(x - start) * step;
                    want = 0;
                    for (int c = 0; c < 32; c += 8)
                        want |= (uint32_t)(((((outgoing[i] >> c) & 0xFF) * wa +
                                             ((before[i] >> c) & 0xFF) * (16777216 - wa)) >> 24)
                                           << c);
                }
                if (incoming[i] != want && wrong++ < 3)
                    ADD_FAILURE() << "t " << t << " at " << x << "," << y << ": " << std::hex << incoming[i]
                                  << " instead of " << want;
            }
        EXPECT_EQ(0, wrong) << "t " << t;
    }
}

// The random transitions: t = 0 shows only the outgoing frame and t = 1 only
// the incoming one; in between a row (RandomBars) or pixel (RandomDissolve)
// is incoming exactly when its random value is below t * 32768.
TEST(SoftTransitions, RandomRoutinesFollowTheSharedTable)
{
    RandomTable::Shared().Clear();
    srand(4242);
    const int w = 41, h = 10;
    for (double t : {0.0, 0.25, 0.5, 1.0}) {
        SoftFrameInfo frame = {0, w, h};
        bool guards = false;
        int written = 0;
        std::vector<int32_t> runs = RunMask(*Routine("RandomBars"), t, w, h, &guards, &written);
        int count = 0;
        const uint16_t* values = RandomTable::Shared().Acquire(20011, &count);
        ASSERT_EQ(20011, count);
        for (int y = 0; y < h; ++y) {
            const bool incoming = values[y] < (int)(t * 32768.0);
            EXPECT_EQ(incoming ? w : 0, runs[2 * y]) << "RandomBars t=" << t << " row " << y;
            if (t == 0.0 || t == 1.0) {
                EXPECT_EQ(t == 1.0, incoming);
            }
        }
        std::vector<uint32_t> a = CodedFrame(w, h, 0xA), b = CodedFrame(w, h, 0xB);
        SoftRandomDissolve(t, &frame, a.data(), b.data());
        int next = 0;
        for (int y = 0; y < h; ++y)
            for (int x = w - 1; x >= 0; --x) {
                const bool incoming = values[next++] < (int)(t * 32768.0);
                EXPECT_EQ(incoming ? 0xBu : 0xAu, b[(size_t)y * w + x] >> 28)
                    << "RandomDissolve t=" << t << " at " << x << "," << y;
            }
    }
}

// Runs written by the masks combine with the frames: incoming runs keep B.
TEST(SoftTransitions, ApplyingRunsCopiesTheOutgoingRuns)
{
    const int w = 8, h = 2;
    const int32_t runs[] = {2, 3, 1, 2, /* row 1 */ 0, 8, 5, 9};   // row 1's excess is cut at the width
    std::vector<uint32_t> a = CodedFrame(w, h, 0xA), b = CodedFrame(w, h, 0xB);
    SoftFrameInfo frame = {0, w, h};
    SoftApplyRuns(runs, 4, &frame, a.data(), b.data());
    EXPECT_EQ("B0 B1 A2 A3 A4 B5 A6 A7", RowText(b, w, 0));
    EXPECT_EQ("A0 A1 A2 A3 A4 A5 A6 A7", RowText(b, w, 1));

    std::vector<uint32_t> c = CodedFrame(w, h, 0xB);
    EXPECT_TRUE(SoftApplyTransition(*Routine("Inset"), 0.5, &frame, a.data(), c.data()));
    EXPECT_EQ("B0 B1 B2 B3 A4 A5 A6 A7", RowText(c, w, 0));
    EXPECT_EQ("A0 A1 A2 A3 A4 A5 A6 A7", RowText(c, w, 1));
}

TEST(SoftTransitions, NormaliseAndBoundaryHelpers)
{
    SoftFrameInfo frame = {0, 10, 2};
    int32_t runs[] = {-3, 2, 6, 6,   // -3 and then -1 pass on to the next run
                      4, 3, 6, 6};   // 6 is cut at the width, its excess passed on
    SoftNormaliseRuns(runs, 2, &frame);
    const int32_t normalised[] = {0, 0, 5, 5, 4, 3, 3, 0};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(normalised[i], runs[i]) << "run " << i;

    int32_t values[] = {12, 3, -4, 7, 5, 5, 5, 5};
    SoftBoundariesToRuns(values, 2, &frame);
    const int32_t lengths[] = {3, 4, 3, 0, 0, 0, 0, 5};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(lengths[i], values[i]) << "value " << i;
}
