#pragma once
// Helpers of the recovery tests: screen AVIs written through the Video for
// Windows file interface as the recorder writes them, and left as a killed
// recorder leaves them (the header still zero, no index, the last chunk cut);
// the raw chunks of an AVI's video stream; ffprobe's frame count.
#include <windows.h>
#include <vfw.h>

#include <string>
#include <vector>

namespace recoverytest {

struct AviShape {
    int width = 64;
    int height = 48;
    int bitCount = 24;
    DWORD rate = 10;
    DWORD scale = 1;
    DWORD codec = 0;      // 0: uncompressed DIB frames; else the compressor's FourCC
    int frames = 12;
};

// The picture of frame n (a DIB of the shape's size and depth).
std::string FramePicture(const AviShape& shape, int n);

// Writes the AVI through AVIFile; empty on success, else the reason.
std::string WriteAvi(const std::string& path, const AviShape& shape);

// Leaves a written AVI as a recorder killed while writing it: bytes 0-2047
// zero, the index gone, and the file cut cutInto bytes past the last frame
// chunk's header (negative: inside that header; kKeepWhole: the whole last
// chunk stays). Empty on success.
const int kKeepWhole = -1000;
std::string KillAvi(const std::string& path, int cutInto);

// The raw chunks of an AVI's video stream, read through AVIFile; false when
// the file cannot be read.
bool ReadVideoChunks(const std::string& path, std::vector<std::string>* chunks, AVISTREAMINFOA* info,
                     std::string* format);

// ffprobe's count of decodable frames of the first video stream (-1 on
// failure), and a stream field.
int ProbeFrameCount(const std::string& path);
std::string ProbeStream(const std::string& path, const std::string& stream, const std::string& entry);

// Registers the xrvc codec of this build; empty on success.
std::string InstallXrvc();

}  // namespace recoverytest
