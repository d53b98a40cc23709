#pragma once
// Helpers of the sound tests: an application object that answers message
// boxes, PCM signal and .wav builders, a .wav reader, and playing a tone into
// the test runner's PulseAudio sink (whose monitor the wave input records).
#include <windows.h>
#include <mmsystem.h>
#include <string>
#include <vector>

namespace mediatest {

// Message boxes shown since the last Reset (any thread), and the answer the
// next ones get (IDOK unless set).
void ResetMessageBoxes(int answer = IDOK);
std::vector<std::string> MessageBoxes();

// A PCM format.
WAVEFORMATEX PcmFormat(DWORD rate, WORD channels, WORD bits);

// 16-bit PCM sine (all channels alike) or a constant value.
std::string Sine16(DWORD rate, WORD channels, double frequency, double seconds, double amplitude);
std::string Constant16(DWORD rate, WORD channels, double seconds, short value);

// The bytes of a .wav file: RIFF/WAVE, "fmt " (formatSize bytes of format),
// optional "fact", then "data".
std::string MakeWav(const WAVEFORMATEX* format, DWORD formatSize, const std::string& data,
                    bool withFact = false, DWORD factSamples = 0);

// A parsed .wav file (chunks found by walking the RIFF form).
struct WavInfo {
    bool ok = false;
    std::string layout;        // the chunk list, for failure messages
    DWORD riffSize = 0;
    std::string format;        // the fmt chunk's bytes
    std::string data;
    bool hasFact = false;
    DWORD factSamples = 0;
    WORD tag() const { return format.size() >= 2 ? *reinterpret_cast<const WORD*>(format.data()) : 0; }
};
WavInfo ReadWav(const std::string& path);

// Samples of 16-bit data as ints (every channel interleaved).
std::vector<int> Samples16(const std::string& data);
// The frequency of a (mono or channel-0) signal by its upward zero crossings.
double ZeroCrossingFrequency(const std::vector<int>& samples, int channels, DWORD rate);

// The frequency of the loud part of a mono signal (samples above a tenth of
// full scale around the crossings), and how many samples are loud.
double LoudToneFrequency(const std::vector<int>& samples, DWORD rate, size_t* loudSamples);

// Play into the test sink in the background (they return at once). A sound
// that an earlier call started and that still plays is ended first.
// A sine:
bool PlayToneInBackground(double frequency, double seconds, double amplitude);
// 16-bit mono PCM (written to `scratchFile` first), with a small playback
// latency:
bool PlayPcmInBackground(const std::string& scratchFile, const std::string& pcm, DWORD rate);

// The first audio stream of a media file decoded by ffmpeg to 16-bit mono at
// `rate` (through `scratchFile`); empty on failure.
std::vector<int> DecodeAudio16(const std::string& windowsPath, const std::string& scratchFile, DWORD rate);

// A value of an ffprobe stream field ("sample_rate", "codec_name", ...) or
// format field ("duration"), empty on failure.
std::string Probe(const std::string& windowsPath, const std::string& entry);

// Files in a folder matching a pattern.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern);

}  // namespace mediatest
