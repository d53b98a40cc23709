#include "capture/RecordSettings.h"

#include <vfw.h>
#include <string.h>

namespace {

const DWORD kXrvc = mmioFOURCC('x', 'r', 'v', 'c');

// A made-up state of the screen codec, `bytes` long (16 or 32): a marker, the
// FourCC, the layout and the compression word, the rest zero. Allocated as
// BYTE[] because the caller frees every state block with delete[] of BYTE.
BYTE* NewScreenCodecState(DWORD bytes, DWORD compression)
{
    const DWORD words[4] = {2827, kXrvc, 0x20000, compression};
    BYTE* block = new BYTE[bytes];
    memset(block, 0, bytes);
    memcpy(block, words, sizeof(words));
    return block;
}

} // namespace

CRecordSettings::CRecordSettings()
    : m_nOutputWidth(320), m_nOutputHeight(240), m_nValue8(0), m_nValue9(1), m_nValue10(0), m_bInterleave(1),
      m_nInterleaveRate(1), m_bInterleaveByFrames(0), m_dwCodecFourCC(kXrvc), m_nCodecQuality(-1),
      m_nKeyFrameRate(80), m_nDataRate(0), m_FrameRate(0, 1, 1), m_pAudioFormat(NULL), m_nEngineValue(0),
      m_nValue27(1), m_strWatermarkImage("watermark.gif"), m_nWatermarkScale(20), m_nWatermarkOpacity(100),
      m_nWatermarkOffsetX(5), m_nWatermarkOffsetY(5), m_bWatermarkFlag4(0), m_crTransparent(0xFFFFFF),
      m_nWatermarkPosition(8), m_bWatermarkFlag5(1), m_nEmbossDepth(20), m_bWatermarkFlag6(0),
      m_strVideoCompressor("Kestravon Screen Capture Codec"), m_strAudioCompressor("PCM"), m_nMaxWidth(1280),
      m_nMaxHeight(1024), m_nValue52(1), m_nValue53(10)
{
    memset(m_nHeader, 0, sizeof(m_nHeader));
    memset(m_nValues28, 0, sizeof(m_nValues28));
    memset(m_nValues34, 0, sizeof(m_nValues34));
    for (int i = 0; i < 3; ++i)
        m_bWatermarkFlags[i] = 1;
}

CRecordSettings::~CRecordSettings()
{
    delete[] (BYTE*)m_pAudioFormat;
}

void CRecordSettings::SetAudioFormat(const WAVEFORMATEX* format)
{
    delete[] (BYTE*)m_pAudioFormat;
    m_pAudioFormat = NULL;
    if (!format)
        return;
    const size_t size = sizeof(WAVEFORMATEX) + format->cbSize;
    BYTE* copy = new BYTE[size];
    memcpy(copy, format, size);
    m_pAudioFormat = (WAVEFORMATEX*)copy;
}

BOOL CRecordSettings::LoadCodecState(DWORD fcc, BYTE** block, DWORD* size)
{
    if (!block || !size)
        return FALSE;
    *block = NULL;
    *size = 0;
    char name[5] = {(char)(fcc & 0xFF), (char)((fcc >> 8) & 0xFF), (char)((fcc >> 16) & 0xFF),
                    (char)((fcc >> 24) & 0xFF), 0};
    BOOL read = FALSE;
    HKEY key = NULL;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, m_strCodecKey, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                        &key, &disposition) == ERROR_SUCCESS) {
        HKEY subkey = NULL;
        if (RegCreateKeyExA(key, m_strCodecSubkey, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &subkey,
                            &disposition) == ERROR_SUCCESS) {
            DWORD type = 0, bytes = 0;
            if (RegQueryValueExA(subkey, name, NULL, &type, NULL, &bytes) == ERROR_SUCCESS && bytes > 0) {
                BYTE* data = new BYTE[bytes];
                if (RegQueryValueExA(subkey, name, NULL, &type, data, &bytes) == ERROR_SUCCESS) {
                    *block = data;
                    *size = bytes;
                    read = TRUE;
                } else {
                    delete[] data;
                }
            }
            RegCloseKey(subkey);
        }
        RegCloseKey(key);
    }
    if (fcc != kXrvc)
        return read;
    const BOOL version2 = GetScreenCodecVersion() / 65536 == 2;
    if (read) {
        if (version2 && *size == 16) {
            DWORD compression = 0;
            memcpy(&compression, *block + 12, 4);
            delete[] * block;
            *block = NewScreenCodecState(32, compression);
            *size = 32;
        }
        return TRUE;
    }
    const DWORD bytes = version2 ? 32 : 16;
    *block = NewScreenCodecState(bytes, 9);
    *size = bytes;
    return TRUE;
}

DWORD GetScreenCodecVersion()
{
    HIC ic = ICOpen(mmioFOURCC('v', 'i', 'd', 'c'), kXrvc, ICMODE_QUERY);
    if (!ic)
        return 1;
    ICINFO info;
    memset(&info, 0, sizeof(info));
    info.dwSize = sizeof(info);
    ICGetInfo(ic, &info, sizeof(info));
    ICClose(ic);
    return info.dwVersion;
}
