#pragma once
// CWaveIn: records one wave-input device on its own thread into a PCM .wav file
// (or hands each buffer to an audio sink), mixing in the click, key and
// audio-script sounds, measuring the peak level and stopping at a time limit.
// Created paused by its owner (the recorder engine or the record wizard), whose
// thread calls Pause/Resume/Stop, the loaders and the triggers.
#include "framework/AfxPlatform.h"
#include "framework/Object.h"
#include "framework/String.h"
#include <mmsystem.h>

#include <vector>

class CWnd;
class CRecorderPrefs;

// The level message: wParam the peak, lParam the full scale (128 or 32768).
// Posted by the wave thread (never sent, so that a UI thread blocked in
// CWaveIn::Stop cannot deadlock with it).
#define WM_WAVEIN_LEVEL (WM_USER + 200)

// What a recorder hands buffers to instead of a file: the data, its length
// in bytes, start and stop in 100-ns units, and the value 1.
class CAudioSink {
public:
    virtual ~CAudioSink() {}
    virtual HRESULT ReceiveAudio(const BYTE* data, DWORD length, LONGLONG start, LONGLONG stop,
                                 int flags) = 0;
};

// One prepared sound: PCM bytes in the recording's format (locked movable
// global memory, owned by the CWaveIn), and its play position.
struct SoundSlot {
    BOOL active;
    BYTE* data;
    DWORD size;
    DWORD position;
};

// The ring of capture buffers of one recording.
class WaveBuffer {
public:
    enum { kCount = 16 };
    WaveBuffer(HWAVEIN device, DWORD bufferSize);
    virtual ~WaveBuffer();

    BOOL Allocate();            // headers and data blocks
    BOOL Prepare();             // waveInPrepareHeader on all of them
    BOOL AddNextBuffer();       // queues the next buffer of the ring
    WAVEHDR* NextToRead();      // advances the read index
    void Unprepare();           // waits a little for buffers still queued

    HWAVEIN device;
    int nextToQueue;
    int nextToRead;
    BOOL needsAllocation;
    BOOL prepared;
    DWORD bufferSize;
    BYTE* data[kCount];
    WAVEHDR* headers[kCount];

private:
    HGLOBAL m_dataMem[kCount];
    HGLOBAL m_headerMem[kCount];
};

class CWaveIn : public CObject {
public:
    CWaveIn(UINT deviceId, LPCSTR fileName, const CRecorderPrefs* settings, int startMs, int limitMs,
            const WAVEFORMATEX* format, BOOL createNew, CWnd* levelWindow, BOOL padSilence,
            HWND playerWindow, BYTE sendLevels);
    ~CWaveIn() override;

    // The thread body (see WaveInThreadProc); returns 0.
    UINT Run();
    // Waits until the thread records or has failed; shows the failure. Returns started.
    BOOL WaitReady();
    void Resume();
    void Pause();
    // Asks the thread to end and waits up to 6 s for it; returns the script player's mode.
    LRESULT Stop();
    void SetNotify(DWORD word) { m_notify = word; }
    // soundOn FALSE records silence; returns the muted flag.
    BOOL SetMute(BOOL soundOn);
    // The user's mute of the recorder engine: the effect sounds are left out.
    void SetEffectsMute(BOOL mute) { m_effectsMuted = mute; }
    int GetPeakLevel() const { return m_peakLevel; }
    int GetPeakScale() const { return m_peakScale; }

    // Effect sounds (WaveInSounds.cpp).
    BOOL LoadClickDownSound(LPCSTR path, LPCSTR tempFolder, int gainPercent);
    BOOL LoadClickUpSound(LPCSTR path, LPCSTR tempFolder, int gainPercent);
    BOOL LoadKeySound(LPCSTR path, LPCSTR tempFolder, int gainPercent);
    BOOL LoadAudioScript(LPCSTR path, LPCSTR tempFolder, int gainPercent);
    void StartClickDownSound();
    void StartClickUpSound();
    void StartKeySound();
    BOOL IsAudioScriptFinished() const { return m_audioScriptFinished; }
    BOOL IsAudioScriptActive() const { return m_audioScript.active; }
    // The owner has seen the script's end.
    void ClearAudioScriptFinished() { m_audioScriptFinished = FALSE; }
    // Mixes the loaded script on (from its start) or leaves it out.
    void SetAudioScriptActive(BOOL active);

    const WAVEFORMATEX* GetFormat() const { return m_format; }
    DWORD GetBytesWritten() const { return m_bytesWritten; }
    int GetCurrentMs() const { return m_currentMs; }
    int GetStartMs() const { return m_startMs; }
    BOOL HasData() const { return m_hasData; }
    BOOL IsRunning() const { return m_running; }
    const CString& GetErrorText() const { return m_errorText; }

    CAudioSink* m_sink;         // assigned by the engine after construction

private:
    BOOL LoadShortSound(SoundSlot& slot, LPCSTR path, LPCSTR tempFolder, int gainPercent);
    void SetError(UINT id);
    void SetError(LPCSTR text) { m_errorText = text; }
    BOOL OpenFile(DWORD* existingLength);
    // While stopping: more of the device's sound is still wanted to reach the
    // stop time.
    BOOL Draining(LONGLONG deviceSamples) const;
    // The device's sample position now, from the wall clock since its start.
    LONGLONG DeviceSampleNow() const;
    // Keeps only the parts of a buffer (device samples from bufferStart on)
    // that were recorded while not paused, moved to its front; returns their
    // length in bytes.
    DWORD KeepRecordedSpans(BYTE* data, DWORD length, LONGLONG bufferStart);
    BOOL SeekToStart(DWORD existingLength, const BYTE* silence, DWORD bufferSize);
    void ProcessBuffer(BYTE* data, DWORD* length);
    void MeasureLevel(const BYTE* data, DWORD length);
    void CloseFile();
    void FreeSlot(SoundSlot& slot);

    DWORD m_bytesWritten;
    int m_currentMs;
    int m_startMs;
    WAVEFORMATEX* m_format;
    const CRecorderPrefs* m_settings;
    UINT m_deviceId;
    char m_fileName[MAX_PATH];
    int m_limitMs;
    BOOL m_createNew;
    BOOL m_hasData;
    BOOL m_padSilence;
    CWnd* m_levelWindow;
    volatile DWORD m_notify;
    HWND m_playerWindow;
    volatile BOOL m_running;
    volatile BOOL m_started;
    volatile BOOL m_stop;
    volatile BOOL m_paused;
    volatile BOOL m_muted;
    volatile BOOL m_effectsMuted;
    // What is recorded is chosen by the device's own time: Resume and Pause
    // (owner's thread) mark where, in samples since the device started, each
    // stretch of recording begins and ends, and the wave thread keeps exactly
    // those samples of every buffer. The input hands its buffers over late
    // (under Wine about a second): sound from before a pause is still written
    // when it arrives after the pause, sound from the pause is left out when
    // it arrives after the resume, and a stop reads on, for at most a few
    // seconds, until the device has passed the stop time.
    struct RecordedSpan {
        LONGLONG start;         // device samples
        LONGLONG end;           // kOpenSpan while recording goes on
    };
    std::vector<RecordedSpan> m_spans;    // in order; consumed ones removed by the thread
    CRITICAL_SECTION m_spanLock;
    DWORD m_deviceStartTick;
    volatile BOOL m_deviceClockSet;       // set by the thread before it reports ready
    volatile LONGLONG m_drainTargetSamples;   // set by Stop before the stop flag, then fixed
    DWORD m_stopTick;
    HWAVEIN m_device;
    WaveBuffer* m_buffers;
    HANDLE m_waveEvent;
    HANDLE m_readyEvent;
    CString m_errorText;
    SoundSlot m_clickDown;
    SoundSlot m_clickUp;
    SoundSlot m_keySound;
    SoundSlot m_audioScript;
    volatile BOOL m_audioScriptFinished;
    volatile int m_peakLevel;
    volatile int m_peakScale;
    BYTE m_sendLevels;

    // Set (manual reset) when the thread body has finished with the device
    // and the buffers; the destructor waits for it before freeing anything.
    HANDLE m_doneEvent;
    volatile BOOL m_threadEntered;
    // Guards the sound slots' data against a loader replacing it while the
    // wave thread mixes from it (the audio script may be loaded at any time).
    CRITICAL_SECTION m_soundLock;
    HMMIO m_file;
    MMCKINFO m_riffChunk;
    MMCKINFO m_dataChunk;
    DWORD m_dataEnd;            // bytes of data in the file (relative to the data chunk)
};

// The thread procedure to pass to AfxBeginThread with the CWaveIn.
UINT AFX_CDECL WaveInThreadProc(LPVOID param);
// TRUE when the system has a wave-input device.
BOOL HasWaveInDevice();
