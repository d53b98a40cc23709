#include "MediaTestUtil.h"

#include "TestSupport.h"
#include "framework/WinApp.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace mediatest {

namespace {

// The application object of the test executable: message boxes are recorded
// and answered instead of shown.
class CMediaTestApp : public CWinApp {
public:
    CMediaTestApp() : CWinApp("media_tests"), m_answer(IDOK) { ::InitializeCriticalSection(&m_lock); }
    int DoMessageBox(LPCTSTR prompt, UINT, UINT) override
    {
        ::EnterCriticalSection(&m_lock);
        m_boxes.push_back(prompt ? prompt : "");
        const int answer = m_answer;
        ::LeaveCriticalSection(&m_lock);
        return answer;
    }
    void Reset(int answer)
    {
        ::EnterCriticalSection(&m_lock);
        m_boxes.clear();
        m_answer = answer;
        ::LeaveCriticalSection(&m_lock);
    }
    std::vector<std::string> Boxes()
    {
        ::EnterCriticalSection(&m_lock);
        std::vector<std::string> copy = m_boxes;
        ::LeaveCriticalSection(&m_lock);
        return copy;
    }

private:
    CRITICAL_SECTION m_lock;
    std::vector<std::string> m_boxes;
    int m_answer;
};

CMediaTestApp theApp;

void PutDword(std::string& s, DWORD v)
{
    s.append(reinterpret_cast<const char*>(&v), 4);
}

void PutChunk(std::string& s, const char* id, const std::string& body)
{
    s.append(id, 4);
    PutDword(s, static_cast<DWORD>(body.size()));
    s += body;
    if (body.size() & 1)
        s += '\0';
}

}  // namespace

void ResetMessageBoxes(int answer)
{
    theApp.Reset(answer);
}

std::vector<std::string> MessageBoxes()
{
    return theApp.Boxes();
}

WAVEFORMATEX PcmFormat(DWORD rate, WORD channels, WORD bits)
{
    WAVEFORMATEX f = {};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    f.cbSize = 0;
    return f;
}

std::string Sine16(DWORD rate, WORD channels, double frequency, double seconds, double amplitude)
{
    const size_t count = static_cast<size_t>(rate * seconds);
    std::string out;
    out.reserve(count * channels * 2);
    for (size_t i = 0; i < count; ++i) {
        const short v = static_cast<short>(amplitude * 32767.0 * sin(2 * 3.14159265358979323846 * frequency * i / rate));
        for (WORD c = 0; c < channels; ++c)
            out.append(reinterpret_cast<const char*>(&v), 2);
    }
    return out;
}

std::string Constant16(DWORD rate, WORD channels, double seconds, short value)
{
    const size_t count = static_cast<size_t>(rate * seconds) * channels;
    std::string out;
    for (size_t i = 0; i < count; ++i)
        out.append(reinterpret_cast<const char*>(&value), 2);
    return out;
}

std::string MakeWav(const WAVEFORMATEX* format, DWORD formatSize, const std::string& data, bool withFact,
                    DWORD factSamples)
{
    std::string body = "WAVE";
    PutChunk(body, "fmt ", std::string(reinterpret_cast<const char*>(format), formatSize));
    if (withFact) {
        std::string fact;
        PutDword(fact, factSamples);
        PutChunk(body, "fact", fact);
    }
    PutChunk(body, "data", data);
    std::string file = "RIFF";
    PutDword(file, static_cast<DWORD>(body.size()));
    return file + body;
}

WavInfo ReadWav(const std::string& path)
{
    WavInfo info;
    std::string bytes;
    if (!testsupport::ReadFileBytes(path, &bytes) || bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 ||
        bytes.compare(8, 4, "WAVE") != 0)
        return info;
    memcpy(&info.riffSize, bytes.data() + 4, 4);
    info.layout = "RIFF:" + std::to_string(info.riffSize) + " file:" + std::to_string(bytes.size()) + " ";
    size_t pos = 12;
    bool haveFmt = false, haveData = false;
    while (pos + 8 <= bytes.size()) {
        const std::string id = bytes.substr(pos, 4);
        DWORD size = 0;
        memcpy(&size, bytes.data() + pos + 4, 4);
        if (pos + 8 + size > bytes.size()) {
            info.layout += id + ":" + std::to_string(size) + " (past the end)";
            return info;
        }
        info.layout += id + ":" + std::to_string(size) + " ";
        const std::string body = bytes.substr(pos + 8, size);
        if (id == "fmt ") {
            info.format = body;
            haveFmt = true;
        } else if (id == "data") {
            info.data = body;
            haveData = true;
        } else if (id == "fact" && size >= 4) {
            info.hasFact = true;
            memcpy(&info.factSamples, body.data(), 4);
        }
        pos += 8 + size + (size & 1);
    }
    info.ok = haveFmt && haveData && info.riffSize + 8 == bytes.size();
    return info;
}

std::vector<int> Samples16(const std::string& data)
{
    std::vector<int> out(data.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        short v;
        memcpy(&v, data.data() + 2 * i, 2);
        out[i] = v;
    }
    return out;
}

double ZeroCrossingFrequency(const std::vector<int>& samples, int channels, DWORD rate)
{
    size_t first = 0, last = 0, count = 0;
    for (size_t i = channels; i < samples.size(); i += channels) {
        if (samples[i - channels] < 0 && samples[i] >= 0) {
            if (count == 0)
                first = i / channels;
            last = i / channels;
            ++count;
        }
    }
    if (count < 2)
        return 0;
    return (count - 1) * static_cast<double>(rate) / (last - first);
}

double LoudToneFrequency(const std::vector<int>& samples, DWORD rate, size_t* loudSamples)
{
    size_t first = 0, last = 0, count = 0;
    *loudSamples = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        if (abs(samples[i]) > 3000)
            ++*loudSamples;
        if (samples[i - 1] < 0 && samples[i] >= 0 &&
            (abs(samples[i - 1]) > 1000 || abs(samples[i]) > 1000 ||
             (i + 10 < samples.size() && abs(samples[i + 10]) > 3000))) {
            if (count == 0)
                first = i;
            last = i;
            ++count;
        }
    }
    return count < 2 ? 0.0 : (count - 1) * static_cast<double>(rate) / static_cast<double>(last - first);
}

namespace {

// Runs a shell pipeline in the background in a process group of its own, the
// group's id noted in the host spool; first ends the groups of earlier calls
// that still play, so the sink never mixes two of our sounds (two tones of
// one frequency in random phase can cancel out).
bool StartBackgroundSound(const std::string& pipeline, const std::string& argument)
{
    const std::string pids = "\"${VEXCAP_HOST_SPOOL:-/tmp}/background-sound.pids\"";
    std::string cmd = "if [ -f " + pids + " ]; then for p in $(cat " + pids + "); do kill -- -$p 2>/dev/null; done; fi; " +
                      "rm -f " + pids + "; setsid sh -c '" + pipeline + "' sh '" + argument +
                      "' >/dev/null 2>&1 </dev/null & echo $! > " + pids;
    std::string out;
    return testsupport::RunHost(cmd, &out) == 0;
}

}  // namespace

bool PlayPcmInBackground(const std::string& scratchFile, const std::string& pcm, DWORD rate)
{
    if (!testsupport::WriteFileBytes(scratchFile, pcm.data(), pcm.size()))
        return false;
    return StartBackgroundSound("exec pacat --raw --rate=" + std::to_string(rate) +
                                    " --channels=1 --format=s16le --latency-msec=20 "
                                    "--device=${VEXCAP_PULSE_SINK:-vexcap_sink} \"$1\"",
                                testsupport::UnixPath(scratchFile));
}

std::vector<int> DecodeAudio16(const std::string& windowsPath, const std::string& scratchFile, DWORD rate)
{
    std::string out;
    if (testsupport::RunHost("ffmpeg -v error -y -i '" + testsupport::UnixPath(windowsPath) +
                                 "' -map 0:a:0 -f s16le -ac 1 -ar " + std::to_string(rate) + " '" +
                                 testsupport::UnixPath(scratchFile) + "'",
                             &out) != 0)
        return std::vector<int>();
    std::string bytes;
    testsupport::ReadFileBytes(scratchFile, &bytes);
    return Samples16(bytes);
}

bool PlayToneInBackground(double frequency, double seconds, double amplitude)
{
    char synth[128];
    snprintf(synth, sizeof(synth), "synth %.2f sine %.1f vol %.3f", seconds, frequency, amplitude);
    return StartBackgroundSound(std::string("sox -n -r 44100 -c 2 -b 16 -t raw - ") + synth +
                                    " | pacat --raw --rate=44100 --channels=2 --format=s16le "
                                    "--device=${VEXCAP_PULSE_SINK:-vexcap_sink}",
                                "");
}

std::string Probe(const std::string& windowsPath, const std::string& entry)
{
    const bool formatField = entry == "duration";
    std::string cmd = std::string("ffprobe -v error ") + (formatField ? "" : "-select_streams a:0 ") +
                      "-show_entries " + (formatField ? "format=" : "stream=") + entry +
                      " -of default=nw=1:nk=1 '" + testsupport::UnixPath(windowsPath) + "'";
    std::string out;
    if (testsupport::RunHost(cmd, &out) != 0)
        return "";
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((folder + "\\" + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.push_back(data.cFileName);
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return names;
}

}  // namespace mediatest
