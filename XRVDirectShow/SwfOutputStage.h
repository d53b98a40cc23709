#pragma once
// The SWF stage of the output file writer: puts our SWF writer filter in
// place of the AVI multiplexer and hands it the movie's settings.
#include <windows.h>
#include <tchar.h>   // before dshow.h, which brings in strsafe.h
#include <dshow.h>
#include <string>

// What the writer knows of the movie when it builds the SWF stage.
struct SwfStageValues {
    // Handed on to the filter's first settings operation as they are.
    const void* swfOptions = nullptr;
    const void* recordSettings = nullptr;
    std::wstring text1;
    std::wstring text2;
    const void* namePairs = nullptr;
    const void* clips = nullptr;
    const void* clipInfo = nullptr;
    const void* mediaFileNames = nullptr;
    // The timeline's stored range; an empty one means its whole duration.
    LONGLONG rangeStart = 0;
    LONGLONG rangeStop = 0;
    LONGLONG duration = 0;
    // The settings' frame rate (numerator / denominator, 0.0 when none)
    // and the largest source rate, used when the settings give none.
    double settingsRate = 0.0;
    double maxSourceRate = 0.0;
    // The settings' own colour depth hint and the sources' largest.
    LONG settingsDepth = 0;
    LONG maxSourceDepth = 0;
    // The output size.
    LONG width = 0;
    LONG height = 0;
    // Three fields of the SWF options: key-frame spacing, smoothing flag and
    // background colour, passed to operations 11, 12 and 10.
    DWORD keyFrameEvery = 80;
    DWORD smoothing = 0;
    DWORD background = 0xFFFFFF;
};

// Creates the SWF writer (its class id, through the factory), adds it as
// "Kestravon SWF Writer", passes the values through its settings interface
// (operations 1, 14, 3, 11, 12, 10, in that order; the rate rounded to a
// whole number), names the file and returns the filter and its input pins 0
// (video) and 1 (audio). Returns the first failing HRESULT, after taking
// the filter out of the graph again.
HRESULT AddSwfWriterStage(IGraphBuilder* graph, const SwfStageValues& values, LPCWSTR outputPath,
                          IBaseFilter** filter, IPin** videoPin, IPin** audioPin);
