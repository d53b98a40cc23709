// The join of a split recording: the segments back to back on a timeline,
// the sound of each segment placed at its segment's start, rendered by the
// file writer into one AVI at the segments' own playback rate. The output
// appears under its final name only when the render completed; the segments
// and sound files are never touched, so a failed or cancelled join loses
// nothing. Runs on the finishing thread; the progress interface is the
// dialog's (a headless one when none is given).
#pragma once
#include "capture/RecordingFinish.h"
#include "XRVDirectShow/WriterProgress.h"

#include <vector>

class XRVDSFileWriter;

class CTimelineJoiner : public IRecordingJoiner {
public:
    CTimelineJoiner() : m_progress(NULL) {}
    int JoinSegments(const CStringArray& segments, const CStringArray& audioFiles, LPCSTR output,
                     CRecordSettings* settings) override;

    // The dialog that runs the writer; null runs it without a window.
    IWriterProgress* m_progress;

private:
    int Join(const CStringArray& segments, const CStringArray& audioFiles, LPCSTR output, CRecordSettings* settings);
    int JoinFrames(const CStringArray& segments, const CStringArray& audioFiles,
                   const std::vector<struct AviVideoFacts>& facts, LPCSTR output, CRecordSettings* settings);
};

// Runs the writer's worker without a dialog: a message-only window takes
// the graph's events; the run ends when the writer reports the end.
class CHeadlessWriterProgress : public IWriterProgress {
public:
    explicit CHeadlessWriterProgress(XRVDSFileWriter* writer);
    ~CHeadlessWriterProgress() override;
    void SetLine1(LPCSTR) override {}
    void SetLine2(LPCSTR) override {}
    void SetRangeAndPos(int, int) override {}
    void SetElapsed(DWORD, BOOL) override {}
    void SetWorker(LPTHREAD_START_ROUTINE worker, void* parameter) override;
    void GetWorker(LPTHREAD_START_ROUTINE* worker, void** parameter) override;
    void SetCancelled(BOOL cancelled) override { InterlockedExchange(&m_cancelled, cancelled); }
    BOOL IsCancelled() override { return InterlockedCompareExchange(&m_cancelled, 0, 0); }
    void SetTimerId(UINT_PTR id) override { m_timer = id; }
    UINT_PTR GetTimerId() override { return m_timer; }
    INT_PTR RunModal() override;
    HWND GetWindow() override { return m_window; }
    void BringToFront() override {}

private:
    XRVDSFileWriter* m_writer;
    HWND m_window;
    LPTHREAD_START_ROUTINE m_worker;
    void* m_parameter;
    volatile LONG m_cancelled;
    UINT_PTR m_timer;
};

// The frames (0 for a stream without any), rate (rate / scale) and size of
// an AVI's video stream; FALSE when it cannot be read.
struct AviVideoFacts {
    LONG frames;
    DWORD rate, scale;
    LONG width, height;
    DWORD compression;
};
BOOL ReadAviVideoFacts(LPCSTR path, AviVideoFacts* facts);
