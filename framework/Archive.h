// CArchive: MFC's binary serialization over a CFile, byte for byte compatible
// with MFC's format (little-endian numbers, MFC's string length prefixes, and
// its object and class tags).
//
//   CFile file("x.dat", CFile::modeCreate | CFile::modeWrite);
//   CArchive ar(&file, CArchive::store);
//   ar << pShape << name << count;
//   ar.Close();
//
// Reading past the end throws CArchiveException(endOfFile); a bad class or
// object tag throws badClass / badIndex / badSchema. One thread per archive.
#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Object.h"
#include "framework/String.h"

#include <unordered_map>
#include <vector>

class CFile;

class CArchive {
public:
    enum Mode { store = 0, load = 1, bNoFlushOnDelete = 2, bNoByteSwap = 4 };

    // Tags of the object encoding.
    static const WORD wNullTag = 0;             // a NULL object pointer
    static const WORD wNewClassTag = 0xFFFF;    // a class record follows
    static const WORD wClassTag = 0x8000;       // ORed with the index of a known class
    static const WORD wBigObjectTag = 0x7FFF;   // a DWORD index follows
    static const DWORD dwBigClassTag = 0x80000000;
    static const DWORD nMaxMapCount = 0x3FFFFFFE;

    CArchive(CFile* pFile, UINT nMode, int nBufSize = 4096, void* lpBuf = NULL);
    ~CArchive();

    BOOL IsLoading() const { return (m_nMode & load) != 0; }
    BOOL IsStoring() const { return (m_nMode & load) == 0; }
    BOOL IsByteSwapping() const { return FALSE; }
    BOOL IsBufferEmpty() const { return m_nBufCur == m_nBufMax; }
    CFile* GetFile() const { return m_pFile; }

    // The schema of the object being read, for versionable classes; each call
    // returns it once and then (UINT)-1.
    UINT GetObjectSchema();
    void SetObjectSchema(UINT nSchema) { m_nObjectSchema = nSchema; }

    // Read returns the number of bytes read (less at the end of the file).
    UINT Read(void* lpBuf, UINT nMax);
    void Write(const void* lpBuf, UINT nMax);
    void Flush();
    // Writes what is buffered (storing) or puts unread bytes back into the
    // file's position (loading), then detaches from the file.
    void Close();
    // Detaches without writing or throwing; for clean-up after an error.
    void Abort();

    // Text lines: WriteString writes the characters only; ReadString reads up
    // to "\n" and drops the "\r\n".
    void WriteString(LPCTSTR lpsz);
    LPTSTR ReadString(LPTSTR lpsz, UINT nMax);
    BOOL ReadString(CString& rString);

    // Element counts: a WORD, or 0xFFFF and a DWORD.
    DWORD_PTR ReadCount();
    void WriteCount(DWORD_PTR dwCount);

    // Objects: a new class record, a class reference or a back-reference to an
    // object already in the archive (indexes count classes and objects from 1).
    CObject* ReadObject(const CRuntimeClass* pClass);
    void WriteObject(const CObject* pOb);
    void MapObject(const CObject* pOb);
    void WriteClass(const CRuntimeClass* pClassRef);
    CRuntimeClass* ReadClass(const CRuntimeClass* pClassRefRequested = NULL, UINT* pSchema = NULL,
                             DWORD* pObTag = NULL);
    void SerializeClass(const CRuntimeClass* pClassRef);
    void SetStoreParams(UINT nHashSize = 2053, UINT nBlockSize = 128);
    void SetLoadParams(UINT nGrowBy = 1024);

    // String length prefixes (MFC's AfxReadStringLength / AfxWriteStringLength).
    void WriteStringLength(UINT nLength, bool bUnicode);
    // Returns the length in characters and sets nCharSize to 1 or 2.
    UINT ReadStringLength(int& nCharSize);

    CArchive& operator<<(BYTE by) { return WriteValue(by); }
    CArchive& operator<<(char ch) { return WriteValue(ch); }
    CArchive& operator<<(signed char ch) { return WriteValue(ch); }
    CArchive& operator<<(wchar_t ch) { return WriteValue((WORD)ch); }
    CArchive& operator<<(bool b) { return WriteValue((BYTE)(b ? 1 : 0)); }
    CArchive& operator<<(WORD w) { return WriteValue(w); }
    CArchive& operator<<(short s) { return WriteValue(s); }
    CArchive& operator<<(int i) { return WriteValue(i); }
    CArchive& operator<<(unsigned u) { return WriteValue(u); }
    CArchive& operator<<(LONG l) { return WriteValue(l); }
    CArchive& operator<<(DWORD dw) { return WriteValue(dw); }
    CArchive& operator<<(LONGLONG ll) { return WriteValue(ll); }
    CArchive& operator<<(ULONGLONG ull) { return WriteValue(ull); }
    CArchive& operator<<(float f) { return WriteValue(f); }
    CArchive& operator<<(double d) { return WriteValue(d); }
    CArchive& operator<<(const CObject* pOb)
    {
        WriteObject(pOb);
        return *this;
    }
    // A literal is written as a CString (MFC converts it the same way).
    CArchive& operator<<(const char* psz);
    CArchive& operator<<(const wchar_t* psz);

    CArchive& operator>>(BYTE& by) { return ReadValue(by); }
    CArchive& operator>>(char& ch) { return ReadValue(ch); }
    CArchive& operator>>(signed char& ch) { return ReadValue(ch); }
    CArchive& operator>>(wchar_t& ch)
    {
        WORD w;
        ReadValue(w);
        ch = (wchar_t)w;
        return *this;
    }
    CArchive& operator>>(bool& b)
    {
        BYTE by;
        ReadValue(by);
        b = by != 0;
        return *this;
    }
    CArchive& operator>>(WORD& w) { return ReadValue(w); }
    CArchive& operator>>(short& s) { return ReadValue(s); }
    CArchive& operator>>(int& i) { return ReadValue(i); }
    CArchive& operator>>(unsigned& u) { return ReadValue(u); }
    CArchive& operator>>(LONG& l) { return ReadValue(l); }
    CArchive& operator>>(DWORD& dw) { return ReadValue(dw); }
    CArchive& operator>>(LONGLONG& ll) { return ReadValue(ll); }
    CArchive& operator>>(ULONGLONG& ull) { return ReadValue(ull); }
    CArchive& operator>>(float& f) { return ReadValue(f); }
    CArchive& operator>>(double& d) { return ReadValue(d); }
    CArchive& operator>>(CObject*& pOb)
    {
        pOb = ReadObject(NULL);
        return *this;
    }
    CArchive& operator>>(const CObject*& pOb)
    {
        pOb = ReadObject(NULL);
        return *this;
    }

    CString m_strFileName;                      // for error messages
    BOOL m_bForceFlat;
    void* m_pDocument;                          // free for the program's use

private:
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    template <typename T> CArchive& WriteValue(T v)
    {
        Write(&v, sizeof(v));
        return *this;
    }
    template <typename T> CArchive& ReadValue(T& v)
    {
        ReadExact(&v, sizeof(v));
        return *this;
    }
    void ReadExact(void* lpBuf, UINT n);        // throws endOfFile when short
    void CheckStoring() const;
    void CheckLoading() const;
    void FillBuffer();
    void FlushBuffer();
    DWORD NextMapIndex();

    struct LoadEntry {
        void* p;
        UINT nSchema;
        bool bClass;
    };

    CFile* m_pFile;
    UINT m_nMode;
    UINT m_nObjectSchema;
    std::vector<BYTE> m_buffer;
    UINT m_nBufCur;
    UINT m_nBufMax;
    DWORD m_nMapCount;
    std::unordered_map<const void*, DWORD> m_storeMap;
    std::vector<LoadEntry> m_loadArray;
};

CArchive& AFXAPI operator<<(CArchive& ar, const CString& str);
CArchive& AFXAPI operator>>(CArchive& ar, CString& str);
CArchive& AFXAPI operator<<(CArchive& ar, const CStringW& str);
CArchive& AFXAPI operator>>(CArchive& ar, CStringW& str);

CArchive& AFXAPI operator<<(CArchive& ar, SIZE size);
CArchive& AFXAPI operator<<(CArchive& ar, POINT point);
CArchive& AFXAPI operator<<(CArchive& ar, const RECT& rect);
CArchive& AFXAPI operator>>(CArchive& ar, SIZE& size);
CArchive& AFXAPI operator>>(CArchive& ar, POINT& point);
CArchive& AFXAPI operator>>(CArchive& ar, RECT& rect);
