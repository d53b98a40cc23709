// The Windows Media and SWF stages of the file writer, behind a table that
// starts as the program's own (kProgramOutputStages) and that tests may
// replace; without stages, output types 4 and 8 fail with a clear report
// instead of writing an AVI by mistake.
#pragma once
#include <windows.h>
#include <tchar.h>
#include <dshow.h>

class XRVDSFileWriter;

struct OutputStageFunctions {
    // Adds the stage's writer filter to the graph for `path` and returns it
    // with its video and audio inputs (either may be null).
    HRESULT (*addWmvWriter)(XRVDSFileWriter* writer, IGraphBuilder* graph, LPCWSTR path, IBaseFilter** filter,
                            IPin** videoIn, IPin** audioIn);
    HRESULT (*addSwfWriter)(XRVDSFileWriter* writer, IGraphBuilder* graph, LPCWSTR path, IBaseFilter** filter,
                            IPin** videoIn, IPin** audioIn);
    // Writes title, author, copyright and description into the Windows
    // Media writer named "Kestravon Avi Mux" in the graph.
    HRESULT (*writeWmvMetadata)(XRVDSFileWriter* writer, IGraphBuilder* graph);
};

extern const OutputStageFunctions kProgramOutputStages;

// Registers the stages (null removes them); returns the previous set.
const OutputStageFunctions* RegisterOutputStages(const OutputStageFunctions* stages);
const OutputStageFunctions* GetOutputStages();
