// Our XML timeline reader (IXml2Dex::ReadXMLFile): Wine registers none. It
// reads the published XTL elements into a timeline:
//   timeline; group (type video|audio or 0|1, username, width, height,
//   bitdepth, framerate, samplingrate, previewmode, mute); composite and
//   track (username, mute); clip (src, start, stop, mstart, mstop,
//   stretchmode, stream, mute, username); transition and effect (clsid,
//   start, stop, swapinputs, username). Unknown elements and attributes are
//   passed over.
// Times are seconds ("4.5") or "hh:mm:ss.ff"; both are converted exactly to
// 100 ns. The whole file is parsed and checked first (well-formed XML, sound
// numbers, stop after start, sizes and rates in range); only then is the
// timeline built, so a bad file fails the read with nothing half-built.
// Files are UTF-16 with a byte-order mark or UTF-8.
#pragma once
#include "platform/dex/DexInterfaces.h"

extern "C" {
extern const CLSID CLSID_Xml2Dex;
extern const IID IID_IXml2Dex;
}

struct IXml2Dex : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE CreateGraphFromFile(IUnknown** ppGraph, IUnknown* pTimeline, BSTR Filename) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteGrfFile(IUnknown* pGraph, BSTR FileName) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteXMLFile(IUnknown* pTimeline, BSTR FileName) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReadXMLFile(IUnknown* pTimeline, BSTR XMLName) = 0;
    virtual HRESULT STDMETHODCALLTYPE Delete(IUnknown* pTimeline, double dStart, double dEnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteXMLPart(IUnknown* pTimeline, double dStart, double dEnd, BSTR FileName) = 0;
    virtual HRESULT STDMETHODCALLTYPE PasteXMLFile(IUnknown* pTimeline, double dStart, BSTR FileName) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyXML(IUnknown* pTimeline, double dStart, double dEnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE PasteXML(IUnknown* pTimeline, double dStart) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE ReadXML(IUnknown* pTimeline, IUnknown* pXML) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteXML(IUnknown* pTimeline, BSTR* pbstrXML) = 0;
};
__CRT_UUID_DECL(IXml2Dex, 0x18c628ee, 0x962a, 0x11d2, 0x8d, 0x08, 0x00, 0xa0, 0xc9, 0x44, 0x1e, 0x20)

HRESULT DexCreateXml2Dex(REFIID riid, void** ppv);

// Parses an XTL time ("4.5", "00:00:04.50"); FALSE for anything else.
BOOL ParseXtlTime(const wchar_t* text, REFERENCE_TIME* time);
