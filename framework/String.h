// CString (8-bit, ANSI code page) and CStringW (wchar_t), the framework's text
// classes, with MFC's names and semantics. Each object owns its buffer (no
// sharing), so copies may be used freely from different threads.
//
// Double-byte text: the 8-bit string is treated as MBCS in the ANSI code page.
// Searches for single characters, trimming, reversing and case changes step
// over lead/trail byte pairs, so a trail byte that happens to equal an ASCII
// character is never matched or changed.
//
// Format: a CString argument may be passed directly, as in MFC
// (s.Format("%s", other)); the variadic front end passes its text pointer. The
// conversions follow the Microsoft C runtime: %s is the string of the class's
// own character type, %S the other one, %I64d/%I64u are 64-bit.
#pragma once
#include "framework/AfxPlatform.h"

#include <type_traits>

template <typename XCHAR> class CStringT;
typedef CStringT<char> CString;
typedef CStringT<char> CStringA;
typedef CStringT<wchar_t> CStringW;

namespace AfxDetail {
template <typename XCHAR> struct OtherChar;
template <> struct OtherChar<char> { typedef wchar_t Type; };
template <> struct OtherChar<wchar_t> { typedef char Type; };

// Arguments of the variadic Format/FormatMessage front ends: strings become
// their text pointers; anything else must be safe to pass through "...".
template <typename T> inline const T& FormatArg(const T& v)
{
    static_assert(std::is_trivially_copyable<T>::value,
                  "only trivially copyable values and CString/CStringW can be format arguments");
    return v;
}
inline const char* FormatArg(const CStringT<char>& s);
inline const wchar_t* FormatArg(const CStringT<wchar_t>& s);

template <typename T> inline DWORD_PTR MessageArg(const T& v)
{
    if constexpr (std::is_pointer<T>::value || std::is_array<T>::value)
        return reinterpret_cast<DWORD_PTR>(static_cast<const void*>(v));
    else {
        static_assert(std::is_integral<T>::value || std::is_enum<T>::value,
                      "FormatMessage inserts are pointers, integers or strings");
        return static_cast<DWORD_PTR>(v);
    }
}
inline DWORD_PTR MessageArg(const CStringT<char>& s);
inline DWORD_PTR MessageArg(const CStringT<wchar_t>& s);
}  // namespace AfxDetail

template <typename XCHAR> class CStringT {
public:
    typedef XCHAR XCHAR_TYPE;
    typedef typename AfxDetail::OtherChar<XCHAR>::Type YCHAR;
    typedef XCHAR* PXSTR;
    typedef const XCHAR* PCXSTR;
    typedef YCHAR* PYSTR;
    typedef const YCHAR* PCYSTR;

    CStringT();
    CStringT(const CStringT& src);
    CStringT(CStringT&& src) noexcept;
    // A value made with MAKEINTRESOURCE loads that string from the string table, as MFC does.
    CStringT(PCXSTR psz);
    CStringT(PCXSTR pch, int nLength);
    CStringT(PCYSTR psz);                       // converted through the ANSI code page
    CStringT(PCYSTR pch, int nLength);
    CStringT(const CStringT<YCHAR>& src);
    explicit CStringT(XCHAR ch, int nRepeat = 1);
    CStringT(const unsigned char* psz);
    ~CStringT();

    CStringT& operator=(const CStringT& src);
    CStringT& operator=(CStringT&& src) noexcept;
    CStringT& operator=(PCXSTR psz);
    CStringT& operator=(PCYSTR psz);
    CStringT& operator=(const CStringT<YCHAR>& src);
    CStringT& operator=(XCHAR ch);
    CStringT& operator=(const unsigned char* psz);

    // --- Length and access
    int GetLength() const { return m_nLength; }
    bool IsEmpty() const { return m_nLength == 0; }
    void Empty();
    XCHAR GetAt(int nIndex) const;
    void SetAt(int nIndex, XCHAR ch);
    XCHAR operator[](int nIndex) const { return GetAt(nIndex); }
    operator PCXSTR() const { return m_pszData; }
    PCXSTR GetString() const { return m_pszData; }

    // --- Concatenation
    CStringT& operator+=(const CStringT& str) { Append(str.m_pszData, str.m_nLength); return *this; }
    CStringT& operator+=(PCXSTR psz) { Append(psz); return *this; }
    CStringT& operator+=(PCYSTR psz) { return *this += CStringT(psz); }
    CStringT& operator+=(XCHAR ch) { AppendChar(ch); return *this; }
    void Append(PCXSTR psz);
    void Append(PCXSTR pch, int nLength);
    void Append(const CStringT& str) { Append(str.m_pszData, str.m_nLength); }
    void AppendChar(XCHAR ch) { Append(&ch, 1); }

    // --- Comparison: Compare is ordinal by character code (lead/trail pairs
    // compare as one code); CompareNoCase folds ASCII letters only; Collate uses
    // the user locale.
    int Compare(PCXSTR psz) const;
    int CompareNoCase(PCXSTR psz) const;
    int Collate(PCXSTR psz) const;
    int CollateNoCase(PCXSTR psz) const;

    // --- Extraction; positions and counts outside the string are clamped.
    CStringT Mid(int iFirst) const { return Mid(iFirst, m_nLength); }
    CStringT Mid(int iFirst, int nCount) const;
    CStringT Left(int nCount) const;
    CStringT Right(int nCount) const;
    CStringT SpanIncluding(PCXSTR pszCharSet) const;
    CStringT SpanExcluding(PCXSTR pszCharSet) const;
    CStringT Tokenize(PCXSTR pszTokens, int& iStart) const;

    // --- Searching; results are byte (code unit) indexes, -1 when not found.
    int Find(XCHAR ch, int iStart = 0) const;
    int Find(PCXSTR pszSub, int iStart = 0) const;
    int ReverseFind(XCHAR ch) const;
    int FindOneOf(PCXSTR pszCharSet) const;

    // --- Changing
    int Replace(XCHAR chOld, XCHAR chNew);
    int Replace(PCXSTR pszOld, PCXSTR pszNew);
    int Remove(XCHAR ch);
    int Insert(int iIndex, XCHAR ch);
    int Insert(int iIndex, PCXSTR psz);
    int Delete(int iIndex, int nCount = 1);
    CStringT& Trim();
    CStringT& Trim(XCHAR chTarget);
    CStringT& Trim(PCXSTR pszTargets);
    CStringT& TrimLeft();
    CStringT& TrimLeft(XCHAR chTarget);
    CStringT& TrimLeft(PCXSTR pszTargets);
    CStringT& TrimRight();
    CStringT& TrimRight(XCHAR chTarget);
    CStringT& TrimRight(PCXSTR pszTargets);
    CStringT& MakeLower();
    CStringT& MakeUpper();
    CStringT& MakeReverse();

    // --- Formatting
    template <typename... Args> void Format(PCXSTR pszFormat, const Args&... args)
    {
        FormatImpl(pszFormat, AfxDetail::FormatArg(args)...);
    }
    template <typename... Args> void Format(UINT nFormatID, const Args&... args)
    {
        CStringT fmt;
        fmt.LoadString(nFormatID);
        FormatImpl(fmt.m_pszData, AfxDetail::FormatArg(args)...);
    }
    template <typename... Args> void AppendFormat(PCXSTR pszFormat, const Args&... args)
    {
        CStringT s;
        s.FormatImpl(pszFormat, AfxDetail::FormatArg(args)...);
        Append(s);
    }
    void FormatV(PCXSTR pszFormat, va_list args);
    void AppendFormatV(PCXSTR pszFormat, va_list args);
    // %1, %2!d! ... inserts, through ::FormatMessage. Each insert is one
    // pointer-sized argument: a string (CString or pointer) or a 32-bit number.
    template <typename... Args> void FormatMessage(PCXSTR pszFormat, const Args&... args)
    {
        DWORD_PTR inserts[sizeof...(Args) + 1] = { AfxDetail::MessageArg(args)..., 0 };
        FormatMessageArray(pszFormat, inserts);
    }
    template <typename... Args> void FormatMessage(UINT nFormatID, const Args&... args)
    {
        CStringT fmt;
        fmt.LoadString(nFormatID);
        DWORD_PTR inserts[sizeof...(Args) + 1] = { AfxDetail::MessageArg(args)..., 0 };
        FormatMessageArray(fmt.m_pszData, inserts);
    }
    void FormatMessageArray(PCXSTR pszFormat, const DWORD_PTR* inserts);

    // Loads string nID from the string table of AfxGetResourceHandle().
    BOOL LoadString(UINT nID);
    BOOL LoadString(HINSTANCE hInstance, UINT nID);

    // --- Buffer access. GetBuffer gives room for at least nMinBufferLength
    // characters plus the terminator; ReleaseBuffer(-1) takes the length up to
    // the first terminator.
    PXSTR GetBuffer();
    PXSTR GetBuffer(int nMinBufferLength);
    PXSTR GetBufferSetLength(int nLength);
    void ReleaseBuffer(int nNewLength = -1);
    void ReleaseBufferSetLength(int nNewLength) { ReleaseBuffer(nNewLength); }
    PXSTR LockBuffer() { return GetBuffer(); }
    void UnlockBuffer() {}
    void Preallocate(int nLength);
    void FreeExtra();
    int GetAllocLength() const { return m_nAlloc; }
    void Truncate(int nNewLength);

    // A BSTR copy of the text that the caller frees with ::SysFreeString.
    BSTR AllocSysString() const;
    BSTR SetSysString(BSTR* pbstr) const;

    static int StringLength(PCXSTR psz);

private:
    template <typename Y> friend class CStringT;
    void __cdecl FormatImpl(PCXSTR pszFormat, ...);
    void Assign(PCXSTR pch, int nLength);
    void AssignOther(PCYSTR pch, int nLength);
    void Reserve(int nLength);                  // capacity for nLength chars + NUL, keeps content
    void SetLength(int nLength);
    int CharSize(int iIndex) const;             // 1 or 2 (lead/trail pair) code units at iIndex
    bool InSet(int iIndex, int nSize, PCXSTR pszSet) const;

    PXSTR m_pszData;
    int m_nLength;
    int m_nAlloc;                               // 0: m_pszData is the shared empty string
};

namespace AfxDetail {
inline const char* FormatArg(const CStringT<char>& s) { return s.GetString(); }
inline const wchar_t* FormatArg(const CStringT<wchar_t>& s) { return s.GetString(); }
inline DWORD_PTR MessageArg(const CStringT<char>& s) { return reinterpret_cast<DWORD_PTR>(s.GetString()); }
inline DWORD_PTR MessageArg(const CStringT<wchar_t>& s) { return reinterpret_cast<DWORD_PTR>(s.GetString()); }
}  // namespace AfxDetail

extern template class CStringT<char>;
extern template class CStringT<wchar_t>;

// --- Concatenation
template <typename X> inline CStringT<X> operator+(const CStringT<X>& a, const CStringT<X>& b)
{
    CStringT<X> r(a);
    r += b;
    return r;
}
template <typename X> inline CStringT<X> operator+(const CStringT<X>& a, const X* b)
{
    CStringT<X> r(a);
    r += b;
    return r;
}
template <typename X> inline CStringT<X> operator+(const X* a, const CStringT<X>& b)
{
    CStringT<X> r(a);
    r += b;
    return r;
}
template <typename X> inline CStringT<X> operator+(const CStringT<X>& a, X ch)
{
    CStringT<X> r(a);
    r += ch;
    return r;
}
template <typename X> inline CStringT<X> operator+(X ch, const CStringT<X>& b)
{
    CStringT<X> r(ch);
    r += b;
    return r;
}

// --- Comparison operators (ordinal, as Compare)
#define AFX_STRING_COMPARE_OPS(op)                                                                   \
    template <typename X> inline bool operator op(const CStringT<X>& a, const CStringT<X>& b)        \
    {                                                                                                \
        return a.Compare(b) op 0;                                                                    \
    }                                                                                                \
    template <typename X> inline bool operator op(const CStringT<X>& a, const X* b)                  \
    {                                                                                                \
        return a.Compare(b) op 0;                                                                    \
    }                                                                                                \
    template <typename X> inline bool operator op(const X* a, const CStringT<X>& b)                  \
    {                                                                                                \
        return 0 op b.Compare(a);                                                                    \
    }
AFX_STRING_COMPARE_OPS(==)
AFX_STRING_COMPARE_OPS(!=)
AFX_STRING_COMPARE_OPS(<)
AFX_STRING_COMPARE_OPS(>)
AFX_STRING_COMPARE_OPS(<=)
AFX_STRING_COMPARE_OPS(>=)
#undef AFX_STRING_COMPARE_OPS

template <typename X> inline bool operator==(const CStringT<X>& a, X ch)
{
    return a.GetLength() == 1 && a[0] == ch;
}
template <typename X> inline bool operator!=(const CStringT<X>& a, X ch) { return !(a == ch); }
