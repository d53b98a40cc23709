// The output file writer: renders a copy of a timeline into an AVI file
// (our multiplexer and file writer, with INFO texts), a WAV file (the wave
// destination and the file writer), or, through the registered stages of
// OutputStages.h, Windows Media and SWF files. Every output is written under
// a unique temporary name in the work folder, handed back to the caller,
// which moves it into place.
//
// Render runs on the caller's thread inside the progress dialog's modal
// loop; the dialog starts the writer's worker thread, polls
// GetWritePosition and GetDuration, passes the graph's events (message
// 0x530) to ProcessGraphEvents and calls StopWriting at the end or on cancel.
// Render succeeds only when the graph completed without cancel or error;
// otherwise the temporary file is deleted and the result is 0.
//
// Settings read from CRecordSettings: output type m_nHeader[0] (4 Windows
// Media, 6 AVI with the sound in a separate WAV, 8 SWF, else AVI); size kind
// m_nHeader[1] (1: the 25 presets at index m_nHeader[3], 3: the 4 presets at
// index m_nHeader[2], 2: m_nOutputWidth x m_nOutputHeight); metadata texts;
// interleaving; frame rate m_FrameRate; with-audio switch m_nValue27.
#pragma once
#include "framework/String.h"
#include "XRVDirectShow/WriterProgress.h"

#include <tchar.h>
#include <dshow.h>

class CRecordSettings;
class XRVDSTimeline;

class XRVDSFileWriter {
public:
    XRVDSFileWriter();
    virtual ~XRVDSFileWriter();

    virtual void SetTimeline(XRVDSTimeline* source);
    virtual BOOL Render(CString& path, LONG* startedFlag, LONGLONG start, LONGLONG stop);
    virtual BOOL WriteAviToFile(LPCSTR path, BOOL withAudio, HWND window, IWriterProgress* progress);
    virtual void SetProgress(IWriterProgress* progress, int mode);
    virtual BOOL IsCancelled();
    virtual int GetReserved() { return 0; }
    virtual HRESULT AddWmvWriter(IGraphBuilder* graph, LPCWSTR path, IBaseFilter** filter, IPin** videoIn,
                                 IPin** audioIn);
    virtual HRESULT AddSwfWriter(IGraphBuilder* graph, LPCWSTR path, IBaseFilter** filter, IPin** videoIn,
                                 IPin** audioIn);
    virtual int RenderAviToTemp(CString& path);

    void SetOutputFormat(CRecordSettings* settings, void* profileChoice, void* swfOptions);
    HRESULT GetGraphBuilder(IGraphBuilder** graph);
    LONGLONG GetDuration();
    HRESULT GetMaxProperties(int* width, int* height, double* rate, int* value);
    int GetOutputSize(int* width, int* height);
    HRESULT GetWritePosition(LONGLONG* position);
    void StopWriting();
    int RenderWavToTemp(CString& path);
    HRESULT WriteWavToFile(LPCSTR path, HWND window, IWriterProgress* progress, LONGLONG start, LONGLONG stop);
    // Reads the output graph's pending events; TRUE once the write ended
    // (completed, failed or aborted). The dialog calls it on message 0x530.
    BOOL ProcessGraphEvents();
    // TRUE when the last output graph reported completion without an error.
    BOOL Completed() const { return m_lCompleted != 0 && m_lFailed == 0; }

    // The preset sizes (kind 1, 25 sizes; kind 3, 4 sizes); FALSE out of range.
    static BOOL PresetSize(int kind, int index, int* width, int* height);
    // Output type 6: the sound file beside an AVI path (the last four
    // characters replaced by ".wav").
    static CString SoundPathFor(LPCSTR aviPath);

    CString m_strProfileFolder;
    CString m_strOutputFile;
    CString m_strSwfText1, m_strSwfText2;
    CString m_strWorkFolder;
    BOOL m_bShowLength;
    BOOL m_bOwnsProgress;
    volatile LONG m_bWriting;
    LONG* m_pStartedFlag;
    IWriterProgress* m_pProgress;
    CRecordSettings* m_pSettings;
    void* m_pProfileChoice;
    void* m_pSwfOptions;
    XRVDSTimeline* m_pTimeline;
    LONGLONG m_rtStart, m_rtStop;
    // Set when the Windows Media stage loaded the runtime: unloaded with the
    // writer.
    BOOL m_bLoadedWmvCore;

private:
    static DWORD WINAPI AviWorker(void* parameter);
    static DWORD WINAPI WavWorker(void* parameter);
    BOOL RenderRange(LONGLONG* start, LONGLONG* stop) const;
    HRESULT BuildOutputGraph(LPCSTR path, BOOL withAudio);
    HRESULT BuildWavGraph(LPCSTR path, LONGLONG start, LONGLONG stop);
    HRESULT TakeOutPreviewEnd(IGraphBuilder* graph, IPin** videoSource);
    HRESULT ConfigureInterleaving(IBaseFilter* mux);
    HRESULT WriteMetadata(IGraphBuilder* graph, int type);
    int OutputType() const;
    void ResetRunState();

    volatile LONG m_lCompleted;
    volatile LONG m_lFailed;
    XRVDSFileWriter(const XRVDSFileWriter&) = delete;
    XRVDSFileWriter& operator=(const XRVDSFileWriter&) = delete;
};
