#pragma once
// Our Windows Media indexer, shaped like the runtime's IWMIndexer2: the
// runtime's own indexer cannot be used here (creating it ends the process
// under Wine). It builds a Simple Index over a file whose packets are whole,
// on its own thread, and reports through IWMStatusCallback: WMT_STARTED,
// WMT_INDEX_PROGRESS (a DWORD percentage), WMT_ERROR with the failure, and
// always WMT_CLOSED last with the final result.
#include <windows.h>
#include <wmsdkidl.h>

// The indexer types and interfaces (absent from mingw-w64's headers).
typedef enum WMT_INDEXER_TYPE {
    WMT_IT_PRESENTATION_TIME = 0,
    WMT_IT_FRAME_NUMBERS = 1,
    WMT_IT_TIMECODE = 2
} WMT_INDEXER_TYPE;

// No import library defines these identifiers: WmIndexer.cpp does.
extern "C" const IID IID_IWMIndexer;
extern "C" const IID IID_IWMIndexer2;

struct IWMIndexer : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE StartIndexing(const WCHAR* url, IWMStatusCallback* callback, void* context) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
};

struct IWMIndexer2 : public IWMIndexer {
    // Every stream's key frames go into the one Simple Index, whatever
    // streamNumber says. interval: a DWORD of milliseconds between entries
    // (null or 0: one second). indexType is not used.
    virtual HRESULT STDMETHODCALLTYPE Configure(WORD streamNumber, WMT_INDEXER_TYPE type, void* interval,
                                                void* indexType) = 0;
};

// Creates our indexer (reference count 1).
HRESULT CreateAsfIndexer(IWMIndexer2** indexer);
