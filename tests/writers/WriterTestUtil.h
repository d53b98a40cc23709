// Helpers of the writer tests: owned COM references, a PCM push source with
// bytes the test chooses, and a graph of Wine's that chains filters and runs
// to completion.
#pragma once
#include "platform/filters/SourceStream.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace writertest {

// Owns one reference of a COM interface.
template <class T> class Ref {
public:
    Ref() : p(NULL) {}
    explicit Ref(T* adopt) : p(adopt) {}
    ~Ref()
    {
        if (p)
            p->Release();
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T** operator&() { return &p; }
    T* operator->() const { return p; }
    operator T*() const { return p; }
    T* p;
};

class ComScope {
public:
    ComScope() { CoInitializeEx(NULL, COINIT_MULTITHREADED); }
    ~ComScope() { CoUninitialize(); }
};

// A push source of `count` uncompressed 24-bit frames at `fps`; every byte
// of frame n is n & 0xFF.
class CVideoSource : public CFilterBase {
public:
    CVideoSource(int width, int height, int fps, int count);
    int m_width, m_height, m_fps, m_count;
};

// A push source of one audio stream: `data` in samples of about a tenth of
// a second, with times from the byte count.
class CPcmSource : public CFilterBase {
public:
    CPcmSource(const WAVEFORMATEX& format, const std::string& data);
    WAVEFORMATEX m_format;
    std::string m_data;
};

// The first unconnected pin of a direction.
HRESULT FirstFreePin(IBaseFilter* filter, PIN_DIRECTION dir, IPin** pin);

// A graph of Wine's with the given filters added under their names and
// connected one after the other (first free output to first free input).
class TestGraph {
public:
    TestGraph();
    ~TestGraph();
    HRESULT Add(IBaseFilter* filter, LPCWSTR name);
    HRESULT Connect(IBaseFilter* up, IBaseFilter* down);
    HRESULT Chain(std::initializer_list<IBaseFilter*> filters);
    // Runs and waits up to 20 s for the end: the event code (EC_COMPLETE,
    // EC_ERRORABORT...), or -1 when the graph did not start or end.
    long RunToCompletion(HRESULT* runResult = NULL);
    void Stop();
    Ref<IGraphBuilder> graph;
};

// Runs a host command and returns its standard output, trailing newlines cut.
std::string Host(const std::string& command);

// One field of ffprobe for one stream ("v:0", "a:0"), counting frames and
// packets (nb_read_frames, nb_read_packets); empty on failure.
std::string ProbeEntry(const std::string& windowsPath, const std::string& stream, const std::string& entry);

// The format tags of a file as "key=value" lines (ffprobe's names).
std::string ProbeTags(const std::string& windowsPath);

// The first audio stream's bytes as stored (no decoding), through a scratch
// file; empty on failure.
std::string AudioBytes(const std::string& windowsPath, const std::string& scratchFile);

}  // namespace writertest
