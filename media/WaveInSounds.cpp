// The effect sounds of CWaveIn: loading the click, key and audio-script
// sounds in the recording's format, and the triggers of the short sounds.
#include "media/WaveIn.h"

#include "framework/WinApp.h"
#include "media/AudioConvert.h"
#include "media/AudioMix.h"
#include "media/SoundFile.h"
#include "resources/ids_media.h"
#include "settings/FileUtil.h"

#include <stdlib.h>
#include <string.h>
#include <vfw.h>

namespace {

// MCIWnd messages of the audio-script player window.
const UINT kMciWndSetTimeFormat = 0x477;
const UINT kMciWndSetActiveTimer = 0x482;
const UINT kMciWndOpen = 0x499;

void ShowStepFailure(LPCSTR step)
{
    CString failed;
    failed.LoadString(IDS_FAILED_SUFFIX);
    AfxMessageBox(CString(step) + failed, MB_ICONEXCLAMATION);
}

bool SameWaveFormat(const WAVEFORMATEX* a, const WAVEFORMATEX* b)
{
    return a->wFormatTag == b->wFormatTag && a->nChannels == b->nChannels &&
           a->nSamplesPerSec == b->nSamplesPerSec && a->nAvgBytesPerSec == b->nAvgBytesPerSec &&
           a->nBlockAlign == b->nBlockAlign && a->wBitsPerSample == b->wBitsPerSample;
}

// Converts path into the temporary file; FALSE after showing the failed step.
bool ConvertToFile(LPCSTR path, LPCSTR tempPath, const WAVEFORMATEX* target)
{
    WaveFileSource source;
    AcmConverterStage stage;
    WaveFileWriter writer;
    if (source.Open(path) < 0) {
        ShowStepFailure("wavein.Setup");
        return false;
    }
    source.m_sink = &stage;
    stage.m_next = &writer;
    if (stage.Setup(source.GetFormat(), source.GetFormatSize(), target, sizeof(WAVEFORMATEX) + target->cbSize) < 0) {
        ShowStepFailure("wavecomp.Setup");
        return false;
    }
    const DWORD samples =
        SampleCountAtRate(source.GetSampleCount(), source.GetFormat()->nSamplesPerSec, target->nSamplesPerSec);
    if (writer.Open(tempPath, target, sizeof(WAVEFORMATEX) + target->cbSize, samples) < 0) {
        ShowStepFailure("waveout.Setup");
        return false;
    }
    const int result = source.Run(NULL);
    writer.Close();
    if (result == -1) {
        AfxMessageBox(IDS_AUDIO_COMPRESS_FAILED, MB_ICONEXCLAMATION);
        return false;
    }
    if (result < 0) {
        ShowStepFailure("wavein.start");
        return false;
    }
    return true;
}

}  // namespace

void FreeAudioData(BYTE* data)
{
    if (!data)
        return;
    HGLOBAL mem = ::GlobalHandle(data);
    ::GlobalUnlock(mem);
    ::GlobalFree(mem);
}

// The temporary file is deleted on every path, also after a failed conversion,
// so that no "SkoConvert" file is left in the recording's folder.
BYTE* ConvertAudioFile(LPCSTR path, LPCSTR tempFolder, DWORD* byteCount, const WAVEFORMATEX* target)
{
    if (byteCount)
        *byteCount = 0;
    if (!path || !target || !byteCount || target->nSamplesPerSec == 0 || target->nBlockAlign == 0)
        return NULL;
    ::AVIFileInit();
    PAVIFILE file = NULL;
    PAVISTREAM stream = NULL;
    WAVEFORMATEX* format = NULL;
    CString tempPath;
    BYTE* data = NULL;
    bool ok = OpenAudioStream(path, &file, &stream, &format) != FALSE;
    if (ok && !SameWaveFormat(format, target)) {
        ReleaseAudioStream(&file, &stream, &format);
        if (!CreateUniqueFileName(tempFolder, "SkoConvert", ".wav", tempPath, FALSE)) {
            tempPath.Empty();
            AfxMessageBox(IDS_TEMP_WAV_FAILED, MB_ICONEXCLAMATION);
            ok = false;
        } else {
            ok = ConvertToFile(path, tempPath, target) && OpenAudioStream(tempPath, &file, &stream, &format);
        }
    }
    if (ok) {
        LONG samples = ::AVIStreamLength(stream);
        if (format->nSamplesPerSec != target->nSamplesPerSec)
            samples = ::MulDiv(samples, target->nSamplesPerSec, format->nSamplesPerSec);
        LONG bytes = samples > 0 ? ::MulDiv(samples, target->nAvgBytesPerSec, target->nSamplesPerSec) : 0;
        if (bytes > 0)
            bytes -= bytes % target->nBlockAlign;
        HGLOBAL mem = bytes > 0 ? ::GlobalAlloc(GMEM_MOVEABLE, bytes) : NULL;
        data = mem ? static_cast<BYTE*>(::GlobalLock(mem)) : NULL;
        if (data) {
            LONG readBytes = 0;
            LONG readSamples = 0;
            const HRESULT hr = ::AVIStreamRead(stream, 0, samples, data, bytes, &readBytes, &readSamples);
            if (hr != AVIERR_OK) {
                FreeAudioData(data);
                data = NULL;
                CString text;
                text.Format(IDS_FILE_READ_FAILED, path);
                AfxMessageBox(text, MB_ICONEXCLAMATION);
            } else if (readBytes <= 0) {
                FreeAudioData(data);
                data = NULL;
            } else {
                *byteCount = static_cast<DWORD>(readBytes < bytes ? readBytes : bytes);
            }
        } else if (mem) {
            ::GlobalFree(mem);
        }
    }
    ReleaseAudioStream(&file, &stream, &format);
    ::AVIFileExit();
    if (!tempPath.IsEmpty())
        ::DeleteFileA(tempPath);
    return data;
}

BOOL CWaveIn::LoadShortSound(SoundSlot& slot, LPCSTR path, LPCSTR tempFolder, int gainPercent)
{
    // A sound is never exchanged while the recorder is recording.
    if (!m_paused && slot.data)
        return TRUE;
    if (!m_format)
        return FALSE;
    DWORD size = 0;
    BYTE* data = ConvertAudioFile(path, tempFolder, &size, m_format);
    if (!data)
        return FALSE;
    ApplyPcmGain(data, size, gainPercent, m_format);
    ::EnterCriticalSection(&m_soundLock);
    BYTE* old = slot.data;
    slot.data = data;
    slot.size = size;
    slot.position = 0;
    ::LeaveCriticalSection(&m_soundLock);
    FreeAudioData(old);
    return TRUE;
}

BOOL CWaveIn::LoadClickDownSound(LPCSTR path, LPCSTR tempFolder, int gainPercent)
{
    return LoadShortSound(m_clickDown, path, tempFolder, gainPercent);
}

BOOL CWaveIn::LoadClickUpSound(LPCSTR path, LPCSTR tempFolder, int gainPercent)
{
    return LoadShortSound(m_clickUp, path, tempFolder, gainPercent);
}

BOOL CWaveIn::LoadKeySound(LPCSTR path, LPCSTR tempFolder, int gainPercent)
{
    return LoadShortSound(m_keySound, path, tempFolder, gainPercent);
}

// The script may be loaded while the wave thread mixes from the old one: the
// new data is prepared completely first and exchanged under the sound lock,
// which the thread holds while it mixes, so it never reads freed memory.
BOOL CWaveIn::LoadAudioScript(LPCSTR path, LPCSTR tempFolder, int gainPercent)
{
    DWORD size = 0;
    BYTE* data = m_format ? ConvertAudioFile(path, tempFolder, &size, m_format) : NULL;
    if (!data) {
        ::EnterCriticalSection(&m_soundLock);
        m_audioScript.active = FALSE;
        ::LeaveCriticalSection(&m_soundLock);
        return FALSE;
    }
    ApplyPcmGain(data, size, gainPercent, m_format);
    ::EnterCriticalSection(&m_soundLock);
    BYTE* old = m_audioScript.data;
    m_audioScript.data = data;
    m_audioScript.size = size;
    m_audioScript.position = 0;
    m_audioScript.active = FALSE;
    m_audioScriptFinished = FALSE;
    ::LeaveCriticalSection(&m_soundLock);
    FreeAudioData(old);
    if (m_playerWindow) {
        ::SendMessageA(m_playerWindow, kMciWndSetTimeFormat, 0, reinterpret_cast<LPARAM>("ms"));
        ::SendMessageA(m_playerWindow, kMciWndSetActiveTimer, 100, 0);
        ::SendMessageA(m_playerWindow, kMciWndOpen, 0, reinterpret_cast<LPARAM>(path));
    }
    ::EnterCriticalSection(&m_soundLock);
    m_audioScript.active = TRUE;
    ::LeaveCriticalSection(&m_soundLock);
    return TRUE;
}

void CWaveIn::SetAudioScriptActive(BOOL active)
{
    ::EnterCriticalSection(&m_soundLock);
    m_audioScript.active = active && m_audioScript.data != NULL;
    m_audioScript.position = 0;
    ::LeaveCriticalSection(&m_soundLock);
}

void CWaveIn::StartClickDownSound()
{
    ::EnterCriticalSection(&m_soundLock);
    if (m_clickDown.data) {
        m_clickDown.position = 0;
        m_clickDown.active = TRUE;
        m_clickUp.active = FALSE;
        m_clickUp.position = 0;
    }
    ::LeaveCriticalSection(&m_soundLock);
}

void CWaveIn::StartClickUpSound()
{
    ::EnterCriticalSection(&m_soundLock);
    if (m_clickUp.data) {
        m_clickUp.position = 0;
        m_clickUp.active = TRUE;
    }
    ::LeaveCriticalSection(&m_soundLock);
}

void CWaveIn::StartKeySound()
{
    ::EnterCriticalSection(&m_soundLock);
    if (m_keySound.data) {
        m_keySound.position = 0;
        m_keySound.active = TRUE;
    }
    ::LeaveCriticalSection(&m_soundLock);
}
