#include "settings/TimelineError.h"

#include <dbghelp.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <vector>

namespace {

volatile BYTE g_logEnabled = 0;
char g_logPath[MAX_PATH] = "";

// Symbol-handler calls are not thread-safe: reports from several threads take
// turns. The handler is set up once per process, not once per report.
CRITICAL_SECTION* SymbolLock()
{
    static CRITICAL_SECTION lock;
    static LONG state = 0;   // 0 new, 1 being made, 2 ready
    if (::InterlockedCompareExchange(&state, 1, 0) == 0) {
        ::InitializeCriticalSection(&lock);
        ::InterlockedExchange(&state, 2);
    }
    while (state != 2)
        ::Sleep(0);
    return &lock;
}

int g_symbolSetups = 0;
bool g_symbolsReady = false;
DWORD g_symbolError = 0;

bool SetUpSymbols()
{
    if (g_symbolsReady)
        return true;
    if (g_symbolError)
        return false;
    ++g_symbolSetups;
    if (!::SymInitialize(::GetCurrentProcess(), NULL, FALSE)) {
        g_symbolError = ::GetLastError();
        if (!g_symbolError)
            g_symbolError = (DWORD)-1;
        return false;
    }
    ::SymSetOptions(::SymGetOptions() & ~SYMOPT_UNDNAME);
    g_symbolsReady = true;
    return true;
}

// Loads a module's symbols on demand, for the walker's module-base calls.
DWORD64 CALLBACK ModuleBase(HANDLE process, DWORD64 address)
{
    IMAGEHLP_MODULE64 module;
    memset(&module, 0, sizeof(module));
    module.SizeOfStruct = sizeof(module);
    if (!::SymGetModuleInfo64(process, address, &module)) {
        MEMORY_BASIC_INFORMATION info;
        if (::VirtualQueryEx(process, (LPCVOID)(ULONG_PTR)address, &info, sizeof(info))) {
            char file[MAX_PATH] = {};
            if (::GetModuleFileNameA((HMODULE)info.AllocationBase, file, MAX_PATH))
                ::SymLoadModule64(process, NULL, file, NULL, (DWORD64)(ULONG_PTR)info.AllocationBase, 0);
        }
    }
    return ::SymGetModuleBase64(process, address);
}

typedef VOID(WINAPI* RtlCaptureContextFn)(PCONTEXT);

// The calling thread's registers; RtlCaptureContext where the system has it.
bool CaptureContext(CONTEXT& context)
{
    memset(&context, 0, sizeof(context));
    context.ContextFlags = CONTEXT_FULL;
    static RtlCaptureContextFn capture =
        (RtlCaptureContextFn)(void*)::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "RtlCaptureContext");
    if (capture) {
        capture(&context);
        return true;
    }
    return ::GetThreadContext(::GetCurrentThread(), &context) != 0;
}

CString ModuleText(HANDLE process, DWORD64 address)
{
    IMAGEHLP_MODULE64 module;
    memset(&module, 0, sizeof(module));
    module.SizeOfStruct = sizeof(module);
    if (!::SymGetModuleInfo64(process, address, &module))
        return "<no module>";
    CString text(module.ModuleName);
    return text.Left(258);
}

CString SymbolText(HANDLE process, DWORD64 address)
{
    BYTE buffer[sizeof(IMAGEHLP_SYMBOL64) + 256];
    memset(buffer, 0, sizeof(buffer));
    IMAGEHLP_SYMBOL64* symbol = reinterpret_cast<IMAGEHLP_SYMBOL64*>(buffer);
    symbol->SizeOfStruct = sizeof(IMAGEHLP_SYMBOL64);
    symbol->MaxNameLength = 255;
    DWORD64 displacement = 0;
    if (!::SymGetSymFromAddr64(process, address, &displacement, symbol))
        return "<no symbol>";
    char name[256] = {};
    if (!::UnDecorateSymbolName(symbol->Name, name, sizeof(name), UNDNAME_NO_MS_KEYWORDS | UNDNAME_NO_ACCESS_SPECIFIERS) &&
        !::SymUnDName64(symbol, name, sizeof(name)))
        lstrcpynA(name, symbol->Name, sizeof(name));
    return DescribeSymbol(name, (LONGLONG)displacement).Left(128);
}

CString FileNameOf(const char* path)
{
    CString text(path ? path : "");
    int slash = text.ReverseFind('\\');
    int forward = text.ReverseFind('/');
    if (forward > slash)
        slash = forward;
    return slash >= 0 ? text.Mid(slash + 1) : text;
}

// Appends text to the log file as it is (never as a format).
void AppendToLog(const char* text, size_t length)
{
    if (!g_logEnabled)
        return;
    const char* path = GetLogFilePath();
    if (!path)
        return;
    FILE* file = fopen(path, "a");
    if (!file)
        return;
    fwrite(text, 1, length, file);
    fclose(file);
}

}  // namespace

int IsSucceeded(HRESULT hr)
{
    return hr >= 0 ? 1 : 0;
}

int Identity(int value)
{
    return value;
}

int BoolToInt(BYTE value)
{
    return value;
}

CString DescribeSymbol(const char* name, LONGLONG displacement)
{
    CString text;
    if (displacement != 0)
        text.Format("%s + %d bytes", name, (int)displacement);
    else
        text = name;
    return text;
}

CString FormatStackFrame(const char* modulePath, const char* symbolText, const char* sourceFile, int line)
{
    CString symbol(symbolText ? symbolText : "");
    int plus = symbol.Find('+');
    if (plus >= 0)
        symbol = symbol.Left(plus);
    CString text = FileNameOf(modulePath) + ": " + symbol + "\n";
    if (sourceFile) {
        CString where;
        where.Format("   %s, Line: %d\n", FileNameOf(sourceFile).GetString(), line);
        text += where;
    }
    return text;
}

int GetSymbolHandlerSetups()
{
    return g_symbolSetups;
}

void DoDumpStack(CString& out, int print, int skip)
{
    CRITICAL_SECTION* lock = SymbolLock();
    ::EnterCriticalSection(lock);
    if (!SetUpSymbols()) {
        CString error;
        error.Format("DoDumpStack Error: IMAGEHLP.DLL wasn't found. GetLastError() returned 0x%8.8X\r\n",
                     (unsigned)g_symbolError);
        out += error;
        out += "\n";
        ::LeaveCriticalSection(lock);
        return;
    }
    HANDLE process = ::GetCurrentProcess();
    HANDLE thread = ::GetCurrentThread();
    std::vector<DWORD64> frames;
    CONTEXT context;
    if (CaptureContext(context)) {
        STACKFRAME64 frame;
        memset(&frame, 0, sizeof(frame));
#if defined(_M_X64) || defined(__x86_64__)
        const DWORD machine = IMAGE_FILE_MACHINE_AMD64;
        frame.AddrPC.Offset = context.Rip;
        frame.AddrStack.Offset = context.Rsp;
        frame.AddrFrame.Offset = context.Rbp;
#else
        const DWORD machine = IMAGE_FILE_MACHINE_I386;
        frame.AddrPC.Offset = context.Eip;
        frame.AddrStack.Offset = context.Esp;
        frame.AddrFrame.Offset = context.Ebp;
#endif
        frame.AddrPC.Mode = AddrModeFlat;
        frame.AddrStack.Mode = AddrModeFlat;
        frame.AddrFrame.Mode = AddrModeFlat;
        while (frames.size() < 1024 &&
               ::StackWalk64(machine, process, thread, &frame, &context, NULL, ::SymFunctionTableAccess64,
                             ModuleBase, NULL)) {
            if (frame.AddrPC.Offset == 0)
                break;
            frames.push_back(frame.AddrPC.Offset);
        }
    }
    int index = 0;
    for (DWORD64 address : frames) {
        if (index++ < skip)
            continue;
        if (index > skip + print)
            break;
        CString module = ModuleText(process, address);
        CString symbol = SymbolText(process, address);
        IMAGEHLP_LINE64 line;
        memset(&line, 0, sizeof(line));
        line.SizeOfStruct = sizeof(line);
        DWORD lineDisplacement = 0;
        bool hasLine = ::SymGetLineFromAddr64(process, address, &lineDisplacement, &line) && line.FileName;
        out += FormatStackFrame(module, symbol, hasLine ? line.FileName : NULL, hasLine ? (int)line.LineNumber : 0);
    }
    ::LeaveCriticalSection(lock);
}

namespace {
const int kMachineryFrames = 3;
}  // namespace

TimelineError::TimelineError(const char* sourceFile, int line, const char* expression)
    : m_expression(expression), m_sourceFile(sourceFile), m_line(line), m_message(NULL), m_arguments(NULL)
{
}

TimelineError::~TimelineError()
{
    m_arguments = NULL;
}

__attribute__((noinline)) void TimelineError::Report(const char* message, ...)
{
    va_list args;
    va_start(args, message);
    m_message = message;
    m_arguments = &args;
    CString text;
    if ((ULONG_PTR)message < 0x10000)
        text.LoadString((UINT)(ULONG_PTR)message);
    else
        text = message;
    CString report = BuildReport(text);
    m_arguments = NULL;
    va_end(args);
    if (OnReport(report))
        ::DebugBreak();
}

__attribute__((noinline)) CString TimelineError::BuildReport(const CString& message)
{
    CString report = message + "\n";
    CString location;
    location.Format("File:\t %s\n", m_sourceFile ? m_sourceFile : "");
    report += location;
    location.Format("Line:\t %d\n", m_line);
    report += location;
    report += "\n";
    CString stack;
    // The innermost frames are the reporting machinery itself (DoDumpStack,
    // BuildReport, Report): the trace starts at the code that reported.
    DoDumpStack(stack, 6, kMachineryFrames);
    CString section;
    section.Format("\t------ Stack Trace ------\n%s\n", stack.GetString());
    report += section;
    WriteLogEntry(report, m_expression);
    return report;
}

int TimelineError::OnReport(CString)
{
    return 0;
}

void SetLogEnabled(BOOL enabled)
{
    g_logEnabled = enabled ? 1 : 0;
}

BOOL IsLogEnabled()
{
    return g_logEnabled != 0;
}

void LogPrintf(const char* format, ...)
{
    if (!g_logEnabled || !format)
        return;
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int length = vsnprintf(NULL, 0, format, measure);
    va_end(measure);
    if (length >= 0) {
        char* buffer = static_cast<char*>(calloc((size_t)length + 1, 1));
        if (buffer) {
            vsnprintf(buffer, (size_t)length + 1, format, args);
            AppendToLog(buffer, (size_t)length);
            free(buffer);
        }
    }
    va_end(args);
}

void WriteLogEntry(const char* report, const char* title)
{
    if (!g_logEnabled)
        return;
    CString text = "\n************************************************\n";
    char stamp[128] = {};
    time_t now = time(NULL);
    struct tm* local = localtime(&now);
    if (!local || strftime(stamp, sizeof(stamp), "%c", local) == 0)
        stamp[0] = 0;
    text += stamp;
    if (title) {
        text += "\n";
        text += title;
    }
    text += "\n\n";
    text += report ? report : "";
    AppendToLog(text.GetString(), (size_t)text.GetLength());
}

BOOL CreateFolderPath(const char* path)
{
    if (!path || !*path)
        return FALSE;
    DWORD attributes = ::GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return TRUE;
    CString parent(path);
    if (parent[parent.GetLength() - 1] == '\\')
        parent.Truncate(parent.GetLength() - 1);
    int slash = parent.ReverseFind('\\');
    if (slash <= 0)
        return FALSE;
    parent = parent.Left(slash);
    if (!CreateFolderPath(parent))
        return FALSE;
    return ::CreateDirectoryA(path, NULL);
}

const char* GetLogFilePath()
{
    if (g_logPath[0])
        return g_logPath;
    char folder[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathA(NULL, folder, CSIDL_APPDATA, TRUE))
        return NULL;
    CString logFolder(folder);
    if (logFolder.IsEmpty())
        return NULL;
    if (logFolder[logFolder.GetLength() - 1] != '\\')
        logFolder += '\\';
    logFolder += "Kestravon\\Logs\\";
    if (!CreateFolderPath(logFolder))
        return NULL;
    char module[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameA(NULL, module, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return NULL;
    CString name = FileNameOf(module);
    int dot = name.ReverseFind('.');
    if (dot >= 0)
        name = name.Left(dot);
    CString path = logFolder + name + ".log";
    if (path.GetLength() >= MAX_PATH)
        return NULL;
    lstrcpynA(g_logPath, path, MAX_PATH);
    return g_logPath;
}
