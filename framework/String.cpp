#include "framework/String.h"
#include "framework/Exceptions.h"
#include "framework/Module.h"

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <limits.h>

namespace {

char g_emptyA[1] = { 0 };
wchar_t g_emptyW[1] = { 0 };

template <typename X> X* EmptyBuffer();
template <> char* EmptyBuffer<char>() { g_emptyA[0] = 0; return g_emptyA; }
template <> wchar_t* EmptyBuffer<wchar_t>() { g_emptyW[0] = 0; return g_emptyW; }

inline int Len(const char* p) { return p ? (int)strlen(p) : 0; }
inline int Len(const wchar_t* p) { return p ? (int)wcslen(p) : 0; }

// Size in code units of the character at p: a lead byte followed by a
// non-zero byte makes one double-byte character in the ANSI code page.
inline int CharLen(const char* p, const char* end)
{
    return (p + 1 < end && ::IsDBCSLeadByte((BYTE)p[0]) && p[1] != 0) ? 2 : 1;
}
inline int CharLen(const wchar_t*, const wchar_t*) { return 1; }

inline bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool IsSpace(wchar_t c) { return iswspace(c) != 0; }

inline int FoldAscii(int c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// Converts between the two character types through the ANSI code page.
// Returns the number of code units written (or needed when out is NULL).
int Convert(const wchar_t* in, int n, char* out, int outSize)
{
    if (n == 0)
        return 0;
    return ::WideCharToMultiByte(CP_ACP, 0, in, n, out, outSize, NULL, NULL);
}
int Convert(const char* in, int n, wchar_t* out, int outSize)
{
    if (n == 0)
        return 0;
    return ::MultiByteToWideChar(CP_ACP, 0, in, n, out, outSize);
}

// The Microsoft C runtime's formatter: %s is the own character type, %S the
// other, %I64 is 64-bit (the MFC conventions). Returns -1 when out is too small.
int FormatInto(char* out, size_t size, const char* fmt, va_list args)
{
    return _vsnprintf(out, size, fmt, args);
}
int FormatInto(wchar_t* out, size_t size, const wchar_t* fmt, va_list args)
{
    return _vsnwprintf(out, size, fmt, args);
}

DWORD FormatMessageInto(const char* fmt, const DWORD_PTR* inserts, char** out)
{
    return ::FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY |
                                FORMAT_MESSAGE_ALLOCATE_BUFFER,
                            fmt, 0, 0, reinterpret_cast<LPSTR>(out), 0,
                            reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(inserts)));
}
DWORD FormatMessageInto(const wchar_t* fmt, const DWORD_PTR* inserts, wchar_t** out)
{
    return ::FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY |
                                FORMAT_MESSAGE_ALLOCATE_BUFFER,
                            fmt, 0, 0, reinterpret_cast<LPWSTR>(out), 0,
                            reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(inserts)));
}

// The string table stores UTF-16 text in blocks of 16; LoadStringW with a zero
// buffer size returns a pointer to the resource text and its exact length.
bool LoadResourceText(HINSTANCE hInst, UINT nID, const wchar_t** text, int* length)
{
    const wchar_t* p = NULL;
    int n = ::LoadStringW(hInst, nID, reinterpret_cast<LPWSTR>(&p), 0);
    if (n <= 0 || p == NULL)
        return false;
    *text = p;
    *length = n;
    return true;
}

}  // namespace

// --- Construction -----------------------------------------------------------

template <typename X> CStringT<X>::CStringT() : m_pszData(EmptyBuffer<X>()), m_nLength(0), m_nAlloc(0) {}

template <typename X> CStringT<X>::CStringT(const CStringT& src) : CStringT()
{
    Assign(src.m_pszData, src.m_nLength);
}

template <typename X>
CStringT<X>::CStringT(CStringT&& src) noexcept : m_pszData(src.m_pszData), m_nLength(src.m_nLength), m_nAlloc(src.m_nAlloc)
{
    src.m_pszData = EmptyBuffer<X>();
    src.m_nLength = 0;
    src.m_nAlloc = 0;
}

template <typename X> CStringT<X>::CStringT(PCXSTR psz) : CStringT()
{
    *this = psz;
}

template <typename X> CStringT<X>::CStringT(PCXSTR pch, int nLength) : CStringT()
{
    if (nLength < 0)
        AfxThrowInvalidArgException();
    Assign(pch, pch ? nLength : 0);
}

template <typename X> CStringT<X>::CStringT(PCYSTR psz) : CStringT()
{
    *this = psz;
}

template <typename X> CStringT<X>::CStringT(PCYSTR pch, int nLength) : CStringT()
{
    if (nLength < 0)
        AfxThrowInvalidArgException();
    AssignOther(pch, pch ? nLength : 0);
}

template <typename X> CStringT<X>::CStringT(const CStringT<YCHAR>& src) : CStringT()
{
    AssignOther(src.GetString(), src.GetLength());
}

template <typename X> CStringT<X>::CStringT(X ch, int nRepeat) : CStringT()
{
    if (nRepeat > 0) {
        Reserve(nRepeat);
        for (int i = 0; i < nRepeat; i++)
            m_pszData[i] = ch;
        SetLength(nRepeat);
    }
}

template <typename X> CStringT<X>::CStringT(const unsigned char* psz) : CStringT()
{
    *this = psz;
}

template <typename X> CStringT<X>::~CStringT()
{
    if (m_nAlloc)
        free(m_pszData);
}

template <typename X> CStringT<X>& CStringT<X>::operator=(const CStringT& src)
{
    if (this != &src)
        Assign(src.m_pszData, src.m_nLength);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::operator=(CStringT&& src) noexcept
{
    if (this != &src) {
        if (m_nAlloc)
            free(m_pszData);
        m_pszData = src.m_pszData;
        m_nLength = src.m_nLength;
        m_nAlloc = src.m_nAlloc;
        src.m_pszData = EmptyBuffer<X>();
        src.m_nLength = 0;
        src.m_nAlloc = 0;
    }
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::operator=(PCXSTR psz)
{
    // MFC idiom: CString((LPCTSTR)IDS_TEXT) loads a string resource.
    if (psz != NULL && IS_INTRESOURCE(psz)) {
        Empty();
        LoadString((UINT)(UINT_PTR)psz);
        return *this;
    }
    Assign(psz, Len(psz));
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::operator=(PCYSTR psz)
{
    AssignOther(psz, Len(psz));
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::operator=(const CStringT<YCHAR>& src)
{
    AssignOther(src.GetString(), src.GetLength());
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::operator=(X ch)
{
    Assign(&ch, 1);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::operator=(const unsigned char* psz)
{
    return *this = CStringT(reinterpret_cast<const char*>(psz));
}

// --- Storage --------------------------------------------------------------------

template <typename X> void CStringT<X>::Reserve(int nLength)
{
    if (nLength < 0)
        AfxThrowInvalidArgException();
    if (nLength <= m_nAlloc)
        return;
    int nAlloc = nLength;
    // Grow geometrically so repeated appends stay linear.
    if (m_nAlloc > 0 && nAlloc < m_nAlloc + m_nAlloc / 2 && m_nAlloc < INT_MAX / 3)
        nAlloc = m_nAlloc + m_nAlloc / 2;
    if ((size_t)nAlloc + 1 > ((size_t)-1) / sizeof(X))
        AfxThrowMemoryException();
    X* p;
    if (m_nAlloc) {
        p = static_cast<X*>(realloc(m_pszData, ((size_t)nAlloc + 1) * sizeof(X)));
    } else {
        p = static_cast<X*>(malloc(((size_t)nAlloc + 1) * sizeof(X)));
        if (p) {
            memcpy(p, m_pszData, (size_t)m_nLength * sizeof(X));
            p[m_nLength] = 0;
        }
    }
    if (!p)
        AfxThrowMemoryException();
    m_pszData = p;
    m_nAlloc = nAlloc;
}

template <typename X> void CStringT<X>::SetLength(int nLength)
{
    m_nLength = nLength;
    m_pszData[nLength] = 0;
}

template <typename X> void CStringT<X>::Assign(PCXSTR pch, int nLength)
{
    if (nLength == 0) {
        Empty();
        return;
    }
    // pch may point into our own buffer (s = s.Mid(...)): copy through a temporary then.
    if (m_nAlloc && pch >= m_pszData && pch <= m_pszData + m_nAlloc) {
        CStringT tmp(pch, nLength);
        *this = static_cast<CStringT&&>(tmp);
        return;
    }
    Reserve(nLength);
    memcpy(m_pszData, pch, (size_t)nLength * sizeof(X));
    SetLength(nLength);
}

template <typename X> void CStringT<X>::AssignOther(PCYSTR pch, int nLength)
{
    if (nLength == 0) {
        Empty();
        return;
    }
    int n = Convert(pch, nLength, NULL, 0);
    if (n <= 0) {
        Empty();
        return;
    }
    Reserve(n);
    n = Convert(pch, nLength, m_pszData, n);
    SetLength(n > 0 ? n : 0);
}

template <typename X> void CStringT<X>::Empty()
{
    if (m_nAlloc)
        free(m_pszData);
    m_pszData = EmptyBuffer<X>();
    m_nLength = 0;
    m_nAlloc = 0;
}

template <typename X> X CStringT<X>::GetAt(int nIndex) const
{
    if (nIndex < 0 || nIndex > m_nLength)
        AfxThrowInvalidArgException();
    return m_pszData[nIndex];
}

template <typename X> void CStringT<X>::SetAt(int nIndex, X ch)
{
    if (nIndex < 0 || nIndex >= m_nLength)
        AfxThrowInvalidArgException();
    m_pszData[nIndex] = ch;
}

template <typename X> void CStringT<X>::Append(PCXSTR psz)
{
    Append(psz, Len(psz));
}

template <typename X> void CStringT<X>::Append(PCXSTR pch, int nLength)
{
    if (nLength <= 0 || pch == NULL)
        return;
    if (nLength > INT_MAX - m_nLength)
        AfxThrowMemoryException();
    if (m_nAlloc && pch >= m_pszData && pch <= m_pszData + m_nAlloc) {
        CStringT tmp(pch, nLength);
        Append(tmp.m_pszData, tmp.m_nLength);
        return;
    }
    Reserve(m_nLength + nLength);
    memcpy(m_pszData + m_nLength, pch, (size_t)nLength * sizeof(X));
    SetLength(m_nLength + nLength);
}

// --- Comparison -------------------------------------------------------------------

template <typename X> int CStringT<X>::Compare(PCXSTR psz) const
{
    if (!psz)
        psz = EmptyBuffer<X>();
    const X* a = m_pszData;
    const X* b = psz;
    typedef typename std::make_unsigned<X>::type U;
    while (*a && *a == *b) {
        a++;
        b++;
    }
    U ca = (U)*a, cb = (U)*b;
    return ca < cb ? -1 : (ca > cb ? 1 : 0);
}

template <typename X> int CStringT<X>::CompareNoCase(PCXSTR psz) const
{
    if (!psz)
        psz = EmptyBuffer<X>();
    typedef typename std::make_unsigned<X>::type U;
    const X* a = m_pszData;
    const X* b = psz;
    const X* aEnd = a + m_nLength;
    const X* bEnd = b + Len(b);
    // Each character compares by its code: a folded single unit, or lead and
    // trail byte together, so trail bytes are never case-folded.
    for (;;) {
        unsigned ca = 0, cb = 0;
        int na = 0, nb = 0;
        if (*a) {
            na = CharLen(a, aEnd);
            ca = na == 2 ? ((unsigned)(U)a[0] << 8 | (U)a[1]) : (unsigned)FoldAscii((U)a[0]);
        }
        if (*b) {
            nb = CharLen(b, bEnd);
            cb = nb == 2 ? ((unsigned)(U)b[0] << 8 | (U)b[1]) : (unsigned)FoldAscii((U)b[0]);
        }
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
        a += na;
        b += nb;
    }
}

namespace {
int CollateImpl(const char* a, const char* b, DWORD flags)
{
    return ::CompareStringA(LOCALE_USER_DEFAULT, flags, a, -1, b ? b : "", -1) - CSTR_EQUAL;
}
int CollateImpl(const wchar_t* a, const wchar_t* b, DWORD flags)
{
    return ::CompareStringW(LOCALE_USER_DEFAULT, flags, a, -1, b ? b : L"", -1) - CSTR_EQUAL;
}
}  // namespace

template <typename X> int CStringT<X>::Collate(PCXSTR psz) const
{
    return CollateImpl(m_pszData, psz, 0);
}

template <typename X> int CStringT<X>::CollateNoCase(PCXSTR psz) const
{
    return CollateImpl(m_pszData, psz, NORM_IGNORECASE);
}

// --- Extraction ---------------------------------------------------------------------

template <typename X> CStringT<X> CStringT<X>::Mid(int iFirst, int nCount) const
{
    if (iFirst < 0)
        iFirst = 0;
    if (nCount < 0)
        nCount = 0;
    if (iFirst > m_nLength)
        iFirst = m_nLength;
    if (nCount > m_nLength - iFirst)
        nCount = m_nLength - iFirst;
    return CStringT(m_pszData + iFirst, nCount);
}

template <typename X> CStringT<X> CStringT<X>::Left(int nCount) const
{
    return Mid(0, nCount);
}

template <typename X> CStringT<X> CStringT<X>::Right(int nCount) const
{
    if (nCount < 0)
        nCount = 0;
    if (nCount > m_nLength)
        nCount = m_nLength;
    return CStringT(m_pszData + m_nLength - nCount, nCount);
}

template <typename X> int CStringT<X>::CharSize(int iIndex) const
{
    return CharLen(m_pszData + iIndex, m_pszData + m_nLength);
}

// True when the character of nSize units at iIndex occurs (as a whole
// character) in pszSet.
template <typename X> bool CStringT<X>::InSet(int iIndex, int nSize, PCXSTR pszSet) const
{
    if (!pszSet)
        return false;
    const X* end = pszSet + Len(pszSet);
    for (const X* p = pszSet; *p; ) {
        int n = CharLen(p, end);
        if (n == nSize && memcmp(p, m_pszData + iIndex, n * sizeof(X)) == 0)
            return true;
        p += n;
    }
    return false;
}

template <typename X> CStringT<X> CStringT<X>::SpanIncluding(PCXSTR pszCharSet) const
{
    int i = 0;
    while (i < m_nLength) {
        int n = CharSize(i);
        if (!InSet(i, n, pszCharSet))
            break;
        i += n;
    }
    return Left(i);
}

template <typename X> CStringT<X> CStringT<X>::SpanExcluding(PCXSTR pszCharSet) const
{
    int i = 0;
    while (i < m_nLength) {
        int n = CharSize(i);
        if (InSet(i, n, pszCharSet))
            break;
        i += n;
    }
    return Left(i);
}

// Tokenize skips leading delimiters, returns the text up to the next
// delimiter and moves iStart past it; at the end it returns an empty string
// and sets iStart to -1.
template <typename X> CStringT<X> CStringT<X>::Tokenize(PCXSTR pszTokens, int& iStart) const
{
    if (iStart < 0 || iStart >= m_nLength) {
        iStart = -1;
        return CStringT();
    }
    int i = iStart;
    if (pszTokens == NULL || *pszTokens == 0) {
        iStart = m_nLength;
        return Mid(i);
    }
    while (i < m_nLength) {
        int n = CharSize(i);
        if (!InSet(i, n, pszTokens))
            break;
        i += n;
    }
    if (i >= m_nLength) {
        iStart = -1;
        return CStringT();
    }
    int first = i;
    while (i < m_nLength) {
        int n = CharSize(i);
        if (InSet(i, n, pszTokens))
            break;
        i += n;
    }
    iStart = i < m_nLength ? i + CharSize(i) : i;
    return Mid(first, i - first);
}

// --- Searching ------------------------------------------------------------------------

template <typename X> int CStringT<X>::Find(X ch, int iStart) const
{
    if (iStart < 0 || iStart >= m_nLength)
        return -1;
    for (int i = 0; i < m_nLength; ) {
        int n = CharSize(i);
        if (i >= iStart && n == 1 && m_pszData[i] == ch)
            return i;
        i += n;
    }
    return -1;
}

template <typename X> int CStringT<X>::Find(PCXSTR pszSub, int iStart) const
{
    if (iStart < 0 || iStart > m_nLength || pszSub == NULL)
        return -1;
    int nSub = Len(pszSub);
    if (nSub == 0)
        return iStart;
    for (int i = 0; i + nSub <= m_nLength; i += CharSize(i)) {
        if (i >= iStart && memcmp(m_pszData + i, pszSub, (size_t)nSub * sizeof(X)) == 0)
            return i;
    }
    return -1;
}

template <typename X> int CStringT<X>::ReverseFind(X ch) const
{
    int found = -1;
    for (int i = 0; i < m_nLength; ) {
        int n = CharSize(i);
        if (n == 1 && m_pszData[i] == ch)
            found = i;
        i += n;
    }
    return found;
}

template <typename X> int CStringT<X>::FindOneOf(PCXSTR pszCharSet) const
{
    for (int i = 0; i < m_nLength; ) {
        int n = CharSize(i);
        if (InSet(i, n, pszCharSet))
            return i;
        i += n;
    }
    return -1;
}

// --- Changing ----------------------------------------------------------------------------

template <typename X> int CStringT<X>::Replace(X chOld, X chNew)
{
    int count = 0;
    for (int i = 0; i < m_nLength; ) {
        int n = CharSize(i);
        if (n == 1 && m_pszData[i] == chOld) {
            m_pszData[i] = chNew;
            count++;
        }
        i += n;
    }
    return count;
}

template <typename X> int CStringT<X>::Replace(PCXSTR pszOld, PCXSTR pszNew)
{
    int nOld = Len(pszOld);
    if (nOld == 0)
        return 0;
    int nNew = Len(pszNew);
    CStringT result;
    int count = 0;
    int copied = 0;
    for (int i = 0; i + nOld <= m_nLength; ) {
        if (memcmp(m_pszData + i, pszOld, (size_t)nOld * sizeof(X)) == 0) {
            result.Append(m_pszData + copied, i - copied);
            result.Append(pszNew, nNew);
            i += nOld;
            copied = i;
            count++;
        } else {
            i += CharSize(i);
        }
    }
    if (count) {
        result.Append(m_pszData + copied, m_nLength - copied);
        *this = static_cast<CStringT&&>(result);
    }
    return count;
}

template <typename X> int CStringT<X>::Remove(X ch)
{
    int out = 0;
    for (int i = 0; i < m_nLength; ) {
        int n = CharSize(i);
        if (!(n == 1 && m_pszData[i] == ch)) {
            for (int k = 0; k < n; k++)
                m_pszData[out + k] = m_pszData[i + k];
            out += n;
        }
        i += n;
    }
    int removed = m_nLength - out;
    if (removed)
        SetLength(out);
    return removed;
}

template <typename X> int CStringT<X>::Insert(int iIndex, X ch)
{
    return Insert(iIndex, CStringT(ch).m_pszData);
}

template <typename X> int CStringT<X>::Insert(int iIndex, PCXSTR psz)
{
    if (iIndex < 0)
        iIndex = 0;
    if (iIndex > m_nLength)
        iIndex = m_nLength;
    int n = Len(psz);
    if (n > 0) {
        CStringT ins(psz, n);                   // psz may point into this string
        Reserve(m_nLength + n);
        memmove(m_pszData + iIndex + n, m_pszData + iIndex, (size_t)(m_nLength - iIndex) * sizeof(X));
        memcpy(m_pszData + iIndex, ins.m_pszData, (size_t)n * sizeof(X));
        SetLength(m_nLength + n);
    }
    return m_nLength;
}

template <typename X> int CStringT<X>::Delete(int iIndex, int nCount)
{
    if (iIndex < 0)
        iIndex = 0;
    if (nCount > 0 && iIndex < m_nLength) {
        if (nCount > m_nLength - iIndex)
            nCount = m_nLength - iIndex;
        memmove(m_pszData + iIndex, m_pszData + iIndex + nCount,
                (size_t)(m_nLength - iIndex - nCount) * sizeof(X));
        SetLength(m_nLength - nCount);
    }
    return m_nLength;
}

template <typename X> CStringT<X>& CStringT<X>::TrimLeft()
{
    int i = 0;
    while (i < m_nLength && IsSpace(m_pszData[i]))
        i++;
    Delete(0, i);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::TrimLeft(X chTarget)
{
    X set[2] = { chTarget, 0 };
    return TrimLeft(set);
}

template <typename X> CStringT<X>& CStringT<X>::TrimLeft(PCXSTR pszTargets)
{
    if (!pszTargets || !*pszTargets)
        return *this;
    int i = 0;
    while (i < m_nLength) {
        int n = CharSize(i);
        if (!InSet(i, n, pszTargets))
            break;
        i += n;
    }
    Delete(0, i);
    return *this;
}

// Trailing runs are found walking forward, so a trail byte at the end is never
// mistaken for a single-byte character.
template <typename X> CStringT<X>& CStringT<X>::TrimRight()
{
    int keep = 0;
    for (int i = 0; i < m_nLength; ) {
        int n = CharSize(i);
        if (!(n == 1 && IsSpace(m_pszData[i])))
            keep = i + n;
        i += n;
    }
    if (keep < m_nLength)
        SetLength(keep);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::TrimRight(X chTarget)
{
    X set[2] = { chTarget, 0 };
    return TrimRight(set);
}

template <typename X> CStringT<X>& CStringT<X>::TrimRight(PCXSTR pszTargets)
{
    if (!pszTargets || !*pszTargets)
        return *this;
    int keep = 0;
    for (int i = 0; i < m_nLength; ) {
        int n = CharSize(i);
        if (!InSet(i, n, pszTargets))
            keep = i + n;
        i += n;
    }
    if (keep < m_nLength)
        SetLength(keep);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::Trim()
{
    return TrimRight().TrimLeft();
}

template <typename X> CStringT<X>& CStringT<X>::Trim(X chTarget)
{
    return TrimRight(chTarget).TrimLeft(chTarget);
}

template <typename X> CStringT<X>& CStringT<X>::Trim(PCXSTR pszTargets)
{
    return TrimRight(pszTargets).TrimLeft(pszTargets);
}

namespace {
// CharUpperBuff/CharLowerBuff know the code page's double-byte characters.
void CaseBuffer(char* p, int n, bool upper)
{
    if (n > 0)
        upper ? ::CharUpperBuffA(p, n) : ::CharLowerBuffA(p, n);
}
void CaseBuffer(wchar_t* p, int n, bool upper)
{
    if (n > 0)
        upper ? ::CharUpperBuffW(p, n) : ::CharLowerBuffW(p, n);
}
}  // namespace

template <typename X> CStringT<X>& CStringT<X>::MakeLower()
{
    CaseBuffer(m_pszData, m_nLength, false);
    return *this;
}

template <typename X> CStringT<X>& CStringT<X>::MakeUpper()
{
    CaseBuffer(m_pszData, m_nLength, true);
    return *this;
}

// Reverses the order of characters; a double-byte character keeps its byte order.
template <typename X> CStringT<X>& CStringT<X>::MakeReverse()
{
    if (m_nLength < 2)
        return *this;
    CStringT r;
    r.Reserve(m_nLength);
    int out = m_nLength;
    for (int i = 0; i < m_nLength; ) {
        int n = CharSize(i);
        out -= n;
        memcpy(r.m_pszData + out, m_pszData + i, n * sizeof(X));
        i += n;
    }
    r.SetLength(m_nLength);
    *this = static_cast<CStringT&&>(r);
    return *this;
}

// --- Formatting ------------------------------------------------------------------------

template <typename X> void CStringT<X>::FormatImpl(PCXSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

template <typename X> void CStringT<X>::FormatV(PCXSTR pszFormat, va_list args)
{
    Empty();
    AppendFormatV(pszFormat, args);
}

template <typename X> void CStringT<X>::AppendFormatV(PCXSTR pszFormat, va_list args)
{
    if (pszFormat == NULL)
        AfxThrowInvalidArgException();
    // The C runtime reports -1 when the buffer is too small; grow and retry.
    int room = 256;
    for (;;) {
        Reserve(m_nLength + room);
        va_list copy;
        va_copy(copy, args);
        int n = FormatInto(m_pszData + m_nLength, (size_t)room + 1, pszFormat, copy);
        va_end(copy);
        if (n >= 0 && n <= room) {
            SetLength(m_nLength + n);
            return;
        }
        if (room > (INT_MAX - m_nLength) / 2)
            AfxThrowMemoryException();
        room *= 2;
    }
}

template <typename X> void CStringT<X>::FormatMessageArray(PCXSTR pszFormat, const DWORD_PTR* inserts)
{
    if (pszFormat == NULL)
        AfxThrowInvalidArgException();
    X* out = NULL;
    DWORD n = FormatMessageInto(pszFormat, inserts, &out);
    if (n == 0 || out == NULL) {
        if (out)
            ::LocalFree(out);
        Empty();
        if (::GetLastError() == ERROR_NOT_ENOUGH_MEMORY)
            AfxThrowMemoryException();
        return;
    }
    Assign(out, (int)n);
    ::LocalFree(out);
}

template <typename X> BOOL CStringT<X>::LoadString(UINT nID)
{
    return LoadString(AfxGetResourceHandle(), nID);
}

template <typename X> BOOL CStringT<X>::LoadString(HINSTANCE hInstance, UINT nID)
{
    const wchar_t* text;
    int n;
    if (!LoadResourceText(hInstance, nID, &text, &n)) {
        Empty();
        return FALSE;
    }
    if constexpr (std::is_same<X, wchar_t>::value)
        Assign(text, n);
    else
        AssignOther(text, n);
    return TRUE;
}

// --- Buffer access --------------------------------------------------------------------

template <typename X> X* CStringT<X>::GetBuffer()
{
    return GetBuffer(m_nLength);
}

template <typename X> X* CStringT<X>::GetBuffer(int nMinBufferLength)
{
    if (nMinBufferLength < m_nLength)
        nMinBufferLength = m_nLength;
    // Always own a buffer: the caller may write into it even when empty.
    if (nMinBufferLength > m_nAlloc || m_nAlloc == 0)
        Reserve(nMinBufferLength > 0 ? nMinBufferLength : 1);
    return m_pszData;
}

template <typename X> X* CStringT<X>::GetBufferSetLength(int nLength)
{
    if (nLength < 0)
        AfxThrowInvalidArgException();
    GetBuffer(nLength);
    SetLength(nLength);
    return m_pszData;
}

template <typename X> void CStringT<X>::ReleaseBuffer(int nNewLength)
{
    if (m_nAlloc == 0) {
        m_nLength = 0;
        return;
    }
    if (nNewLength < 0) {
        nNewLength = 0;
        while (nNewLength < m_nAlloc && m_pszData[nNewLength])
            nNewLength++;
    }
    if (nNewLength > m_nAlloc)
        AfxThrowInvalidArgException();
    SetLength(nNewLength);
}

template <typename X> void CStringT<X>::Truncate(int nNewLength)
{
    if (nNewLength < 0 || nNewLength > m_nLength)
        AfxThrowInvalidArgException();
    if (m_nAlloc)
        SetLength(nNewLength);
}

template <typename X> void CStringT<X>::Preallocate(int nLength)
{
    Reserve(nLength);
}

template <typename X> void CStringT<X>::FreeExtra()
{
    if (m_nAlloc > m_nLength) {
        CStringT tmp(m_pszData, m_nLength);
        *this = static_cast<CStringT&&>(tmp);
    }
}

template <typename X> BSTR CStringT<X>::AllocSysString() const
{
    BSTR b;
    if constexpr (std::is_same<X, wchar_t>::value) {
        b = ::SysAllocStringLen(m_pszData, (UINT)m_nLength);
    } else {
        int n = Convert(m_pszData, m_nLength, (wchar_t*)NULL, 0);
        b = ::SysAllocStringLen(NULL, (UINT)n);
        if (b && n)
            Convert(m_pszData, m_nLength, b, n);
    }
    if (!b)
        AfxThrowMemoryException();
    return b;
}

template <typename X> BSTR CStringT<X>::SetSysString(BSTR* pbstr) const
{
    BSTR b = AllocSysString();
    ::SysFreeString(*pbstr);
    *pbstr = b;
    return b;
}

template <typename X> int CStringT<X>::StringLength(PCXSTR psz)
{
    return Len(psz);
}

template class CStringT<char>;
template class CStringT<wchar_t>;
