#pragma once
// Small file, path and number-text helpers shared by every subsystem:
// unique capture and render file names, deleting and moving files with a
// Retry/Cancel prompt, splitting paths, library versions, and the elapsed
// time, byte size and number texts shown to the user. Paths are ANSI strings
// of at most MAX_PATH characters.
#include "framework/String.h"

BOOL IsDirectory(LPCSTR path);
ULONGLONG GetFileSize64(LPCSTR path, ULONGLONG defaultSize);

// Creates a new, empty file (or, with makeFolder, a folder) named folder +
// prefix + a hexadecimal number + extension, and returns its full path.
BOOL CreateUniqueFile(LPCSTR folder, LPCSTR prefix, LPCSTR extension, char* path /* MAX_PATH */,
                      BOOL makeFolder);
BOOL CreateUniqueFileName(LPCSTR folder, LPCSTR prefix, LPCSTR extension, CString& path,
                          BOOL makeFolder);

// (major << 16) | minor of a library's DllGetVersion, 0 when unknown.
DWORD GetDllVersion(LPCSTR library);

// Delete / move with a Retry/Cancel prompt made from the message id and the
// path. A missing file counts as deleted; a missing source fails at once.
BOOL DeleteFileRetry(LPCSTR path, UINT messageId);
BOOL MoveFileReplace(LPCSTR from, LPCSTR to, UINT messageId);

// The prompt DeleteFileRetry and MoveFileReplace show (a Retry/Cancel message
// box); returns IDRETRY or IDCANCEL. Tests replace it; NULL restores the box.
typedef int (*FileRetryPrompt)(const CString& text);
void SetFileRetryPrompt(FileRetryPrompt prompt);

void SplitPath(LPCSTR path, CString* folder, CString* name);
CString GetParentFolder(LPCSTR path);
BOOL SplitFileExtension(LPCSTR path, CString* name, CString* extension);
CString GetFileNameFromPath(LPCSTR path);
BOOL GetPathRoot(CString& path);

CString FormatThousands(ULONGLONG value);
CString FormatByteSize(ULONGLONG size, BOOL withExactCount);
CString FormatElapsedTime(DWORD milliseconds, BOOL withFractions);
CString FormatReferenceTime(LONGLONG time100ns, BOOL withFractions);

void InitLocale();
