// The sound of a recording: the wave recorder (CWaveIn) on its own thread,
// its file in the recording's folder, mute, the click, key and audio-script
// sounds, and the hand-over of the recorder between the engine's threads.
#include "capture/RecorderEngine.h"

#include "framework/WinApp.h"
#include "framework/WinThread.h"
#include "media/WaveIn.h"
#include "resources/ids_media.h"
#include "settings/RecorderPrefs.h"

#include <mmreg.h>
#include <msacm.h>

namespace {

// The sound file of the current output file: its name without the extension
// followed by "_Audio.wav".
CString AudioFileFor(const CString& videoFile)
{
    const int slash = videoFile.ReverseFind('\\');
    const int dot = videoFile.ReverseFind('.');
    const CString stem = dot > slash ? videoFile.Left(dot) : videoFile;
    return stem + "_Audio.wav";
}

// The PCM format the wave recorder records in: the preferences' format when
// it is PCM, else the PCM form the compression manager suggests for it.
// Without a stored format the preferences' default (22050 Hz mono 16-bit).
BOOL CaptureFormat(const WAVEFORMATEX* wanted, WAVEFORMATEX* pcm)
{
    memset(pcm, 0, sizeof(*pcm));
    if (!wanted) {
        pcm->wFormatTag = WAVE_FORMAT_PCM;
        pcm->nChannels = 1;
        pcm->nSamplesPerSec = 22050;
        pcm->wBitsPerSample = 16;
        pcm->nBlockAlign = 2;
        pcm->nAvgBytesPerSec = 44100;
        return TRUE;
    }
    if (wanted->wFormatTag == WAVE_FORMAT_PCM) {
        memcpy(pcm, wanted, 16);
        pcm->cbSize = 0;
        return TRUE;
    }
    pcm->wFormatTag = WAVE_FORMAT_PCM;
    return ::acmFormatSuggest(NULL, const_cast<WAVEFORMATEX*>(wanted), pcm, sizeof(WAVEFORMATEX),
                              ACM_FORMATSUGGESTF_WFORMATTAG) == MMSYSERR_NOERROR;
}

}  // namespace

BOOL CRecorderEngine::AudioCaptureFormat(const WAVEFORMATEX* wanted, WAVEFORMATEX* pcm)
{
    return CaptureFormat(wanted, pcm);
}

// Starts the wave recorder of the current output file (capture thread). The
// recorder is created paused; it is resumed here only when the recording
// already runs (sound switched on later), else by the frame loop's start.
// The sound of a recorder started after the first frame begins at the
// current time of the segment, so the finishing step puts it in its place.
BOOL CRecorderEngine::StartAudioCapture()
{
    if (m_live || m_prefs->m_timeLapse)
        return FALSE;
    const CString current = m_segmentFiles.GetSize() > m_segment ? m_segmentFiles[m_segment] : m_baseName;
    const CString file = AudioFileFor(current);
    WAVEFORMATEX format;
    if (!CaptureFormat(m_prefs->GetAudioFormat(), &format)) {
        m_errorText.LoadString(IDS_CANNOT_RECORD_AUDIO);
        return FALSE;
    }
    int startMs = 0;
    if (m_framesWritten && m_rate.m_nRate > 0)
        startMs = (int)((LONGLONG)m_segmentPosition * 1000 * m_rate.m_nScale / m_rate.m_nRate);

    CWaveIn* waveIn = new CWaveIn((UINT)m_prefs->m_audioDeviceId, file, m_prefs, startMs, 0, &format, TRUE, NULL,
                                  FALSE, m_mciWindow, 0);
    // The sink is given before the thread runs, so that no buffer misses it.
    waveIn->m_sink = m_audioSink;
    // The file is listed before the recorder can make it, so that the end of
    // the recording deletes whatever a failed start left behind.
    const INT_PTR listed = m_audioFiles.Add(file);
    CWinThread* thread = AfxBeginThread(WaveInThreadProc, waveIn, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (thread) {
        thread->m_bAutoDelete = FALSE;
        thread->ResumeThread();
    }
    if (!thread || !waveIn->WaitReady()) {
        if (!thread)
            AfxMessageBox(IDS_WAVEIN_THREAD_FAILED, MB_ICONEXCLAMATION);
        delete waveIn;
        if (thread) {
            ::WaitForSingleObject(thread->m_hThread, INFINITE);
            delete thread;
        }
        ::DeleteFileA(file);
        m_audioFiles.RemoveAt(listed);
        return FALSE;
    }
    m_audioThread = thread;
    {
        CSingleLock lock(&m_audioLock, TRUE);
        m_waveIn = waveIn;
    }
    waveIn->SetMute(m_prefs->m_recordAudio && !m_prefs->m_muteAudio);

    // The sounds go in before the recorder resumes: its resume starts the
    // audio script's player only when a script is loaded.
    ShowSoundFailures(LoadSounds(waveIn, FALSE));

    if (!IsPaused()) {
        if (RaisePriority())
            m_audioThread->SetThreadPriority(THREAD_PRIORITY_HIGHEST);
        waveIn->Resume();
    }
    return TRUE;
}

DWORD CRecorderEngine::LoadSounds(CWaveIn* waveIn, BOOL skipMuted)
{
    const CString temp = m_prefs->m_tempDir;
    const BOOL muted = skipMuted && m_prefs->m_muteAudio;
    DWORD failed = 0;
    if (m_prefs->m_recordClickAudio && !muted &&
        (!waveIn->LoadClickDownSound(m_prefs->m_clickDownFile, temp, m_prefs->m_clickVolume) ||
         !waveIn->LoadClickUpSound(m_prefs->m_clickUpFile, temp, m_prefs->m_clickVolume)))
        failed |= kSoundClickFailed;
    if (m_prefs->m_recordKeyAudio && !muted &&
        !waveIn->LoadKeySound(m_prefs->m_keyDownFile, temp, m_prefs->m_keyVolume))
        failed |= kSoundKeyFailed;
    if (AudioScriptOn() && !waveIn->LoadAudioScript(m_prefs->m_unused11, temp, 100))
        failed |= kSoundScriptFailed;
    return failed;
}

void CRecorderEngine::ShowSoundFailures(DWORD failed)
{
    const struct {
        DWORD bit;
        UINT textId;
        const CString& file;
    } failures[] = {
        {kSoundClickFailed, IDS_LOAD_CLICK_FAILED, m_prefs->m_clickDownFile},
        {kSoundKeyFailed, IDS_LOAD_KEY_FAILED, m_prefs->m_keyDownFile},
        {kSoundScriptFailed, IDS_LOAD_SCRIPT_FAILED, m_prefs->m_unused11},
    };
    for (const auto& f : failures) {
        if (!(failed & f.bit))
            continue;
        CString text;
        text.Format(f.textId, (LPCSTR)f.file);
        AfxMessageBox(text, MB_ICONEXCLAMATION);
    }
}

// Ends the wave recorder and its thread and deletes it (capture thread, and
// the engine's destructor after the capture thread has ended). The pointer is
// taken away under the audio lock first, so that no other thread calls into
// a recorder that is going.
void CRecorderEngine::StopAudioCapture()
{
    CWaveIn* waveIn;
    {
        CSingleLock lock(&m_audioLock, TRUE);
        waveIn = m_waveIn;
        m_waveIn = NULL;
    }
    // The destructor stops the thread and waits until it has closed the
    // device and the file.
    delete waveIn;
    if (m_audioThread) {
        ::WaitForSingleObject(m_audioThread->m_hThread, INFINITE);
        delete m_audioThread;
        m_audioThread = NULL;
    }
}

// Stop and discard: the recorder stops taking sound. Its thread is waited
// for, because the finishing step reads the file next and the file is only
// complete (its sizes written) when the thread has ended.
void CRecorderEngine::EndWaveRecording()
{
    if (!m_waveIn)
        return;
    m_waveIn->Stop();
    if (m_audioThread)
        ::WaitForSingleObject(m_audioThread->m_hThread, INFINITE);
}

// Sound switched on while no recorder runs: the capture thread starts one at
// the top of the next frame (the UI thread never creates it: the recorder
// belongs to the capture thread, and its start may take seconds).
void CRecorderEngine::ApplyAudioRequest()
{
    if (!::InterlockedExchange(&m_audioStartRequest, 0) || m_waveIn)
        return;
    if (StartAudioCapture()) {
        // Asked for sound: it is on, whatever the stored mute says.
        m_waveIn->SetMute(TRUE);
    } else if (!m_errorText.IsEmpty()) {
        AfxMessageBox(m_errorText, MB_ICONEXCLAMATION);
        m_errorText.Empty();
    }
}

void CRecorderEngine::EnableAudio(BOOL on)
{
    if (m_live || m_prefs->m_timeLapse)
        return;
    CSingleLock lock(&m_audioLock, TRUE);
    if (m_waveIn)
        m_waveIn->SetMute(on);
    else   // off before the capture thread took the request withdraws it
        ::InterlockedExchange(&m_audioStartRequest, on ? 1 : 0);
}

// Click sounds without recorded sound: a wave recorder records silence and
// mixes the clicks in. A recorder that cannot start has said why; the
// recording goes on without the clicks.
BOOL CRecorderEngine::LoadClickSounds()
{
    return StartAudioCapture();
}

BOOL CRecorderEngine::LoadKeyboardSound()
{
    return StartAudioCapture();
}
