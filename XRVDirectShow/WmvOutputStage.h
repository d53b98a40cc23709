#pragma once
// The Windows Media stage of the output file writer: puts the ASF writer
// filter in place of the AVI multiplexer, configured by the chosen profile.
#include <windows.h>
#include <tchar.h>   // before dshow.h, which brings in strsafe.h
#include <dshow.h>
#include <string>

// Which profile a Windows Media output uses (the caller's; not owned).
struct WmvProfileChoice {
    std::wstring name;           // profile name searched among ".prx" files
    BOOL indexMode = TRUE;       // the writer's SetIndexMode
    BOOL useOwnFolder = FALSE;   // search the writer's profile folder, not the default one
    WORD resourceId = 0;         // non-zero: a "PRX" resource of the program
    BOOL textGiven = FALSE;      // (no resource id) the profile is `text`
    std::wstring text;
};

// Creates the ASF writer (CLSID_WMAsfWriter), adds it to the graph as
// "Kestravon Avi Mux", configures it with the profile (a video stream of 0 x 0
// takes outputWidth x outputHeight), sets the index mode and the file name,
// and returns the filter and its video and audio input pins. *loadedWmvCore
// is set when this call loaded "wmvcore.dll" (the writer frees it when it
// goes). Returns the first failing HRESULT, after releasing what it took.
HRESULT AddWmvWriterStage(IGraphBuilder* graph, const WmvProfileChoice& choice, LPCWSTR profileFolder,
                          LONG outputWidth, LONG outputHeight, LPCWSTR outputPath, IBaseFilter** filter,
                          IPin** videoPin, IPin** audioPin, BOOL* loadedWmvCore);
