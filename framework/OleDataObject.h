#pragma once
#include "framework/AfxPlatform.h"

#include <ole2.h>

// The effect of a drag and drop (DROPEFFECT_COPY, _MOVE, _LINK), as MFC names it.
typedef DWORD DROPEFFECT;

// The receiving side of OLE data transfer: wraps an IDataObject (from the
// clipboard, or handed to a drop target) and asks it for formats and data.
// Not copyable; one thread.
class COleDataObject {
public:
    COleDataObject();
    ~COleDataObject();

    // With bAutoRelease the wrapper releases the interface when done.
    void Attach(IDataObject* lpDataObject, BOOL bAutoRelease = TRUE);
    IDataObject* Detach();
    void Release();
    // The clipboard's data object; FALSE when OLE gives none.
    BOOL AttachClipboard();
    IDataObject* GetIDataObject() const { return m_lpDataObject; }

    // Enumerates the formats offered; GetNextFormat FALSE after the last
    // (the caller frees a returned target device with CoTaskMemFree).
    void BeginEnumFormats();
    BOOL GetNextFormat(LPFORMATETC lpFormatEtc);

    // The default request is the format in global memory, content aspect.
    BOOL IsDataAvailable(CLIPFORMAT cfFormat, LPFORMATETC lpFormatEtc = NULL);
    BOOL GetData(CLIPFORMAT cfFormat, LPSTGMEDIUM lpStgMedium, LPFORMATETC lpFormatEtc = NULL);
    // A global block the caller owns and frees; NULL when not offered.
    HGLOBAL GetGlobalData(CLIPFORMAT cfFormat, LPFORMATETC lpFormatEtc = NULL);

private:
    COleDataObject(const COleDataObject&) = delete;
    COleDataObject& operator=(const COleDataObject&) = delete;

    FORMATETC Request(CLIPFORMAT cfFormat, LPFORMATETC lpFormatEtc, DWORD tymed) const;

    IDataObject* m_lpDataObject;
    IEnumFORMATETC* m_lpEnumerator;
    BOOL m_bAutoRelease;
};
