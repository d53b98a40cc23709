#include "platform/wmwriter/AcmEncoder.h"
#include <vector>

namespace wmwriter {

namespace {
const DWORD kBlocksPerCall = 16;
}

// The standard block layouts of the two formats (Wine's codecs answer no
// format suggestions), checked against the installed codec with a query
// open.
bool CAcmEncoder::SuggestFormat(WORD tag, DWORD rate, WORD channels, std::string* format)
{
    if (!rate || rate > 48000 || (channels != 1 && channels != 2))
        return false;
    struct {
        WAVEFORMATEX wf;
        WORD samplesPerBlock;
    } made = {};
    made.wf.wFormatTag = tag;
    made.wf.nChannels = channels;
    made.wf.nSamplesPerSec = rate;
    made.wf.cbSize = 2;
    if (tag == WAVE_FORMAT_IMA_ADPCM) {
        made.wf.nBlockAlign = (WORD)((rate <= 11025 ? 256 : rate <= 22050 ? 512 : 1024) * channels);
        made.wf.wBitsPerSample = 4;
        made.samplesPerBlock = (WORD)((made.wf.nBlockAlign - 4 * channels) * 8 / (4 * channels) + 1);
    } else if (tag == WAVE_FORMAT_GSM610 && channels == 1) {
        made.wf.nBlockAlign = 65;
        made.wf.wBitsPerSample = 0;
        made.samplesPerBlock = 320;
    } else {
        return false;
    }
    made.wf.nAvgBytesPerSec = (DWORD)((uint64_t)rate * made.wf.nBlockAlign / made.samplesPerBlock);
    WAVEFORMATEX pcm = {WAVE_FORMAT_PCM, channels, rate, rate * channels * 2, (WORD)(channels * 2), 16, 0};
    if (::acmStreamOpen(NULL, NULL, &pcm, &made.wf, NULL, 0, 0, ACM_STREAMOPENF_QUERY) != 0)
        return false;
    format->assign((const char*)&made, sizeof(WAVEFORMATEX) + made.wf.cbSize);
    return true;
}

bool CAcmEncoder::Open(const std::string& pcmFormat, const std::string& outFormat)
{
    Close();
    if (pcmFormat.size() < sizeof(WAVEFORMATEX) - 2 || outFormat.size() < sizeof(WAVEFORMATEX))
        return false;
    std::string source = pcmFormat;
    source.resize(sizeof(WAVEFORMATEX), '\0');
    ((WAVEFORMATEX*)&source[0])->cbSize = 0;
    std::string target = outFormat;
    if (::acmStreamOpen(&m_stream, NULL, (WAVEFORMATEX*)&source[0], (WAVEFORMATEX*)&target[0], NULL, 0, 0,
                        ACM_STREAMOPENF_NONREALTIME) != 0) {
        m_stream = NULL;
        return false;
    }
    const WAVEFORMATEX* out = (const WAVEFORMATEX*)outFormat.data();
    DWORD pcmBytes = 0;
    if (::acmStreamSize(m_stream, out->nBlockAlign, &pcmBytes, ACM_STREAMSIZEF_DESTINATION) != 0 || !pcmBytes ||
        pcmBytes > (1u << 20)) {
        Close();
        return false;
    }
    m_pcmPerBlock = pcmBytes;
    m_pending.clear();
    m_pcmDone = 0;
    return true;
}

void CAcmEncoder::Close()
{
    if (m_stream)
        ::acmStreamClose(m_stream, 0);
    m_stream = NULL;
}

bool CAcmEncoder::Convert(const uint8_t* pcm, DWORD size, std::string* out)
{
    DWORD outSize = 0;
    if (::acmStreamSize(m_stream, size, &outSize, ACM_STREAMSIZEF_SOURCE) != 0 || !outSize)
        return false;
    std::vector<BYTE> source(pcm, pcm + size);
    std::vector<BYTE> target(outSize);
    ACMSTREAMHEADER header = {};
    header.cbStruct = sizeof(header);
    header.pbSrc = source.data();
    header.cbSrcLength = size;
    header.pbDst = target.data();
    header.cbDstLength = outSize;
    if (::acmStreamPrepareHeader(m_stream, &header, 0) != 0)
        return false;
    MMRESULT converted = ::acmStreamConvert(m_stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN);
    const DWORD used = header.cbDstLengthUsed;
    ::acmStreamUnprepareHeader(m_stream, &header, 0);
    if (converted != 0 || used > outSize)
        return false;
    out->append((const char*)target.data(), used);
    m_pcmDone += size;
    return true;
}

bool CAcmEncoder::Encode(const uint8_t* pcm, size_t size, std::string* out)
{
    if (!m_stream || (size && !pcm))
        return false;
    m_pending.append((const char*)pcm, size);
    const size_t chunk = (size_t)m_pcmPerBlock * kBlocksPerCall;
    size_t at = 0;
    while (m_pending.size() - at >= m_pcmPerBlock) {
        size_t take = m_pending.size() - at >= chunk ? chunk : (m_pending.size() - at) / m_pcmPerBlock * m_pcmPerBlock;
        if (!Convert((const uint8_t*)m_pending.data() + at, (DWORD)take, out))
            return false;
        at += take;
    }
    m_pending.erase(0, at);
    return true;
}

bool CAcmEncoder::Finish(std::string* out)
{
    if (!m_stream)
        return false;
    if (m_pending.empty())
        return true;
    m_pending.resize(m_pcmPerBlock, '\0');
    bool ok = Convert((const uint8_t*)m_pending.data(), m_pcmPerBlock, out);
    m_pending.clear();
    return ok;
}

}  // namespace wmwriter
