#include "platform/filters/FileWriter.h"

#include <new>

namespace {
const LPCWSTR kPinNames[] = {L"in"};
}

CFileWriterFilter::CFileWriterFilter()
    : CSinkFilterBase(CLSID_FileWriter, 1, kPinNames), m_fileName(NULL), m_mode(0), m_file(INVALID_HANDLE_VALUE),
      m_nextOffset(0), m_bytesWritten(0), m_error(S_OK)
{
}

CFileWriterFilter::~CFileWriterFilter()
{
    CloseFile();
    CoTaskMemFree(m_fileName);
}

STDMETHODIMP CFileWriterFilter::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv && (IsEqualIID(riid, IID_IFileSinkFilter) || IsEqualIID(riid, IID_IFileSinkFilter2))) {
        *ppv = static_cast<IFileSinkFilter2*>(this);
        AddRef();
        return S_OK;
    }
    return CSinkFilterBase::QueryInterface(riid, ppv);
}

STDMETHODIMP CFileWriterFilter::SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt)
{
    if (!pszFileName)
        return E_POINTER;
    size_t length = lstrlenW(pszFileName);
    if (length == 0 || length >= 32768)
        return E_INVALIDARG;
    CDsAutoLock lock(&m_filterLock);
    if (m_state != State_Stopped)
        return VFW_E_WRONG_STATE;
    WCHAR* copy = (WCHAR*)CoTaskMemAlloc((length + 1) * sizeof(WCHAR));
    if (!copy)
        return E_OUTOFMEMORY;
    CopyMemory(copy, pszFileName, (length + 1) * sizeof(WCHAR));
    CoTaskMemFree(m_fileName);
    m_fileName = copy;
    return m_fileType.Set(pmt);
}

STDMETHODIMP CFileWriterFilter::GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt)
{
    if (!ppszFileName)
        return E_POINTER;
    *ppszFileName = NULL;
    CDsAutoLock lock(&m_filterLock);
    if (m_fileName) {
        size_t bytes = (lstrlenW(m_fileName) + 1) * sizeof(WCHAR);
        *ppszFileName = (LPOLESTR)CoTaskMemAlloc(bytes);
        if (!*ppszFileName)
            return E_OUTOFMEMORY;
        CopyMemory(*ppszFileName, m_fileName, bytes);
    }
    if (pmt) {
        ZeroMemory(pmt, sizeof(*pmt));
        if (m_fileName && FAILED(DsCopyMediaType(pmt, &m_fileType))) {
            CoTaskMemFree(*ppszFileName);
            *ppszFileName = NULL;
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

STDMETHODIMP CFileWriterFilter::SetMode(DWORD dwFlags)
{
    if (dwFlags & ~(DWORD)AM_FILE_OVERWRITE)
        return E_INVALIDARG;
    CDsAutoLock lock(&m_filterLock);
    m_mode = dwFlags;
    return S_OK;
}

STDMETHODIMP CFileWriterFilter::GetMode(DWORD* pdwFlags)
{
    if (!pdwFlags)
        return E_POINTER;
    *pdwFlags = m_mode;
    return S_OK;
}

HRESULT CFileWriterFilter::CheckSinkType(int, const AM_MEDIA_TYPE* mt)
{
    return IsEqualGUID(mt->majortype, MEDIATYPE_Stream) ? S_OK : S_FALSE;
}

// The file is opened when the graph pauses from Stopped; a failure is kept
// for the run and reported once.
HRESULT CFileWriterFilter::OnPause(FILTER_STATE from)
{
    if (from == State_Stopped) {
        m_error = OpenFile();
        if (FAILED(m_error))
            NotifyEvent(EC_ERRORABORT, m_error, 0);
    }
    return CSinkFilterBase::OnPause(from);
}

HRESULT CFileWriterFilter::OnStop()
{
    HRESULT hr = CSinkFilterBase::OnStop();
    CloseFile();
    return hr;
}

HRESULT CFileWriterFilter::OpenFile()
{
    CDsAutoLock lock(&m_fileLock);
    if (m_file != INVALID_HANDLE_VALUE)
        return S_OK;
    if (!m_fileName)
        return E_UNEXPECTED;
    DWORD disposition = (m_mode & AM_FILE_OVERWRITE) ? CREATE_ALWAYS : CREATE_NEW;
    HANDLE file = CreateFileW(m_fileName, GENERIC_WRITE, FILE_SHARE_READ, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    m_file = file;
    m_nextOffset = 0;
    m_bytesWritten = 0;
    return S_OK;
}

void CFileWriterFilter::CloseFile()
{
    CDsAutoLock lock(&m_fileLock);
    if (m_file == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
}

// A sample's start time is its byte offset in the file (the convention of
// byte-stream writers); one without times follows the previous sample.
HRESULT CFileWriterFilter::RenderSample(int, IMediaSample* sample)
{
    BYTE* data = NULL;
    HRESULT hr = sample->GetPointer(&data);
    if (FAILED(hr))
        return hr;
    long length = sample->GetActualDataLength();
    if (length < 0)
        return E_INVALIDARG;
    REFERENCE_TIME start = 0, stop = 0;
    CDsAutoLock lock(&m_fileLock);
    if (FAILED(m_error))
        return m_error;
    if (m_file == INVALID_HANDLE_VALUE)
        return VFW_E_WRONG_STATE;
    LONGLONG offset = m_nextOffset;
    if (SUCCEEDED(sample->GetTime(&start, &stop))) {
        if (start < 0)
            return E_INVALIDARG;
        offset = start;
    }
    LARGE_INTEGER to;
    to.QuadPart = offset;
    DWORD written = 0;
    if (!SetFilePointerEx(m_file, to, NULL, FILE_BEGIN) ||
        (length > 0 && (!WriteFile(m_file, data, (DWORD)length, &written, NULL) || written != (DWORD)length))) {
        DWORD error = GetLastError();
        m_error = HRESULT_FROM_WIN32(error ? error : ERROR_WRITE_FAULT);
        NotifyEvent(EC_ERRORABORT, m_error, 0);
        return m_error;
    }
    m_nextOffset = offset + length;
    m_bytesWritten = m_bytesWritten + length;
    return S_OK;
}

// Called before the base class decides on EC_COMPLETE: the file is closed
// first, so that completion means the file is whole on disk.
void CFileWriterFilter::OnPinEndOfStream(int)
{
    CloseFile();
}

HRESULT DsCreateFileWriter(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new (std::nothrow) CFileWriterFilter(), riid, ppv);
}
