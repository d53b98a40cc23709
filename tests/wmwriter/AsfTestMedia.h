#pragma once
// Media for the Windows Media writer tests: synthetic frames and tones, a
// finished ZMBV + PCM file from our writer, and ffprobe / ffmpeg readers.
#include "platform/wmwriter/AsfFileWriter.h"
#include <windows.h>
#include <string>
#include <vector>

namespace asftest {

const int kWidth = 100;      // not a multiple of the 16-pixel block
const int kHeight = 60;
const int kFps = 10;
const DWORD kRate = 8000;

// Bottom-up 32-bit frame n: a gradient with a square that moves each frame
// and a band that changes only every third frame.
std::vector<uint8_t> Frame(int n);
// 16-bit mono PCM tone of `seconds`.
std::string Tone(double seconds);
std::string PcmFormatBytes();

struct WrittenFile {
    std::string error;
    int frames = 0;
    uint32_t audioBytes = 0;
    uint64_t headerSize = 0;
    uint64_t packets = 0;
};
// Writes `frames` frames (key frame every keyInterval) and matching sound
// with our writer into a store; `close` false leaves it as a killed writer
// would.
WrittenFile WriteMovie(asf::Store* store, int frames, int keyInterval, uint32_t packetSize,
                       const asf::Tags& tags, bool close = true);
bool WriteMovieFile(const std::string& path, int frames, int keyInterval, uint32_t packetSize,
                    const asf::Tags& tags, bool close, WrittenFile* info);

// ffprobe's answer for one stream or format entry ("v:0", "codec_name"); empty
// on failure.
std::string ProbeEntry(const std::string& path, const std::string& stream, const std::string& entry);
// Frames ffmpeg decodes from the first video stream, as top-down BGR24; empty
// on failure.
std::vector<std::string> DecodeFrames(const std::string& path, int width, int height);
// The source frame n as top-down BGR24.
std::string FrameBgr(int n);

std::string ReadAll(const std::string& path);
bool WriteAll(const std::string& path, const std::string& bytes);
std::wstring Wide(const std::string& path);

}  // namespace asftest
