#pragma once
// Compresses 16-bit PCM into a block format of an installed audio codec
// (IMA ADPCM, GSM 6.10...) through the audio compression manager, in whole
// blocks. One thread at a time.
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>
#include <stdint.h>
#include <string>

namespace wmwriter {

class CAcmEncoder {
public:
    CAcmEncoder() {}
    ~CAcmEncoder() { Close(); }
    CAcmEncoder(const CAcmEncoder&) = delete;
    CAcmEncoder& operator=(const CAcmEncoder&) = delete;

    // The format (WAVEFORMATEX with its extra bytes) an installed codec
    // makes with `tag` from 16-bit PCM of that rate and channel count; false
    // when none does.
    static bool SuggestFormat(WORD tag, DWORD rate, WORD channels, std::string* format);

    // pcmFormat and outFormat are WAVEFORMATEX bytes (with extra bytes).
    bool Open(const std::string& pcmFormat, const std::string& outFormat);
    void Close();
    // Adds PCM; appends the blocks it completes to `out`.
    bool Encode(const uint8_t* pcm, size_t size, std::string* out);
    // Pads the last part block with silence and appends it.
    bool Finish(std::string* out);
    // PCM bytes that went into blocks so far (for timestamps).
    uint64_t PcmBytesEncoded() const { return m_pcmDone; }

private:
    bool Convert(const uint8_t* pcm, DWORD size, std::string* out);

    HACMSTREAM m_stream = NULL;
    DWORD m_pcmPerBlock = 0;       // PCM bytes that make one output block
    std::string m_pending;
    uint64_t m_pcmDone = 0;
};

}  // namespace wmwriter
