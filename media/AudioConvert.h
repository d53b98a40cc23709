#pragma once
// The audio conversion chain: a .wav file source pushes its data in blocks
// into an ACM stage (one to three ACM streams through PCM forms), which pushes
// the converted bytes into a .wav file writer. Used after a recording, with a
// progress window, and by the sound loader, without one. Any thread; one
// chain per conversion.
#include "framework/AfxPlatform.h"
#include "framework/String.h"
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>
#include <vfw.h>

class IConvertProgress;

// A stage that receives data. Results: 1 success, negative failure.
class WaveSink {
public:
    virtual ~WaveSink() {}
    virtual int Write(const BYTE* data, DWORD count) = 0;
    virtual int Open() = 0;
    virtual int Close() = 0;
};

// Reads a RIFF/WAVE file and pushes its sound data into a sink.
class WaveFileSource {
public:
    WaveFileSource();
    ~WaveFileSource();

    // 1, or -1 when the file is missing, not RIFF/WAVE, has no usable format
    // chunk, or a chunk that runs past the end of the RIFF chunk.
    int Open(LPCSTR path);
    void Close();
    const WAVEFORMATEX* GetFormat() const { return m_format; }
    DWORD GetFormatSize() const { return m_format ? m_format->cbSize + 18 : 0; }
    DWORD GetSampleCount() const { return m_format ? m_sampleCount : 0; }
    DWORD GetDataSize() const { return m_dataSize; }
    // 1 done, -1 failure, -2 cancelled by the user (progress may be null).
    int Run(IConvertProgress* progress);

    WaveSink* m_sink;

private:
    HMMIO m_file;
    WAVEFORMATEX* m_format;
    DWORD m_dataOffset;
    DWORD m_dataSize;
    DWORD m_sampleCount;
};

// Converts through one to three ACM streams and pushes the result on.
class AcmConverterStage : public WaveSink {
public:
    enum { kMaxStreams = 3 };
    AcmConverterStage();
    ~AcmConverterStage() override;

    // 1, or -1 when ACM suggests no PCM form for a side that needs one.
    int Setup(const WAVEFORMATEX* source, DWORD sourceSize, const WAVEFORMATEX* target,
              DWORD targetSize);
    int GetStreamCount() const { return m_count; }
    const WAVEFORMATEX* GetStageFormat(int i) const { return i >= 0 && i <= m_count ? m_formats[i] : NULL; }

    int Write(const BYTE* data, DWORD count) override;
    int Open() override;
    int Close() override;

    WaveSink* m_next;

protected:
    // One acmStreamConvert on stream i (a seam for tests of codec behaviour).
    virtual MMRESULT ConvertStream(int i, ACMSTREAMHEADER* header, DWORD flags);

private:
    int ConvertStreams(BOOL final);
    void Release();

    int m_count;
    WAVEFORMATEX* m_formats[kMaxStreams + 1];
    HACMSTREAM m_streams[kMaxStreams];
    ACMSTREAMHEADER m_headers[kMaxStreams];
    BOOL m_prepared[kMaxStreams];
    // Stream i reads m_src[i] (m_fill[i] bytes pending) and writes m_dst[i].
    BYTE* m_src[kMaxStreams];
    DWORD m_srcSize[kMaxStreams];
    DWORD m_fill[kMaxStreams];
    BYTE* m_dst[kMaxStreams];
    DWORD m_dstSize[kMaxStreams];
    DWORD m_inputSize;
};

// Writes a .wav file: RIFF/WAVE, the whole target format, a "fact" chunk for
// compressed formats, then the data.
class WaveFileWriter : public WaveSink {
public:
    WaveFileWriter();
    ~WaveFileWriter() override;

    // Creates the file (exclusive); 1 or -1.
    int Open(LPCSTR path, const WAVEFORMATEX* format, DWORD formatSize, DWORD sampleCount);
    int Write(const BYTE* data, DWORD count) override;
    int Open() override { return 1; }
    int Close() override;
    DWORD GetBytesWritten() const { return m_written; }

private:
    HMMIO m_file;
    MMCKINFO m_riff;
    MMCKINFO m_data;
    DWORD m_written;
};

// A sample count brought from one sample rate to another: the "fact" chunk of
// a converted file counts the samples of the converted sound, not of its source.
DWORD SampleCountAtRate(DWORD samples, DWORD fromRate, DWORD toRate);

// Opens a file of the AVI file layer (WAV or AVI) and its first audio stream
// with its format (malloc'd, at least 18 bytes); shows the failure and
// returns FALSE.
BOOL OpenAudioStream(LPCSTR path, PAVIFILE* file, PAVISTREAM* stream, WAVEFORMATEX** format);
// Frees the format, releases the stream and the file, clears the three; 1.
int ReleaseAudioStream(PAVIFILE* file, PAVISTREAM* stream, WAVEFORMATEX** format);
