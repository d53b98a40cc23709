// Our DirectShow source for the media the editing services read: the
// program's recordings (xrvc or uncompressed AVI, whose xrvc streams Wine's
// AVI splitter cannot offer), WAV files and PNG stills. It loads a name
// through IFileSourceFilter and offers one pin per stream of its reader:
// "Video" as RGB32 of the stored size, "Audio" as 16-bit PCM of the stored
// rate and channels. Frame n of a segment starting at frame k starts at
// start(n) - start(k), start(n) computed from n; audio times follow from
// sample indexes. A still gives one frame.
// The same class answers, under their class identifiers, as the image source
// (names ending ".XRVImg3") and as the recording-package source.
// Threads: as the filter base; each pin streams on its own thread.
#pragma once
#include "platform/dex/MediaReader.h"
#include "platform/filters/FilterBase.h"

extern "C" {
extern const CLSID CLSID_XrvMediaSource;
extern const CLSID CLSID_XrvImageSource;
extern const CLSID CLSID_XrvPackageSource;
}

HRESULT DexCreateMediaSource(REFCLSID clsid, REFIID riid, void** ppv);

class CMediaSourceFilter : public CFilterBase, public IFileSourceFilter {
public:
    explicit CMediaSourceFilter(REFCLSID clsid);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return CFilterBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CFilterBase::Release(); }

    // IFileSourceFilter
    STDMETHODIMP Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) override;

    CMediaReader* Reader() const { return m_reader.get(); }
    // The lock the pins take around the reader (one reader, several pins).
    CDsLock* ReaderLock() { return &m_readerLock; }

private:
    CDsLock m_readerLock;
    std::unique_ptr<CMediaReader> m_reader;
    std::wstring m_file;
};

// The media type a reader's stream is offered in.
HRESULT MediaTypeOfStream(const MediaStreamInfo& stream, AM_MEDIA_TYPE* mt);
