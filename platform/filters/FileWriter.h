// Our file writer (Wine's lacks IFileSinkFilter2): a sink with one
// byte-stream input that writes every sample at the byte offset its start
// time carries (a sample without times goes after the last one), so that a
// multiplexer can go back and fill in its headers at the end. The file is
// opened when the filter leaves Stopped and closed at end of stream or Stop;
// EC_COMPLETE goes out only once the file is closed, so a graph's owner may
// read or move the file as soon as it hears of completion. Without
// AM_FILE_OVERWRITE an existing file is refused rather than written over.
// A file that cannot be opened or written is reported as EC_ERRORABORT with
// the system's error, samples are refused and EC_COMPLETE never comes; the
// start itself does not fail (Wine 8's graph leaves the filters it already
// paused running when one fails to pause, and then cannot take it apart).
// Threads: state changes on the graph's thread, samples on the upstream
// streaming thread; the file handle is held under its own lock.
#pragma once
#include "platform/filters/SinkFilter.h"

class CFileWriterFilter : public CSinkFilterBase, public IFileSinkFilter2 {
public:
    CFileWriterFilter();
    ~CFileWriterFilter() override;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return CSinkFilterBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CSinkFilterBase::Release(); }

    // IFileSinkFilter2
    STDMETHODIMP SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP SetMode(DWORD dwFlags) override;
    STDMETHODIMP GetMode(DWORD* pdwFlags) override;

    HRESULT CheckSinkType(int pin, const AM_MEDIA_TYPE* mt) override;
    HRESULT RenderSample(int pin, IMediaSample* sample) override;
    void OnPinEndOfStream(int pin) override;
    BOOL CanComplete() override { return SUCCEEDED(m_error); }

    // Bytes written since the file was opened (tests, progress).
    LONGLONG BytesWritten() const { return m_bytesWritten; }

protected:
    HRESULT OnPause(FILTER_STATE from) override;
    HRESULT OnStop() override;

private:
    HRESULT OpenFile();
    void CloseFile();

    CDsLock m_fileLock;
    WCHAR* m_fileName;          // CoTaskMemAlloc'd
    CDsMediaType m_fileType;
    DWORD m_mode;
    HANDLE m_file;
    LONGLONG m_nextOffset;      // where a sample without times goes
    volatile LONGLONG m_bytesWritten;
    volatile HRESULT m_error;   // the failure of this run, S_OK while all is well
};

// Creates our file writer (class CLSID_FileWriter).
HRESULT DsCreateFileWriter(REFIID riid, void** ppv);
