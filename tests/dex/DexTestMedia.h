// Media files for the tests of the editing-services stand-in, written with
// the platform's own writers: AVI files (uncompressed or xrvc, with an
// optional tone) through AVIFile, tones as .wav and solid PNG stills through
// GDI+; and pixel and tone checks on what a reader gives back.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <string>
#include <utility>
#include <vector>

namespace dextest {

const DWORD kRed = 0xFF0000;
const DWORD kBlue = 0x0000FF;
const DWORD kGreen = 0x00FF00;
const DWORD kXrvc = mmioFOURCC('x', 'r', 'v', 'c');

struct AviPlan {
    int width = 32;
    int height = 24;
    DWORD fps = 5;                    // frames per second: fps / fpsScale
    DWORD fpsScale = 1;
    DWORD codec = 0;                  // 0: uncompressed RGB32; else a FourCC
    std::vector<DWORD> frameColours;  // one solid colour per frame (0xRRGGBB)
    // An optional 16-bit mono tone written as the second stream.
    DWORD toneRate = 0;
    double toneHz = 440.0;
    DWORD toneSamples = 0;
};

// Writes the AVI; empty on success, else what failed.
std::string WriteAvi(const std::string& path, const AviPlan& avi);
// 16-bit PCM tone (amplitude 8000, integer-rounded sine) of `samples` samples.
std::vector<short> Tone(DWORD rate, double hz, DWORD samples, int channels = 1);
// Writes a 16-bit PCM .wav of the tone.
bool WriteToneWav(const std::string& path, DWORD rate, double hz, DWORD samples);
// Writes a PNG filled with one colour.
bool WriteSolidPng(const std::string& path, int width, int height, DWORD colour);
// The pixel (0xRRGGBB) at x, y (counted from the top) of a bottom-up RGB32 frame.
DWORD PixelAt(const BYTE* rgb32, int width, int height, int x, int y);
// Zero crossings per second of a 16-bit mono or stereo block (first channel):
// twice the tone's frequency.
double CrossingsPerSecond(const short* samples, size_t frames, int channels, DWORD rate);

// Writes a compound file with one stream per (name, file) pair, each holding
// the file's bytes, as the recorder's package does.
bool WritePackage(const std::string& path, const std::vector<std::pair<std::wstring, std::string>>& streams);

}  // namespace dextest
