#pragma once
// The error report of the DirectShow code and the crash log. A failed COM
// call builds a TimelineError at its check site and reports a message; the
// report carries the message, the source location and a short stack trace
// of the reporting thread, is appended to the program's log file (only while
// the log switch is on) and handed to OnReport. Any thread may report.
#include "framework/AfxPlatform.h"
#include "framework/String.h"

class TimelineError {
public:
    TimelineError(const char* sourceFile, int line, const char* expression);
    virtual ~TimelineError();

    // The message is a text, or a string-table id below 0x10000 given as a
    // pointer (MAKEINTRESOURCE). Further arguments are kept, not applied.
    void Report(const char* message, ...);
    // The report text: message, location, empty line, stack section.
    CString BuildReport(const CString& message);
    // Receives each report; a non-zero result breaks into the debugger.
    virtual int OnReport(CString report);

    const char* m_expression;
    const char* m_sourceFile;
    int m_line;
    const char* m_message;
    const void* m_arguments;
};

// 1 for a success code (zero or positive), 0 for a failure.
int IsSucceeded(HRESULT hr);
int Identity(int value);
int BoolToInt(BYTE value);

// Appends a stack trace of the calling thread: after skipping the innermost
// skip frames, up to print frames, one "module: symbol" line each, with
// "   file, Line: n" below when the source line is known.
void DoDumpStack(CString& out, int print, int skip);
// How often the symbol handler was set up in this process (once at most).
int GetSymbolHandlerSetups();

// The log switch: off at start; nothing is written to the log while it is off.
void SetLogEnabled(BOOL enabled);
BOOL IsLogEnabled();
// Appends one formatted text to the log file while logging is on.
void LogPrintf(const char* format, ...);
// Appends one entry: a banner line of asterisks, the local time, the title
// (when given) and the report text, written as data.
void WriteLogEntry(const char* report, const char* title);
// <application data>\Kestravon\Logs\<program>.log (the folder made when
// missing), or NULL when it cannot be had.
const char* GetLogFilePath();
// TRUE when the folder exists or was made, parents first.
BOOL CreateFolderPath(const char* path);

// The frame printer's pieces, exposed for tests: the text of a symbol at a
// displacement, and one printed frame.
CString DescribeSymbol(const char* name, LONGLONG displacement);
CString FormatStackFrame(const char* modulePath, const char* symbolText, const char* sourceFile, int line);
