// Recording a narration over the timeline: the timeline's recording graph
// writes the sound input into a temporary WAVE file while the preview plays
// the span; at the end the user names the file and it is placed on the
// timeline's audio where the narration started.
// The framework's windows first: the DirectShow headers bring macros that
// would rename their members.
#include "controls/LongFileDialog.h"
#include "XRVDirectShow/XRVDShow.h"

#include "XRVDirectShow/TimelineReport.h"
#include "platform/filters/WaveDest.h"
#include "framework/WinApp.h"
#include "resources/ids_playback.h"
#include "settings/FileUtil.h"

#include <dshow.h>

namespace {

void ReportNarration(int line, const char* text)
{
    ReportTimelineFailure(".\\XRVDirectShow\\XRVDShow", line, text);
}

struct NameSearch {
    const char* name;
    BOOL found;
};

HRESULT MatchSourceName(IAMTimelineObj* source, void* context)
{
    NameSearch* search = static_cast<NameSearch*>(context);
    CComQIPtr<IAMTimelineSrc> src(source);
    BSTR name = NULL;
    if (src && SUCCEEDED(src->GetMediaName(&name)) && name) {
        CString narrow(name);
        if (narrow.CompareNoCase(search->name) == 0)
            search->found = TRUE;
    }
    ::SysFreeString(name);
    return S_OK;
}

}  // namespace

HRESULT XRVDShow::StartRecord(LONGLONG start, LONGLONG stop, BOOL syncPreview)
{
    if (!m_pTimeline)
        return E_FAIL;
    if (start != -1) {
        m_pTimeline->SetOutputName("");
        m_pTimeline->m_rtRecordBase = 0;
        m_pTimeline->m_rtRecordOffset2 = 0;
    } else if (stop != -1 && m_pPreview) {
        start = m_pPreview->GetPosition();
    }
    HRESULT built = S_OK;
    if (!m_pTimeline->GetRecordGraph()) {
        built = m_pTimeline->StartRecordAudio(start, stop);
        if (FAILED(built))
            return built;
        CComQIPtr<IMediaControl> control(m_pTimeline->GetRecordGraph());
        if (!control) {
            ReportNarration(__LINE__, "CComQIPtr(pFilterGraph) failed for IMediaControl in StartRecord()");
            return E_FAIL;
        }
        if (syncPreview && m_pPreview) {
            m_pPreview->Stop();
            m_pPreview->Seek(start < 0 ? 0 : start, TRUE);
            if (stop > 0)
                m_pPreview->PlayTo(stop);
            else
                m_pPreview->Play();
        }
        const HRESULT hr = control->Run();
        if (FAILED(hr)) {
            ReportNarration(__LINE__, "pMediaControl->Run() failed in StartRecord()");
            return hr;
        }
        return built;
    }
    CComQIPtr<IMediaControl> control(m_pTimeline->GetRecordGraph());
    if (!control) {
        ReportNarration(__LINE__, "CComQIPtr(pFilterGraph) failed for IMediaControl in StartRecord()");
        return E_FAIL;
    }
    OAFilterState state = State_Stopped;
    control->GetState(0, &state);
    if (state == State_Paused) {
        // Resuming: the preview goes on from where it stands.
        if (syncPreview && m_pPreview) {
            m_pPreview->Stop();
            m_pPreview->Play();
        }
        return control->Run();
    }
    built = m_pTimeline->StartRecordAudio(start, stop);
    if (FAILED(built))
        return built;
    CComQIPtr<IMediaControl> fresh(m_pTimeline->GetRecordGraph());
    if (!fresh) {
        ReportNarration(__LINE__, "CComQIPtr(pFilterGraph) failed for IMediaControl in StartRecord()");
        return E_FAIL;
    }
    if (syncPreview && m_pPreview) {
        m_pPreview->Stop();
        m_pPreview->Seek(start < 0 ? 0 : start, TRUE);
        m_pPreview->Play();
    }
    const HRESULT hr = fresh->Run();
    return FAILED(hr) ? hr : built;
}

HRESULT XRVDShow::PauseRecord()
{
    if (!m_pTimeline)
        return E_FAIL;
    CComQIPtr<IMediaControl> control(m_pTimeline->GetRecordGraph());
    if (!control) {
        ReportNarration(__LINE__, "CComQIPtr(pFilterGraph) failed for IMediaControl in PauseRecord()");
        return E_FAIL;
    }
    return control->Pause();
}

HRESULT XRVDShow::GetRecordingGraph(IGraphBuilder** graph)
{
    if (!graph)
        return E_POINTER;
    *graph = m_pTimeline ? m_pTimeline->GetRecordGraph() : NULL;
    return *graph ? S_OK : E_FAIL;
}

void XRVDShow::GetCurRecordingPos(LONGLONG* position)
{
    if (!m_pTimeline || !position)
        return;
    IGraphBuilder* graph = m_pTimeline->GetRecordGraph();
    if (!graph) {
        *position = -1;
        return;
    }
    CComQIPtr<IMediaSeeking> seeking(graph);
    if (!seeking) {
        ReportNarration(__LINE__, "CComQIPtr(pFilterGraph) failed for IMediaSeeking in GetCurRecordingPos()");
        *position = 0;
        return;
    }
    LONGLONG current = 0;
    seeking->GetCurrentPosition(&current);
    // The sound in the file is the better measure: a live graph's position
    // runs on from the moment it started, whatever the device delivered.
    CComPtr<IBaseFilter> waveDest;
    CComPtr<IXrvWaveDestPosition> written;
    LONGLONG bytesTime = -1;
    if (SUCCEEDED(graph->FindFilterByName(L"Kestravon Wave Dest", &waveDest)) && waveDest &&
        SUCCEEDED(waveDest->QueryInterface(IID_IXrvWaveDestPosition, (void**)&written)) &&
        SUCCEEDED(written->GetPosition(&bytesTime)) && bytesTime >= 0)
        current = bytesTime;
    *position = current + m_pTimeline->m_rtRecordBase;
}

BOOL XRVDShow::CheckFileInTimeline(LPCTSTR name)
{
    if (!m_pTimeline || !name)
        return FALSE;
    NameSearch search = {name, FALSE};
    m_pTimeline->ForEachTrackSource(MatchSourceName, &search);
    return search.found;
}

BOOL XRVDShow::IsFileLocked(LPCTSTR name)
{
    return m_pTimeline && name && m_pTimeline->m_bFileLocking && m_pTimeline->m_FileLocks.Contains(name);
}

// The save dialog for the narration's name.
int XRVDShow::AskNarrationName(CString* name)
{
    CString filter, title;
    filter.LoadString(IDS_NARRATION_SAVE_FILTER);
    title.LoadString(IDS_NARRATION_SAVE_TITLE);
    CLongFileDialog dialog(FALSE, "wav", *name, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST, filter,
                           NULL, MAX_PATH - 1, ".wav");
    dialog.m_ofn.lpstrTitle = title;
    if (dialog.DoModal() != IDOK)
        return IDCANCEL;
    *name = dialog.GetPathName();
    return IDOK;
}

// Stops the recording and names the file: asked of the user when askName is
// set (a name the timeline uses or holds locked is refused; Cancel asks
// whether to discard), else the temporary name stays. The named file goes
// onto the timeline's audio from the paused-time base for its length. A
// move that fails leaves the narration in its temporary file, which is what
// goes onto the timeline and into outName. Discarding deletes it.
HRESULT XRVDShow::StopRecord(CString* outName, BOOL askName)
{
    if (!m_pTimeline || !outName)
        return E_FAIL;
    HRESULT hr = m_pTimeline->StopRecordAudio();
    if (FAILED(hr))
        return hr;
    const CString temporary = m_pTimeline->GetOutputName();
    if (temporary.IsEmpty() || ::GetFileAttributesA(temporary) == INVALID_FILE_ATTRIBUTES)
        return E_FAIL;
    CString chosen = temporary;
    if (askName) {
        CString name;
        for (;;) {
            if (AskNarrationName(&name) != IDOK) {
                if (AfxMessageBox(IDS_NARRATION_CONFIRM_DISCARD, MB_YESNO | MB_ICONQUESTION) == IDYES) {
                    ::DeleteFileA(temporary);
                    m_pTimeline->SetOutputName("");
                    outName->Empty();
                    return S_FALSE;
                }
                continue;
            }
            if (CheckFileInTimeline(name)) {
                AfxMessageBox(IDS_NARRATION_NAME_IN_USE, MB_OK | MB_ICONEXCLAMATION);
                continue;
            }
            if (IsFileLocked(name)) {
                AfxMessageBox(IDS_NARRATION_NAME_LOCKED, MB_OK | MB_ICONEXCLAMATION);
                continue;
            }
            break;
        }
        if (name.CompareNoCase(temporary) != 0 && MoveFileReplace(temporary, name, IDS_NARRATION_CANNOT_SAVE)) {
            chosen = name;
            m_pTimeline->SetOutputName(name);
        }
    }
    *outName = chosen;
    const LONGLONG length = XRVDShowMedia::GetStreamLength(chosen);
    if (length <= 0)
        return E_FAIL;
    const LONGLONG base = m_pTimeline->m_rtRecordBase;
    return AddAudioFile(chosen, base, base + length, 0, length);
}

HRESULT XRVDShow::AddAudioFile(LPCTSTR file, LONGLONG start, LONGLONG end, LONGLONG mediaStart, LONGLONG mediaStop)
{
    if (!m_pTimeline || !file || !*file)
        return E_FAIL;
    const CString name(file);
    return m_pTimeline->AddAudioFileToTimeline(name, start, end, mediaStart, mediaStop, 0, TRUE, FALSE, FALSE, TRUE);
}
