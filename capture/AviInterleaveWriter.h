#pragma once
// Writes an AVI file with one video and one audio stream, chunk by chunk in
// the order given, with an 'idx1' index. The finishing step copies the
// recording's screen frames and its sound through it. Written here rather
// than through AVIFile: Wine 8.0's AVIFile refuses a second audio write unless
// it starts at -1 and then counts the audio length in writes, not samples.
// One thread per object.
#include "framework/AfxPlatform.h"
#include <vfw.h>

#include <vector>

class CAviInterleaveWriter {
public:
    CAviInterleaveWriter();
    ~CAviInterleaveWriter();
    CAviInterleaveWriter(const CAviInterleaveWriter&) = delete;
    CAviInterleaveWriter& operator=(const CAviInterleaveWriter&) = delete;

    // Creates the file with the two streams' headers and formats (the
    // lengths in the headers are set at Close).
    BOOL Create(LPCSTR path, const AVISTREAMINFOA& video, const void* videoFormat, LONG videoFormatSize,
                const AVISTREAMINFOA& audio, const void* audioFormat, LONG audioFormatSize);
    BOOL WriteVideo(const void* data, DWORD size, BOOL keyFrame);
    BOOL WriteAudio(const void* data, DWORD size, DWORD samples);
    // A new palette for the following frames ('00pc' chunk).
    BOOL WritePaletteChange(const void* data, DWORD size);
    // Writes the index and the final header; TRUE when the whole file was written.
    BOOL Close();
    // Closes without completing the file.
    void Abort();

    // The largest file this writer makes (an AVI 1.0 file with 32-bit
    // offsets: 0x7FFFFFFF bytes); a write past it fails. Tests lower it to
    // reach the limit with a short recording; 0 restores it.
    static void SetSizeLimit(DWORD bytes);

    DWORD GetVideoFrames() const { return m_videoFrames; }
    DWORD GetAudioSamples() const { return m_audioSamples; }

private:
    BOOL Write(const void* data, DWORD size);
    BOOL WriteChunk(DWORD id, const void* data, DWORD size, DWORD flags);
    BOOL WriteHeader();

    HANDLE m_file;
    AVISTREAMINFOA m_video;
    AVISTREAMINFOA m_audio;
    std::vector<BYTE> m_videoFormat;
    std::vector<BYTE> m_audioFormat;
    std::vector<AVIINDEXENTRY> m_index;
    DWORD m_videoFrames;
    DWORD m_audioSamples;
    DWORD m_maxChunk;
    DWORD m_moviStart;   // file offset of the 'movi' type
    DWORD m_position;
    DWORD m_videoChunkId;
    BOOL m_failed;
};
