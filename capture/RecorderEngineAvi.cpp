// The screen video of a recording: opening each AVI segment with the chosen
// compressor and its state, writing frames, closing, splitting at 1 GiB, and
// the offer to repair a broken AVIFile registration (capture thread).
#include "capture/RecorderEngine.h"

#include "framework/WinApp.h"
#include "media/WaveIn.h"
#include "resources/ids_capture.h"
#include "settings/FileUtil.h"
#include "settings/RecorderPrefs.h"

#include <shellapi.h>
#include <stdlib.h>
#include <string.h>

namespace {
ULONGLONG g_segmentLimit = 0x40000000ull;   // 1 GiB
}  // namespace

void CRecorderEngine::SetSegmentLimit(ULONGLONG bytes)
{
    g_segmentLimit = bytes ? bytes : 0x40000000ull;
}

BOOL CRecorderEngine::OpenOutputAvi(const BITMAPINFO* format, int segment)
{
    if (m_live)
        return FALSE;
    CString fileName;
    if (segment == 0)
        fileName = m_recordingFiles.GetSize() > 0 ? m_recordingFiles[0] : m_baseName;
    else if (segment < m_segmentFiles.GetSize())
        fileName = m_segmentFiles[segment];
    else
        return FALSE;

    AviStreamSettings settings = {};
    const WORD bitCount = format->bmiHeader.biBitCount;
    if (m_prefs->m_autoConfig) {
        settings.fourcc = CodecForBitDepth(bitCount);
        settings.quality = -1;
        settings.keyFrameEvery = 80;
        settings.bytesPerSecond = 0;
    } else {
        settings.fourcc = m_prefs->m_compressorFourCC ? m_prefs->m_compressorFourCC : CodecForBitDepth(bitCount);
        settings.quality = m_prefs->m_quality;
        settings.keyFrameEvery = m_prefs->m_keyFrameRate;
        settings.bytesPerSecond = (DWORD)(m_prefs->m_dataRate > 0 ? m_prefs->m_dataRate : 0) * 1024;
    }
    m_prefs->m_compressorFourCC = settings.fourcc;
    // The recovery note names the codec the frames are really written with
    // (the automatic choice by depth may differ from the preferences').
    if (segment == 0) {
        if (settings.fourcc == kFourccDib) {
            m_codecName = "DIB";
        } else {
            HIC hic = ::ICOpen(ICTYPE_VIDEO, settings.fourcc, ICMODE_QUERY);
            ICINFO info = {};
            info.dwSize = sizeof(info);
            if (hic && ::ICGetInfo(hic, &info, sizeof(info))) {
                m_codecName = CString(info.szName);
                m_codecDescription = CString(info.szDescription);
            }
            if (hic)
                ::ICClose(hic);
        }
    }
    settings.rate = m_prefs->m_playbackRate.m_nRate;
    settings.scale = m_prefs->m_playbackRate.m_nScale;

    BYTE* state = NULL;
    DWORD stateSize = 0;
    if (settings.fourcc != kFourccDib && m_prefs->LoadCodecState(settings.fourcc, &state, &stateSize) && state &&
        settings.fourcc == kFourccXrvc && stateSize >= 4) {
        const DWORD first = 0x1780;
        memcpy(state, &first, sizeof(first));
    }
    settings.state = state;
    settings.stateSize = state ? stateSize : 0;

    AviOpenError error;
    const BOOL opened = m_avi.Open(fileName, format, settings, &error);
    if (state)
        free(state);
    if (opened)
        return TRUE;
    OfferAviRepair(error.text, error.repairShortText);
    return FALSE;
}

// Shows the failure once; for a broken AVIFile registration it first offers
// to export a backup of the registration and import the shipped patch.
void CRecorderEngine::OfferAviRepair(const CString& text, UINT shortText)
{
    CString message = text;
    if (shortText) {
        CString question;
        question.LoadString(IDS_AVI_REPAIR_QUESTION);
        // The question already shows the text: answering No shows nothing more.
        message.Empty();
        if (AfxMessageBox(text + question, MB_YESNO | MB_ICONQUESTION) == IDYES) {
            char path[MAX_PATH] = {};
            ::GetModuleFileNameA(NULL, path, MAX_PATH);
            const CString folder = GetParentFolder(path);
            const HINSTANCE backup = ::ShellExecuteA(NULL, "open", "regedit",
                                                     "/e AviFixBackup.reg HKEY_CLASSES_ROOT\\avifile\\", folder,
                                                     SW_SHOWNORMAL);
            if ((INT_PTR)backup <= 32) {
                message.LoadString(IDS_AVI_REPAIR_BACKUP_FAILED);
            } else {
                CString patch = folder;
                if (!patch.IsEmpty() && patch[patch.GetLength() - 1] != '\\')
                    patch += '\\';
                patch += "avifix.reg";
                const HINSTANCE applied = ::ShellExecuteA(NULL, "open", patch, NULL, NULL, SW_SHOWNORMAL);
                if ((INT_PTR)applied <= 32)
                    message.LoadString(IDS_AVI_REPAIR_APPLY_FAILED);
                else
                    message.Empty();
            }
        }
    }
    if (!message.IsEmpty())
        AfxMessageBox(message, MB_ICONEXCLAMATION | MB_TOPMOST);
    CloseOutputAvi();
}

BOOL CRecorderEngine::WriteAviFrame(const void* bits, DWORD byteCount, LONG sample, DWORD flags)
{
    if (m_live)
        return FALSE;
    return m_avi.Write(bits, byteCount, sample, flags);
}

void CRecorderEngine::CloseOutputAvi()
{
    if (m_live)
        return;
    m_avi.Close();
}

// Before every frame: a segment (or its sound) past 1 GiB continues in the
// next segment file, "_Screen1", "_Screen2", ... whose sample indexes restart.
// The recovery note is written again to list each new segment and its sound.
BOOL CRecorderEngine::CheckSegmentSize()
{
    if (m_live)
        return TRUE;
    const CString current =
        m_segmentFiles.GetSize() > 0 ? m_segmentFiles[m_segment] : (m_recordingFiles.GetSize() > 0
                                                                         ? m_recordingFiles[0]
                                                                         : m_baseName);
    const ULONGLONG limit = g_segmentLimit;
    const ULONGLONG fileSize = GetFileSize64(current, 0);
    ULONGLONG audioSize = 0;
    if (m_audioFiles.GetSize() > 0 && m_waveIn)
        audioSize = m_waveIn->GetBytesWritten();
    if (fileSize <= limit && audioSize <= limit)
        return TRUE;

    CloseOutputAvi();
    if (m_segmentFiles.GetSize() == 0)
        m_segmentFiles.Add(current);
    CString next;
    next.Format("%s%s_Screen%d.%s", (LPCSTR)m_folder, (LPCSTR)m_name, m_segment + 1, (LPCSTR)m_extension);
    m_segmentFiles.SetAtGrow(m_segment + 1, next);
    ++m_segment;
    if (!OpenOutputAvi((const BITMAPINFO*)m_frameFormat.data(), m_segment))
        return FALSE;
    m_segmentPosition = 0;
    if (!m_prefs->m_recordCamera && m_waveIn) {
        StopAudioCapture();
        StartAudioCapture();
    }
    WriteRecoveryNote();
    return TRUE;
}
