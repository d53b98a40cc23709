#pragma once
// Which DirectX release is installed, as a number (major << 16 | minor << 8 |
// letter, the letter 1 for "a" up to 26 for "z", 0 for none) and as text
// ("9.0", "8.1b"): from the DirectX diagnostic provider, or else inferred from
// the file versions of the DirectX system files.
#include "framework/AfxPlatform.h"

// S_OK when a version was found, E_FAIL when neither source gave one. Either
// output may be NULL; they are cleared first. The text is cut to the buffer.
HRESULT GetDirectXVersion(DWORD* version, char* text, int textSize);
HRESULT GetDirectXVersionViaDxDiag(DWORD* major, DWORD* minor, char* letter);
HRESULT GetDirectXVersionViaFileVersions(DWORD* major, DWORD* minor, char* letter);

// The two version words of a file (VS_FIXEDFILEINFO.dwFileVersionMS and LS).
struct FileVersionWords {
    DWORD ms;
    DWORD ls;
};
// S_OK; E_INVALIDARG for a NULL argument; E_OUTOFMEMORY; E_FAIL when the file
// has no version resource.
HRESULT GetFileVersionWords(const char* path, FileVersionWords* version);
// 1, 0 or -1, most significant word first, each compared unsigned.
int CompareFileVersions(const FileVersionWords& a, const FileVersionWords& b);

// The file rules over a source of file versions (file name in the system
// folder -> version); S_OK when reading them was possible. Exposed for tests.
typedef HRESULT (*FileVersionSource)(const char* fileName, FileVersionWords* version, void* context);
HRESULT InferDirectXVersion(FileVersionSource source, void* context, DWORD* major, DWORD* minor, char* letter);
// The number and text of a version; the letter is lower-cased, blank or 0 for none.
void MakeDirectXVersion(DWORD major, DWORD minor, char letter, DWORD* version, char* text, int textSize);
