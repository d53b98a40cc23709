#pragma once
// Writes SWF movies of one Screen Video stream (SWF video codec 3, read by
// Flash players and by ffmpeg's flashsv decoder) and one stream sound: raw
// little-endian PCM (SWF sound format 3 for 16-bit and 0 for 8-bit), or SWF
// ADPCM (format 1, 2 to 5 bits a sample; ffmpeg's adpcm_swf decodes it). Frames
// are BGR blocks of 64 x 64 pixels, each deflated on its own; a key frame
// carries every block, the others only the blocks that changed. The frame
// count, file length and the video stream's frame count are filled in at
// Close. One thread at a time. Portable C++ apart from the file handle.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string>
#include <vector>

namespace swf {

struct MovieSettings {
    int width = 0;                 // pixels, 1..4095
    int height = 0;
    int frameRate = 15;            // whole frames per second, 1..255
    int keyFrameEvery = 80;        // frames; 0: only the first
    uint32_t background = 0xFFFFFF; // 0x00BBGGRR
    bool smoothing = false;         // the video's smoothing flag
    // Stream sound; rate 0 for none. The rate must be one SWF knows:
    // 5512, 11025, 22050 or 44100.
    uint32_t soundRate = 0;
    int soundChannels = 1;         // 1 or 2
    int soundBits = 16;            // 8 (unsigned) or 16 (signed)
    // 0 stores the sound as PCM; 2..5 compresses it to SWF ADPCM with that
    // many bits a sample (4 is the usual choice); it decodes to 16 bits.
    int soundAdpcmBits = 0;
};

class CSwfFileWriter {
public:
    CSwfFileWriter();
    ~CSwfFileWriter();
    CSwfFileWriter(const CSwfFileWriter&) = delete;
    CSwfFileWriter& operator=(const CSwfFileWriter&) = delete;

    // Writes the header and the stream definitions into an open, empty,
    // seekable binary file (the caller closes it after Close). False with
    // the reason.
    bool Open(FILE* file, const MovieSettings& settings, std::string* error);
    // Adds sound to be sent with the frames (whole sample frames only).
    bool AddSound(const uint8_t* data, size_t size);
    // Writes one frame from a bottom-up 32-bit DIB of the movie's size, with
    // the sound due by the frame's end.
    bool WriteFrame(const uint8_t* dib);
    // Sends the remaining sound, ends the movie and fills in the counts.
    bool Close(std::string* error);

    int FrameCount() const { return m_frames; }

private:
    bool WriteTag(int code, const std::string& body);
    bool Put(const std::string& bytes);
    std::string EncodeFrame(const uint8_t* dib, bool key);
    std::string SoundBlock(bool last);
    std::string AdpcmBlock(const std::string& pcm, bool first);
    size_t AdpcmWholeSamples(size_t samples, bool last) const;

    FILE* m_file = nullptr;
    MovieSettings m_s;
    bool m_open = false;
    bool m_failed = false;
    int m_frames = 0;
    long m_frameCountAt = 0;
    long m_videoFramesAt = 0;
    std::vector<uint8_t> m_prev;      // previous frame, BGR24 bottom-up
    std::vector<uint8_t> m_cur;
    std::string m_sound;              // sound not yet sent
    uint64_t m_soundSent = 0;         // sample frames sent
    uint32_t m_soundFrameBytes = 0;
    int m_adpcmIndex[2] = {0, 0};     // the ADPCM step index of each channel
};

}  // namespace swf
