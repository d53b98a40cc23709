#pragma once
// Path, folder and file services of the recorder, the recording package code
// and the editor: trailing backslashes and extensions, folder creation and
// writability, the output-folder question, free disk space and folder size,
// and whether a name denotes an existing recording file (or an element inside
// a recording package). Paths are ANSI strings of at most MAX_PATH characters.
#include "framework/AfxPlatform.h"
#include "framework/String.h"

// Appends "\" when the path does not end with one; TRUE when the result is
// shorter than MAX_PATH.
BOOL AddTrailingBackslash(CString& path);
// Removes one final "\"; TRUE when the result is shorter than MAX_PATH.
BOOL RemoveTrailingBackslash(CString& path);
// path + "\" + part (leading backslashes of the part dropped); TRUE when the
// result is shorter than MAX_PATH.
BOOL AppendPathPart(CString& path, LPCTSTR part);
// The path with the name's extension replaced (or ".ext" appended when the
// name has none); the extension is given without its dot.
CString ReplaceExtension(const CString& path, LPCTSTR extension);

// TRUE when the folder exists or was made, parents first.
BOOL CreateFolderTree(CString path);
// TRUE when a test file can be created and deleted in the folder. With
// fallBackToTemp, a folder that fails is replaced by the system temporary
// folder, which is then tested.
BOOL IsFolderWritable(CString& folder, BOOL fallBackToTemp);
// TRUE when the folder exists or has been created: silently, or after asking
// the user (string 10432; string 10433 when the creation fails).
BOOL CheckOutputFolder(CString folder, HWND parent, BOOL createSilently);

// Bytes of the drive holding the path: free to the caller, or (with used)
// used, or (with totalFree) free in all. 0 when unknown.
ULONGLONG GetDiskSpace(LPCTSTR path, BOOL used, BOOL totalFree);
// Sum of the file sizes in the folder (and, with recurse, its sub-folders);
// a file gives its own size.
ULONGLONG GetFolderSize(LPCTSTR path, BOOL recurse);

// TRUE when the file exists; a name of the form [xrvrec://]package.skorec!element
// names an element inside a recording package.
BOOL IsRecordingFile(LPCTSTR path);
