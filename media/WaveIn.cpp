#include "media/WaveIn.h"

#include "framework/WinApp.h"
#include "framework/ui/Wnd.h"
#include "media/AudioMix.h"
#include "media/SoundFile.h"
#include "media/WaveInPrefs.h"
#include "resources/ids_media.h"

#include <objbase.h>
#include <string.h>

namespace {

const DWORD kMaxBufferBytes = 64000;
const int kOpenAttempts = 10;
const DWORD kWaitSlice = 200;
const int kStopPasses = 30;
// The longest a stop waits for sound recorded before it. Wine's input hands
// a buffer over up to about two seconds after it is full.
const DWORD kDrainLimitMs = 3000;
// MCI and MCIWnd messages understood by the audio-script player window.
const UINT kMciPlay = 0x806;
const UINT kMciStop = 0x808;
const UINT kMciPause = 0x809;
const UINT kMciWndGetMode = 0x46A;
const LRESULT kMciModeStop = 525;
const LRESULT kMciModePlay = 526;
// The end of a stretch of recording that goes on.
const LONGLONG kOpenSpan = 0x7FFFFFFFFFFFFFFFLL;
CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

}  // namespace

// ---------------------------------------------------------------- WaveBuffer

WaveBuffer::WaveBuffer(HWAVEIN dev, DWORD size)
    : device(dev), nextToQueue(0), nextToRead(0), needsAllocation(TRUE), prepared(FALSE),
      bufferSize(size)
{
    for (int i = 0; i < kCount; ++i) {
        data[i] = NULL;
        headers[i] = NULL;
        m_dataMem[i] = NULL;
        m_headerMem[i] = NULL;
    }
}

WaveBuffer::~WaveBuffer()
{
    Unprepare();
    for (int i = 0; i < kCount; ++i) {
        if (m_dataMem[i]) {
            ::GlobalUnlock(m_dataMem[i]);
            ::GlobalFree(m_dataMem[i]);
        }
        if (m_headerMem[i]) {
            ::GlobalUnlock(m_headerMem[i]);
            ::GlobalFree(m_headerMem[i]);
        }
    }
}

BOOL WaveBuffer::Allocate()
{
    for (int i = 0; i < kCount; ++i) {
        m_headerMem[i] = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE | GMEM_ZEROINIT, sizeof(WAVEHDR));
        m_dataMem[i] = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, bufferSize);
        if (!m_headerMem[i] || !m_dataMem[i])
            return FALSE;
        headers[i] = static_cast<WAVEHDR*>(::GlobalLock(m_headerMem[i]));
        data[i] = static_cast<BYTE*>(::GlobalLock(m_dataMem[i]));
        if (!headers[i] || !data[i])
            return FALSE;
        headers[i]->lpData = reinterpret_cast<LPSTR>(data[i]);
        headers[i]->dwBufferLength = bufferSize;
    }
    needsAllocation = FALSE;
    return TRUE;
}

BOOL WaveBuffer::Prepare()
{
    for (int i = 0; i < kCount; ++i) {
        if (::waveInPrepareHeader(device, headers[i], sizeof(WAVEHDR)) != MMSYSERR_NOERROR)
            return FALSE;
    }
    prepared = TRUE;
    return TRUE;
}

BOOL WaveBuffer::AddNextBuffer()
{
    WAVEHDR* header = headers[nextToQueue];
    nextToQueue = (nextToQueue + 1) % kCount;
    header->dwFlags = WHDR_PREPARED;
    header->dwBytesRecorded = 0;
    return ::waveInAddBuffer(device, header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
}

WAVEHDR* WaveBuffer::NextToRead()
{
    WAVEHDR* header = headers[nextToRead];
    nextToRead = (nextToRead + 1) % kCount;
    return header;
}

void WaveBuffer::Unprepare()
{
    if (!prepared)
        return;
    for (int i = 0; i < kCount; ++i) {
        if (!headers[i] || !(headers[i]->dwFlags & WHDR_PREPARED))
            continue;
        if (!(headers[i]->dwFlags & WHDR_DONE) && (headers[i]->dwFlags & WHDR_INQUEUE))
            ::Sleep(500);
        ::waveInUnprepareHeader(device, headers[i], sizeof(WAVEHDR));
    }
    prepared = FALSE;
}

// ---------------------------------------------------------------- CWaveIn

CWaveIn::CWaveIn(UINT deviceId, LPCSTR fileName, const CRecorderPrefs* settings, int startMs,
                 int limitMs, const WAVEFORMATEX* format, BOOL createNew, CWnd* levelWindow,
                 BOOL padSilence, HWND playerWindow, BYTE sendLevels)
    : m_sink(NULL), m_bytesWritten(0), m_currentMs(0), m_startMs(startMs), m_format(NULL),
      m_settings(settings), m_deviceId(deviceId), m_limitMs(limitMs), m_createNew(createNew),
      m_hasData(FALSE), m_padSilence(padSilence), m_levelWindow(levelWindow), m_notify(0),
      m_playerWindow(playerWindow), m_running(FALSE), m_started(FALSE), m_stop(FALSE),
      m_paused(TRUE), m_muted(FALSE), m_effectsMuted(FALSE), m_deviceStartTick(0),
      m_deviceClockSet(FALSE), m_drainTargetSamples(0), m_stopTick(0), m_device(NULL), m_buffers(NULL),
      m_waveEvent(NULL), m_readyEvent(NULL), m_audioScriptFinished(FALSE), m_peakLevel(0),
      m_peakScale(0), m_sendLevels(sendLevels), m_doneEvent(NULL), m_threadEntered(FALSE),
      m_file(NULL), m_dataEnd(0)
{
    m_fileName[0] = '\0';
    if (fileName)
        lstrcpynA(m_fileName, fileName, MAX_PATH);
    if (m_limitMs > 0 && m_startMs > m_limitMs)
        m_startMs = m_limitMs;
    m_currentMs = m_startMs;
    if (format) {
        const size_t size = sizeof(WAVEFORMATEX) + format->cbSize;
        m_format = static_cast<WAVEFORMATEX*>(malloc(size));
        if (m_format)
            memcpy(m_format, format, size);
    }
    m_readyEvent = ::CreateEventA(NULL, FALSE, FALSE, NULL);
    m_doneEvent = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    memset(&m_clickDown, 0, sizeof(SoundSlot));
    memset(&m_clickUp, 0, sizeof(SoundSlot));
    memset(&m_keySound, 0, sizeof(SoundSlot));
    memset(&m_audioScript, 0, sizeof(SoundSlot));
    memset(&m_riffChunk, 0, sizeof(m_riffChunk));
    memset(&m_dataChunk, 0, sizeof(m_dataChunk));
    ::InitializeCriticalSection(&m_soundLock);
    ::InitializeCriticalSection(&m_spanLock);
}

// The device and the capture buffers belong to the wave thread, which closes
// and frees them itself when it ends. The destructor therefore waits for the
// thread to be done before it frees anything the thread may still touch.
CWaveIn::~CWaveIn()
{
    if (m_running)
        Stop();
    if (m_threadEntered)
        ::WaitForSingleObject(m_doneEvent, INFINITE);
    if (m_readyEvent)
        ::CloseHandle(m_readyEvent);
    if (m_doneEvent)
        ::CloseHandle(m_doneEvent);
    free(m_format);
    FreeSlot(m_clickDown);
    FreeSlot(m_clickUp);
    FreeSlot(m_keySound);
    FreeSlot(m_audioScript);
    ::DeleteCriticalSection(&m_soundLock);
    ::DeleteCriticalSection(&m_spanLock);
}

void CWaveIn::FreeSlot(SoundSlot& slot)
{
    FreeAudioData(slot.data);
    memset(&slot, 0, sizeof(SoundSlot));
}

void CWaveIn::SetError(UINT id)
{
    m_errorText = LoadText(id);
}

BOOL CWaveIn::WaitReady()
{
    if (::WaitForSingleObject(m_readyEvent, INFINITE) != WAIT_OBJECT_0) {
        AfxMessageBox(IDS_WAVEIN_THREAD_FAILED, MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (!m_started && !m_errorText.IsEmpty())
        AfxMessageBox(LoadText(IDS_CANNOT_RECORD_AUDIO) + "\n\n" + m_errorText, MB_ICONEXCLAMATION);
    return m_started;
}

LONGLONG CWaveIn::DeviceSampleNow() const
{
    if (!m_deviceClockSet || !m_format)
        return 0;
    const DWORD elapsed = ::GetTickCount() - m_deviceStartTick;
    return static_cast<LONGLONG>(elapsed) * m_format->nSamplesPerSec / 1000;
}

void CWaveIn::Resume()
{
    ::EnterCriticalSection(&m_spanLock);
    if (m_paused && !m_stop) {
        RecordedSpan span = {DeviceSampleNow(), kOpenSpan};
        m_spans.push_back(span);
    }
    m_paused = FALSE;
    ::LeaveCriticalSection(&m_spanLock);
    if (m_audioScript.active && m_playerWindow)
        ::SendMessageA(m_playerWindow, kMciPlay, 0, 0);
}

void CWaveIn::Pause()
{
    ::EnterCriticalSection(&m_spanLock);
    if (!m_paused && !m_spans.empty() && m_spans.back().end == kOpenSpan)
        m_spans.back().end = DeviceSampleNow();
    m_paused = TRUE;
    ::LeaveCriticalSection(&m_spanLock);
    if (m_waveEvent)
        ::SetEvent(m_waveEvent);
    if (m_audioScript.active && m_playerWindow) {
        if (::SendMessageA(m_playerWindow, kMciWndGetMode, 0, 0) == kMciModePlay)
            ::SendMessageA(m_playerWindow, kMciPause, 0, 0);
    }
}

// The sound the input still holds for the time before the stop is read
// first (see Draining): the recording ends at the stop, not a second early.
LRESULT CWaveIn::Stop()
{
    if (!m_stop) {
        ::EnterCriticalSection(&m_spanLock);
        if (!m_spans.empty() && m_spans.back().end == kOpenSpan)
            m_spans.back().end = DeviceSampleNow();
        m_drainTargetSamples = m_spans.empty() ? 0 : m_spans.back().end;
        ::LeaveCriticalSection(&m_spanLock);
        m_stopTick = ::GetTickCount();
        // The target is in place before the thread can see the stop.
        ::InterlockedExchange(reinterpret_cast<volatile LONG*>(&m_stop), TRUE);
    }
    m_paused = FALSE;
    for (int pass = 0; pass < kStopPasses; ++pass) {
        if (!m_running)
            break;
        if (pass == 4 && m_waveEvent)
            ::SetEvent(m_waveEvent);
        ::Sleep(kWaitSlice);
    }
    LRESULT mode = 0;
    if (m_audioScript.active && m_playerWindow) {
        mode = ::SendMessageA(m_playerWindow, kMciWndGetMode, 0, 0);
        if (mode != kMciModeStop)
            ::SendMessageA(m_playerWindow, kMciStop, 0, 0);
    }
    return mode;
}

BOOL CWaveIn::SetMute(BOOL soundOn)
{
    m_muted = !soundOn;
    return m_muted;
}

UINT AFX_CDECL WaveInThreadProc(LPVOID param)
{
    CWaveIn* waveIn = static_cast<CWaveIn*>(param);
    if (!waveIn)
        return 1;
    ::CoInitialize(NULL);
    const UINT result = waveIn->Run();
    ::CoUninitialize();
    return result;
}

BOOL CWaveIn::Draining(LONGLONG deviceSamples) const
{
    if (!m_drainTargetSamples || ::GetTickCount() - m_stopTick >= kDrainLimitMs)
        return FALSE;
    return deviceSamples < m_drainTargetSamples;
}

DWORD CWaveIn::KeepRecordedSpans(BYTE* data, DWORD length, LONGLONG bufferStart)
{
    const WORD block = m_format->nBlockAlign;
    const LONGLONG bufferEnd = bufferStart + length / block;
    DWORD kept = 0;
    ::EnterCriticalSection(&m_spanLock);
    for (size_t i = 0; i < m_spans.size(); ++i) {
        const LONGLONG from = m_spans[i].start > bufferStart ? m_spans[i].start : bufferStart;
        const LONGLONG to = m_spans[i].end < bufferEnd ? m_spans[i].end : bufferEnd;
        if (from >= to)
            continue;
        const DWORD bytes = static_cast<DWORD>(to - from) * block;
        memmove(data + kept, data + static_cast<DWORD>(from - bufferStart) * block, bytes);
        kept += bytes;
    }
    // Stretches the device has passed are done with.
    size_t done = 0;
    while (done < m_spans.size() && m_spans[done].end <= bufferEnd)
        ++done;
    m_spans.erase(m_spans.begin(), m_spans.begin() + done);
    ::LeaveCriticalSection(&m_spanLock);
    return kept;
}

BOOL HasWaveInDevice()
{
    return ::waveInGetNumDevs() > 0;
}

// Creates or opens the .wav file and leaves it positioned in the data chunk.
BOOL CWaveIn::OpenFile(DWORD* existingLength)
{
    CString text;
    *existingLength = 0;
    if (m_createNew) {
        m_file = ::mmioOpenA(m_fileName, NULL, MMIO_CREATE | MMIO_ALLOCBUF | MMIO_READWRITE);
        if (!m_file) {
            text.Format(IDS_WAVE_CREATE_FAILED, m_fileName);
            return SetError(text), FALSE;
        }
        m_riffChunk.fccType = mmioFOURCC('W', 'A', 'V', 'E');
        m_riffChunk.cksize = 0;
        if (::mmioCreateChunk(m_file, &m_riffChunk, MMIO_CREATERIFF) != MMSYSERR_NOERROR) {
            text.Format(IDS_WAVE_RIFF_CHUNK_FAILED, m_fileName);
            return SetError(text), FALSE;
        }
        MMCKINFO fmt = {};
        fmt.ckid = mmioFOURCC('f', 'm', 't', ' ');
        fmt.cksize = 18;
        if (::mmioCreateChunk(m_file, &fmt, 0) != MMSYSERR_NOERROR) {
            text.Format(IDS_WAVE_FMT_CHUNK_FAILED, m_fileName);
            return SetError(text), FALSE;
        }
        // The format block is always written as 18 bytes, whatever its cbSize
        // says: the recording is plain PCM.
        WAVEFORMATEX header = *m_format;
        header.cbSize = 0;
        if (::mmioWrite(m_file, reinterpret_cast<const char*>(&header), 18) != 18) {
            text.Format(IDS_WAVE_FORMAT_WRITE_FAILED, m_fileName);
            return SetError(text), FALSE;
        }
        m_bytesWritten += 18;
        ::mmioAscend(m_file, &fmt, 0);
        m_dataChunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
        m_dataChunk.cksize = 0;
        if (::mmioCreateChunk(m_file, &m_dataChunk, 0) != MMSYSERR_NOERROR) {
            text.Format(IDS_WAVE_DATA_CHUNK_FAILED, m_fileName);
            return SetError(text), FALSE;
        }
        return TRUE;
    }
    m_file = ::mmioOpenA(m_fileName, NULL, MMIO_ALLOCBUF | MMIO_READWRITE);
    if (!m_file) {
        text.Format(IDS_WAVE_OPEN_FAILED, m_fileName);
        return SetError(text), FALSE;
    }
    m_riffChunk.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (::mmioDescend(m_file, &m_riffChunk, NULL, MMIO_FINDRIFF) != MMSYSERR_NOERROR) {
        text.Format(IDS_WAVE_NO_RIFF, m_fileName);
        return SetError(text), FALSE;
    }
    m_dataChunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (::mmioDescend(m_file, &m_dataChunk, &m_riffChunk, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
        text.Format(IDS_WAVE_NO_DATA, m_fileName);
        return SetError(text), FALSE;
    }
    if (m_dataChunk.cksize == 0) {
        text.Format(IDS_WAVE_EMPTY_DATA, m_fileName);
        return SetError(text), FALSE;
    }
    *existingLength = m_dataChunk.cksize;
    m_dataEnd = m_dataChunk.cksize;
    return TRUE;
}

// Positions the file at startMs: inside the existing data (later buffers
// overwrite from there) or after it, with the gap filled with silence.
BOOL CWaveIn::SeekToStart(DWORD existingLength, const BYTE* silence, DWORD bufferSize)
{
    CString text;
    const int samples = ::MulDiv(m_format->nSamplesPerSec, m_startMs, 1000);
    if (samples < 0) {
        text.Format(IDS_WAVE_SEEK_FAILED, m_fileName);
        return SetError(text), FALSE;
    }
    const ULONGLONG offset = static_cast<ULONGLONG>(samples) * m_format->nBlockAlign;
    if (offset <= existingLength) {
        if (::mmioSeek(m_file, static_cast<LONG>(m_dataChunk.dwDataOffset + offset), SEEK_SET) == -1) {
            text.Format(IDS_WAVE_SEEK_FAILED, m_fileName);
            return SetError(text), FALSE;
        }
        return TRUE;
    }
    // Wine 8: mmioSeek(SEEK_END) on a buffered read/write file gives 0, so the
    // end of the data is sought by its offset.
    if (::mmioSeek(m_file, static_cast<LONG>(m_dataChunk.dwDataOffset + existingLength), SEEK_SET) == -1) {
        text.Format(IDS_WAVE_SEEK_FAILED, m_fileName);
        return SetError(text), FALSE;
    }
    ULONGLONG gap = offset - existingLength;
    while (m_padSilence && gap > 0) {
        const LONG chunk = static_cast<LONG>(gap < bufferSize ? gap : bufferSize);
        if (::mmioWrite(m_file, reinterpret_cast<const char*>(silence), chunk) != chunk) {
            text.Format(IDS_WAVE_WRITE_FAILED, m_fileName);
            return SetError(text), FALSE;
        }
        m_bytesWritten += chunk;
        gap -= chunk;
    }
    m_dataEnd = static_cast<DWORD>(existingLength + (offset - existingLength - gap));
    return TRUE;
}

// Mixes the effect sounds into one buffer of input (in place).
void CWaveIn::ProcessBuffer(BYTE* data, DWORD* length)
{
    const WORD bits = m_format->wBitsPerSample;
    int divisor = 2;
    ::EnterCriticalSection(&m_soundLock);
    SoundSlot& script = m_audioScript;
    if (m_effectsMuted) {
        if (script.active && script.size > 0) {
            script.position += *length;
            if (script.position >= script.size) {
                m_audioScriptFinished = TRUE;
                script.position = 0;
            }
        }
    } else if (script.active && script.data && script.position < script.size) {
        DWORD count = script.size - script.position;
        if (count > *length)
            count = *length;
        MixHalfAndHalf(data, script.data + script.position, count, bits);
        script.position += count;
        if (script.position >= script.size) {
            m_audioScriptFinished = TRUE;
            script.active = FALSE;
            script.position = 0;
        }
        divisor = 1;
    }
    if (!m_effectsMuted) {
        SoundSlot* slot = NULL;
        if (m_clickDown.active)
            slot = &m_clickDown;
        else if (m_clickUp.active)
            slot = &m_clickUp;
        else if (m_keySound.active)
            slot = &m_keySound;
        if (slot && slot->data && slot->position < slot->size) {
            DWORD count = slot->size - slot->position;
            if (count > *length)
                count = *length;
            MixSound(data, slot->data + slot->position, count, bits, divisor);
            slot->position += count;
        }
        if (slot && slot->position >= slot->size) {
            slot->active = FALSE;
            slot->position = 0;
        }
    }
    ::LeaveCriticalSection(&m_soundLock);
}

void CWaveIn::MeasureLevel(const BYTE* data, DWORD length)
{
    if (m_notify != 1 || m_muted)
        return;
    const int peak = PeakLevel(data, length, m_format->wBitsPerSample);
    const int scale = m_format->wBitsPerSample == 8 ? 128 : 32768;
    m_peakLevel = peak;
    m_peakScale = scale;
    // Posted, not sent: a UI thread that waits in Stop for this thread to end
    // would otherwise never answer, and both would hang.
    if (m_levelWindow && m_sendLevels == 1) {
        const HWND window = m_levelWindow->m_hWnd;
        if (window)
            ::PostMessageA(window, WM_WAVEIN_LEVEL, static_cast<WPARAM>(peak), scale);
    }
}

void CWaveIn::CloseFile()
{
    if (!m_file)
        return;
    // The chunks' sizes are taken from the position at the ascent: the end of
    // everything written (see SeekToStart on Wine's SEEK_END).
    ::mmioSeek(m_file, static_cast<LONG>(m_dataChunk.dwDataOffset + m_dataEnd), SEEK_SET);
    m_dataChunk.dwFlags |= MMIO_DIRTY;
    m_riffChunk.dwFlags |= MMIO_DIRTY;
    ::mmioAscend(m_file, &m_dataChunk, 0);
    ::mmioAscend(m_file, &m_riffChunk, 0);
    ::mmioClose(m_file, 0);
    m_file = NULL;
}

UINT CWaveIn::Run()
{
    m_threadEntered = TRUE;
    ::ResetEvent(m_doneEvent);
    m_running = TRUE;
    BYTE* silence = NULL;
    DWORD bufferSize = 0;
    CString text;
    const UINT devices = ::waveInGetNumDevs();
    bool ok = true;

    if (devices == 0) {
        SetError(IDS_NO_WAVEIN_DEVICE);
        ok = false;
    }
    if (ok && (!m_format || m_format->wFormatTag != WAVE_FORMAT_PCM || m_format->nBlockAlign == 0 ||
               m_format->nSamplesPerSec == 0 || m_format->nChannels == 0)) {
        text.Format(IDS_WAVEIN_OPEN_FAILED, static_cast<int>(WAVERR_BADFORMAT));
        SetError(text);
        ok = false;
    }
    if (ok && m_deviceId != WAVE_MAPPER && m_deviceId >= devices)
        m_deviceId = 0;
    if (ok) {
        m_waveEvent = ::CreateEventA(NULL, FALSE, FALSE, NULL);
        if (!m_waveEvent) {
            SetError(IDS_CREATE_EVENT_FAILED);
            ok = false;
        }
    }
    if (ok) {
        // Half a second of sound, whole blocks, at most 64000 bytes.
        const WORD block = m_format->nBlockAlign;
        DWORD size = (m_format->wBitsPerSample / 8) * m_format->nChannels * m_format->nSamplesPerSec / 2;
        if (size > kMaxBufferBytes)
            size = kMaxBufferBytes;
        size -= size % block;
        if (size == 0)
            size = block;
        bufferSize = size;
        MMRESULT result = MMSYSERR_ERROR;
        for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
            result = ::waveInOpen(&m_device, m_deviceId, m_format,
                                  reinterpret_cast<DWORD_PTR>(m_waveEvent), 0, CALLBACK_EVENT);
            if (result == MMSYSERR_NOERROR)
                break;
            m_device = NULL;
            if (m_stop)
                break;
            ::Sleep(500);
        }
        if (!m_device) {
            text.Format(IDS_WAVEIN_OPEN_FAILED, static_cast<int>(result));
            SetError(text + LoadText(IDS_WAVEIN_DEVICE_BUSY));
            ok = false;
        }
    }
    if (ok && m_stop)
        ok = false;
    if (ok) {
        m_buffers = new WaveBuffer(m_device, bufferSize);
        if (!m_buffers->Allocate()) {
            SetError(CString("CWaveIn::InitHeaders") + LoadText(IDS_FAILED_SUFFIX));
            ok = false;
        } else if (!m_buffers->Prepare()) {
            SetError(CString("CWaveIn::PrepareHeaders") + LoadText(IDS_FAILED_SUFFIX));
            ok = false;
        } else {
            for (int i = 0; ok && i < WaveBuffer::kCount - 1; ++i) {
                if (!m_buffers->AddNextBuffer()) {
                    SetError(CString("CWaveIn::AddNextBuffer") + LoadText(IDS_FAILED_SUFFIX));
                    ok = false;
                }
            }
        }
    }
    // A camera recording hands the sound to its sink; without a sink it is
    // written to the file like any other, never dropped.
    const BOOL toFile = !WaveInRecordsCamera(m_settings) || !m_sink;
    DWORD existingLength = 0;
    if (ok && toFile && !OpenFile(&existingLength))
        ok = false;
    if (ok) {
        silence = static_cast<BYTE*>(malloc(bufferSize));
        memset(silence, m_format->wBitsPerSample == 8 ? 0x80 : 0x00, bufferSize);
        if (toFile && !SeekToStart(existingLength, silence, bufferSize))
            ok = false;
    }
    if (ok && ::waveInStart(m_device) != MMSYSERR_NOERROR) {
        SetError(IDS_WAVEIN_START_FAILED);
        ok = false;
    }

    if (ok) {
        // The device's clock starts now: sample n of its input is the sound
        // of n / rate seconds after this tick.
        m_deviceStartTick = ::GetTickCount();
        m_deviceClockSet = TRUE;
        m_started = TRUE;
        ::SetEvent(m_readyEvent);
        const WORD block = m_format->nBlockAlign;
        const DWORD rate = m_format->nSamplesPerSec;
        // Positions are counted in samples so that a time limit ends on its
        // exact sample: 1000 ms at 22050 Hz is 22050 samples, never one short.
        const LONGLONG startSamples = ::MulDiv(rate, m_startMs, 1000);
        LONGLONG positionSamples = startSamples;
        const LONGLONG limitSamples = m_limitMs > 0 ? ::MulDiv(rate, m_limitMs, 1000) : -1;
        // Samples the device has handed over since its start, recorded or not.
        LONGLONG deviceSamples = 0;
        BOOL deviceStopped = FALSE;
        for (;;) {
            if (m_stop && !Draining(deviceSamples))
                break;
            WAVEHDR* header = m_buffers->NextToRead();
            bool failed = false;
            while (!(header->dwFlags & WHDR_DONE)) {
                if (m_stop) {
                    if (!Draining(deviceSamples))
                        break;
                    // The sound up to the stop is in the buffer being filled:
                    // the device hands it over now instead of when it is full.
                    if (!deviceStopped &&
                        deviceSamples + header->dwBytesRecorded / block >= m_drainTargetSamples) {
                        ::waveInStop(m_device);
                        deviceStopped = TRUE;
                        continue;
                    }
                }
                if (::WaitForSingleObject(m_waveEvent, kWaitSlice) == WAIT_FAILED) {
                    AfxMessageBox(IDS_WAIT_EVENT_FAILED, MB_ICONEXCLAMATION);
                    failed = true;
                    break;
                }
            }
            if (failed || !(header->dwFlags & WHDR_DONE))
                break;
            BYTE* data = reinterpret_cast<BYTE*>(header->lpData);
            const DWORD received = header->dwBytesRecorded - header->dwBytesRecorded % block;
            const LONGLONG bufferStart = deviceSamples;
            deviceSamples += received / block;
            DWORD length = KeepRecordedSpans(data, received, bufferStart);
            if (length == 0) {
                // Nothing of this buffer is recorded (paused, or not yet
                // resumed): a click or key sound does not carry over.
                if (m_paused) {
                    ::EnterCriticalSection(&m_soundLock);
                    m_clickDown.active = m_clickUp.active = m_keySound.active = FALSE;
                    m_clickDown.position = m_clickUp.position = m_keySound.position = 0;
                    ::LeaveCriticalSection(&m_soundLock);
                }
                MeasureLevel(data, received);
                if (m_stop && !Draining(deviceSamples))
                    break;
                if (!m_buffers->AddNextBuffer()) {
                    AfxMessageBox(CString("CWaveIn::AddNextBuffer") + LoadText(IDS_FAILED_SUFFIX),
                                  MB_ICONEXCLAMATION);
                    break;
                }
                continue;
            }
            if (limitSamples >= 0) {
                if (positionSamples >= limitSamples)
                    break;
                const LONGLONG restBytes = (limitSamples - positionSamples) * block;
                if (restBytes < length)
                    length = static_cast<DWORD>(restBytes);
            }
            if (m_muted)
                memset(data, m_format->wBitsPerSample == 8 ? 0x80 : 0x00, length);
            ProcessBuffer(data, &length);
            if (!m_sink) {
                if (m_file && ::mmioWrite(m_file, reinterpret_cast<const char*>(data),
                                          static_cast<LONG>(length)) != static_cast<LONG>(length)) {
                    text.Format(IDS_FILE_WRITE_FAILED, m_fileName);
                    AfxMessageBox(text, MB_ICONEXCLAMATION);
                    break;
                }
                if (m_file) {
                    m_bytesWritten += length;
                    const LONG position = ::mmioSeek(m_file, 0, SEEK_CUR);
                    if (position > 0 && static_cast<DWORD>(position) - m_dataChunk.dwDataOffset > m_dataEnd)
                        m_dataEnd = static_cast<DWORD>(position) - m_dataChunk.dwDataOffset;
                }
            } else {
                // Stamped with the buffer's own span: a shortened buffer
                // ends where the next one starts.
                const LONGLONG start = positionSamples * 10000000 / rate;
                const LONGLONG stop = (positionSamples + length / block) * 10000000 / rate;
                m_sink->ReceiveAudio(data, length, start, stop, 1);
            }
            MeasureLevel(data, length);
            positionSamples += length / block;
            // To the nearest millisecond: a stop cut on a sample inside a
            // millisecond still gives the length it was cut to.
            m_currentMs = static_cast<int>((positionSamples * 1000 + rate / 2) / rate);
            m_dataChunk.dwFlags |= MMIO_DIRTY;
            m_riffChunk.dwFlags |= MMIO_DIRTY;
            m_hasData = TRUE;
            if ((limitSamples >= 0 && positionSamples >= limitSamples) || (m_stop && !Draining(deviceSamples)))
                break;
            if (!m_buffers->AddNextBuffer()) {
                AfxMessageBox(CString("CWaveIn::AddNextBuffer") + LoadText(IDS_FAILED_SUFFIX),
                              MB_ICONEXCLAMATION);
                break;
            }
        }
    }

    // The end: the file is completed and the device closed here, once, by the
    // thread that used them.
    ::SetEvent(m_readyEvent);
    CloseFile();
    if (m_device)
        ::waveInReset(m_device);
    if (m_waveEvent) {
        ::CloseHandle(m_waveEvent);
        m_waveEvent = NULL;
    }
    delete m_buffers;
    m_buffers = NULL;
    if (m_device) {
        ::waveInClose(m_device);
        m_device = NULL;
    }
    free(silence);
    m_running = FALSE;
    ::SetEvent(m_doneEvent);
    return 0;
}
