// The one place where the Windows headers are included and configured.
// The build defines _WIN32_WINNT=0x0500, WINVER=0x0500, NOMINMAX and STRICT, so
// that an API newer than Windows 2000 fails to compile; the program is ANSI
// (no UNICODE), and its 8-bit text is in the ANSI code page (936 for Chinese).
#pragma once

#ifdef UNICODE
#error "The framework is built for the ANSI (8-bit) character set; do not define UNICODE."
#endif

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0500
#endif
#ifndef WINVER
#define WINVER 0x0500
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef STRICT
#define STRICT
#endif

#include <windows.h>
#include <ole2.h>
#include <objbase.h>
#include <oleauto.h>
#include <tchar.h>

#include <stddef.h>
#include <string.h>
#include <stdarg.h>

// ---------------------------------------------------------------------------
// Calling-convention and linkage words used by the framework's declarations.
#ifndef AFXAPI
#define AFXAPI __stdcall
#endif
#ifndef AFX_CDECL
#define AFX_CDECL __cdecl
#endif
#ifndef AFX_STATIC
#define AFX_STATIC static
#endif
#ifndef AFX_INLINE
#define AFX_INLINE inline
#endif
#ifndef AFX_DATA
#define AFX_DATA
#endif

// Debug aids. The framework checks its arguments with exceptions where the input
// can come from outside (files, registry); ASSERT is for programming errors.
#ifndef ASSERT
#ifdef _DEBUG
#include <assert.h>
#define ASSERT(f) assert(f)
#else
#define ASSERT(f) ((void)0)
#endif
#endif
#ifndef VERIFY
#ifdef _DEBUG
#define VERIFY(f) ASSERT(f)
#else
#define VERIFY(f) ((void)(f))
#endif
#endif
#ifndef ASSERT_VALID
#define ASSERT_VALID(p) ((void)0)
#endif
#ifndef TRACE
#define TRACE(...) ((void)0)
#endif
#ifndef UNUSED_ALWAYS
#define UNUSED_ALWAYS(x) ((void)(x))
#endif

// ---------------------------------------------------------------------------
// Compat: gaps in the mingw-w64 10 headers.
#ifndef _countof
#define _countof(a) (sizeof(a) / sizeof((a)[0]))              // absent outside MSVC's stdlib.h in some modes
#endif
#ifndef INVALID_FILE_ATTRIBUTES
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)                    // only defined for _WIN32_WINNT >= 0x0501 in old headers
#endif
#ifndef INVALID_SET_FILE_POINTER
#define INVALID_SET_FILE_POINTER ((DWORD)-1)                   // same, guarded by a newer WINVER
#endif
