// The graph-builder callback of the timeline engine's graphs: refuses the
// filters whose server DLL is listed in "BlockedFilters.ini" beside the
// program, and, when the file's "WriteFilters" flag is set, logs every filter
// the graph builder picks to "XRV_Filters_Used.txt" in the temporary folder.
// Embedded in XRVDSTimeline (fixed reference counts); the list is read once
// per object. SelectedFilter runs on the thread that connects and only reads.
#pragma once
#include "framework/Collections.h"
#include "framework/String.h"

#include <tchar.h>
#include <dshow.h>

class CGraphBuilderCallback : public IAMGraphBuilderCallback {
public:
    CGraphBuilderCallback() : m_writeFilters(0) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SelectedFilter(IMoniker* pMon) override;
    STDMETHODIMP CreatedFilter(IBaseFilter*) override { return S_OK; }

    // Reads the list and the flag from "BlockedFilters.ini" beside the program.
    void Load();
    // Reads them from a given file (tests).
    void LoadFrom(const char* iniPath);
    // Gives a graph this callback (through its IObjectWithSite).
    HRESULT Attach(IUnknown* graph);

    const CStringArray& Blocked() const { return m_blocked; }
    int WriteFilters() const { return m_writeFilters; }

private:
    CStringArray m_blocked;
    int m_writeFilters;
};

// The in-process server of a class ("{...}" text) from HKLM
// "Software\Classes\CLSID\<clsid>\InprocServer32"; FALSE when the key or its
// value is missing or the value does not fit 260 bytes with its terminator.
BOOL GetInprocServerPath(const char* clsidText, CString* path);

// The class enumerator of a filter category (S_FALSE and null for an empty
// one); a C++ exception inside the call is caught and reported.
HRESULT CreateCategoryEnumerator(REFCLSID category, IEnumMoniker** out);

// The compressor of a category (kind 0 audio, 1 video) whose friendly name
// equals `name` (any case); our own filter of that name is preferred to any
// other entry (Wine's wrapper of the same codec). An audio "PCM" that the
// category lacks (Wine's is empty) is our ACM converter.
HRESULT FindCompressorFilter(int kind, LPCWSTR name, IBaseFilter** out);

// Binds a compressor-category moniker: our own filters through our factory
// (COM does not know their class ids), any other through the moniker.
HRESULT BindCompressorMoniker(IMoniker* moniker, IBaseFilter** out);

// Registers our own compressors in their categories once per process (the
// program does it at start; finding one by name does it too).
HRESULT EnsureOwnCompressorsRegistered();
