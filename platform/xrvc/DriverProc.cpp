// The installable-compressor entry point of xrvc.dll: one driver instance per
// ICOpen, answering the compressor manager's ICM_* messages with the encoder
// and the decoder of that instance.
#include "platform/xrvc/XrvcDecoder.h"
#include "platform/xrvc/XrvcEncoder.h"
#include "platform/xrvc/XrvcFormat.h"
#include <windows.h>
#include <vfw.h>
#include <string.h>
#include <new>

namespace {

using namespace xrvc;

const wchar_t kShortName[] = L"xrvc";
const wchar_t kDescription[] = L"Kestravon Screen Capture Codec";

struct Instance {
    DWORD state[kStateSize / 4] = {kDefaultStateFlags, kFourCC, kVersion, kDefaultLevel};
    CEncoder encoder;
    CDecoder decoder;
};

void Put32(uint8_t* p, DWORD v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

DWORD Get32(const uint8_t* p)
{
    return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

LRESULT GetInfo(ICINFO* info, DWORD size)
{
    if (!info)
        return sizeof(ICINFO);
    if (size < sizeof(ICINFO))
        return 0;
    memset(info, 0, sizeof(ICINFO));
    info->dwSize = sizeof(ICINFO);
    info->fccType = ICTYPE_VIDEO;
    info->fccHandler = kFourCC;
    // Quality/crunch: the compressed stream accepts a data rate only from a
    // codec that claims them (it is lossless and ignores both). Temporal with
    // fast temporal compression: delta frames against the codec's own copy
    // of the previous picture.
    info->dwFlags = VIDCF_QUALITY | VIDCF_CRUNCH | VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC;
    info->dwVersion = kVersion;
    info->dwVersionICM = ICVERSION;
    lstrcpynW(info->szName, kShortName, 16);
    lstrcpynW(info->szDescription, kDescription, 128);
    return sizeof(ICINFO);
}

// The state: at least 16 bytes, word 1 the FourCC, word 3 the effort 0..9.
// Anything else is refused with 0 bytes used, the current state kept.
LRESULT SetState(Instance* inst, const uint8_t* data, DWORD size)
{
    if (!data) {
        const DWORD defaults[4] = {kDefaultStateFlags, kFourCC, kVersion, kDefaultLevel};
        memset(inst->state, 0, sizeof(inst->state));
        memcpy(inst->state, defaults, sizeof(defaults));
        return 0;
    }
    if (size < 16 || Get32(data + 4) != kFourCC || Get32(data + 12) > 9)
        return 0;
    const DWORD used = size < (DWORD)kStateSize ? size : (DWORD)kStateSize;
    memset(inst->state, 0, sizeof(inst->state));
    for (DWORD i = 0; i < used / 4; ++i)
        inst->state[i] = Get32(data + 4 * i);
    return used;
}

LRESULT GetState(Instance* inst, uint8_t* data, DWORD size)
{
    if (!data)
        return kStateSize;
    if (size < (DWORD)kStateSize)
        return ICERR_BADSIZE;
    for (int i = 0; i < kStateSize / 4; ++i)
        Put32(data + 4 * i, inst->state[i]);
    return ICERR_OK;
}

DWORD FormatSize(const BITMAPINFOHEADER* bih)
{
    return sizeof(BITMAPINFOHEADER) + PaletteEntries(bih) * sizeof(RGBQUAD);
}

// Copies the header's colour table (8-bit frames) after out.
void CopyPalette(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out)
{
    const DWORD entries = PaletteEntries(in);
    out->biClrUsed = entries;
    out->biClrImportant = in->biClrImportant <= entries ? in->biClrImportant : 0;
    if (entries)
        memcpy((uint8_t*)out + sizeof(BITMAPINFOHEADER), (const uint8_t*)in + in->biSize,
               entries * sizeof(RGBQUAD));
}

// Both directions accept an input of one kind (BI_RGB or xrvc) and, when
// given, an output of the other kind with the same geometry.
LRESULT QueryPair(const BITMAPINFOHEADER* in, DWORD inKind, const BITMAPINFOHEADER* out, DWORD outKind)
{
    Geometry g;
    if (!GeometryFromHeader(in, inKind, &g))
        return ICERR_BADFORMAT;
    if (out) {
        Geometry go;
        if (!GeometryFromHeader(out, outKind, &go) || go != g)
            return ICERR_BADFORMAT;
    }
    return ICERR_OK;
}

// The output format of either direction: the input's geometry and palette in
// the other kind; with no output header, the size that header needs.
LRESULT GetPairFormat(const BITMAPINFOHEADER* in, DWORD inKind, BITMAPINFOHEADER* out, DWORD outKind)
{
    Geometry g;
    if (!GeometryFromHeader(in, inKind, &g))
        return out ? ICERR_BADFORMAT : 0;
    if (!out)
        return FormatSize(in);
    memset(out, 0, sizeof(BITMAPINFOHEADER));
    out->biSize = sizeof(BITMAPINFOHEADER);
    out->biWidth = g.width;
    out->biHeight = g.height;
    out->biPlanes = 1;
    out->biBitCount = (WORD)g.bitCount;
    out->biCompression = outKind;
    // Compressed frames are sized for the worst case (Wine sizes its output
    // buffer from this), decompressed ones exactly.
    out->biSizeImage = outKind == kFourCC ? (DWORD)WorstCaseFrameBytes(g) : (DWORD)(g.stride * g.height);
    out->biXPelsPerMeter = in->biXPelsPerMeter;
    out->biYPelsPerMeter = in->biYPelsPerMeter;
    CopyPalette(in, out);
    return ICERR_OK;
}

LRESULT CompressQuery(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out)
{
    return QueryPair(in, BI_RGB, out, kFourCC);
}

LRESULT CompressGetFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out)
{
    return GetPairFormat(in, BI_RGB, out, kFourCC);
}

LRESULT CompressGetSize(const BITMAPINFOHEADER* in)
{
    Geometry g;
    if (!GeometryFromHeader(in, BI_RGB, &g))
        return 0;
    return (LRESULT)WorstCaseFrameBytes(g);
}

LRESULT CompressBegin(Instance* inst, const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out)
{
    const LRESULT rc = CompressQuery(in, out);
    if (rc != ICERR_OK)
        return rc;
    Geometry g;
    GeometryFromHeader(in, BI_RGB, &g);
    return inst->encoder.Begin(g, (int)inst->state[3]) ? ICERR_OK : ICERR_MEMORY;
}

LRESULT Compress(Instance* inst, ICCOMPRESS* icc, DWORD size)
{
    if (!icc || size < sizeof(ICCOMPRESS) || !icc->lpbiInput || !icc->lpbiOutput ||
        !icc->lpInput || !icc->lpOutput)
        return ICERR_BADPARAM;
    if (!inst->encoder.IsBegun()) {
        // Callers that send ICM_COMPRESS without ICM_COMPRESS_BEGIN get an
        // implicit begin, as with other codecs.
        const LRESULT rc = CompressBegin(inst, icc->lpbiInput, nullptr);
        if (rc != ICERR_OK)
            return rc;
    }
    Geometry g;
    if (!GeometryFromHeader(icc->lpbiInput, BI_RGB, &g) || g != inst->encoder.Format())
        return ICERR_BADFORMAT;
    // The output buffer is sized from ICM_COMPRESS_GET_FORMAT/GET_SIZE: the worst case.
    const size_t capacity = WorstCaseFrameBytes(g);
    bool key = false;
    const size_t written = inst->encoder.Compress((const uint8_t*)icc->lpInput,
                                                  (icc->dwFlags & ICCOMPRESS_KEYFRAME) != 0,
                                                  (uint8_t*)icc->lpOutput, capacity, &key);
    if (written == 0)
        return ICERR_ERROR;
    icc->lpbiOutput->biSizeImage = (DWORD)written;
    icc->lpbiOutput->biCompression = kFourCC;
    // Wine 8's ICSeqCompressFrame reads the key-frame decision back from
    // ICCOMPRESS.dwFlags (testing AVIIF_KEYFRAME there), the compressed
    // stream from the output flags: report it in both.
    const DWORD keyBits = ICCOMPRESS_KEYFRAME | AVIIF_KEYFRAME;
    if (key)
        icc->dwFlags |= keyBits;
    else
        icc->dwFlags &= ~keyBits;
    if (icc->lpdwFlags)
        *icc->lpdwFlags = key ? AVIIF_KEYFRAME : 0;
    if (icc->lpckid)
        *icc->lpckid = MAKEWORD('d', 'c');
    return ICERR_OK;
}

LRESULT DecompressQuery(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out)
{
    return QueryPair(in, kFourCC, out, BI_RGB);
}

LRESULT DecompressGetFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out)
{
    return GetPairFormat(in, kFourCC, out, BI_RGB);
}

LRESULT DecompressBegin(Instance* inst, const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out)
{
    const LRESULT rc = DecompressQuery(in, out);
    if (rc != ICERR_OK)
        return rc;
    Geometry g;
    GeometryFromHeader(in, kFourCC, &g);
    return inst->decoder.Begin(g) ? ICERR_OK : ICERR_MEMORY;
}

LRESULT Decompress(Instance* inst, ICDECOMPRESS* icd, DWORD size)
{
    if (!icd || size < sizeof(ICDECOMPRESS) || !icd->lpbiInput || !icd->lpbiOutput ||
        !icd->lpInput || !icd->lpOutput)
        return ICERR_BADPARAM;
    if (!inst->decoder.IsBegun()) {
        const LRESULT rc = DecompressBegin(inst, icd->lpbiInput, icd->lpbiOutput);
        if (rc != ICERR_OK)
            return rc;
    }
    Geometry gin, gout;
    if (!GeometryFromHeader(icd->lpbiInput, kFourCC, &gin) || gin != inst->decoder.Format() ||
        !GeometryFromHeader(icd->lpbiOutput, BI_RGB, &gout) || gout != gin)
        return ICERR_BADFORMAT;
    return inst->decoder.Decompress((const uint8_t*)icd->lpInput, icd->lpbiInput->biSizeImage,
                                    (uint8_t*)icd->lpOutput);
}

LRESULT Message(Instance* inst, UINT msg, LPARAM lp1, LPARAM lp2)
{
    switch (msg) {
    case ICM_GETINFO:
        return GetInfo((ICINFO*)lp1, (DWORD)lp2);
    case ICM_GETSTATE:
        return GetState(inst, (uint8_t*)lp1, (DWORD)lp2);
    case ICM_SETSTATE:
        return SetState(inst, (const uint8_t*)lp1, (DWORD)lp2);
    case ICM_GETDEFAULTQUALITY:
    case ICM_GETQUALITY:
        if (lp1)
            *(DWORD*)lp1 = ICQUALITY_HIGH;
        return ICERR_OK;
    case ICM_SETQUALITY:
        return ICERR_OK;   // lossless: every quality gives the same picture
    case ICM_GETDEFAULTKEYFRAMERATE:
        if (lp1)
            *(DWORD*)lp1 = 80;
        return ICERR_OK;
    case ICM_CONFIGURE:
    case ICM_ABOUT:
        return ICERR_UNSUPPORTED;   // no dialogs: also the answer to the "do you have one" query
    case ICM_COMPRESS_QUERY:
        return CompressQuery((const BITMAPINFOHEADER*)lp1, (const BITMAPINFOHEADER*)lp2);
    case ICM_COMPRESS_GET_FORMAT:
        return CompressGetFormat((const BITMAPINFOHEADER*)lp1, (BITMAPINFOHEADER*)lp2);
    case ICM_COMPRESS_GET_SIZE:
        return CompressGetSize((const BITMAPINFOHEADER*)lp1);
    case ICM_COMPRESS_BEGIN:
        return CompressBegin(inst, (const BITMAPINFOHEADER*)lp1, (const BITMAPINFOHEADER*)lp2);
    case ICM_COMPRESS:
        return Compress(inst, (ICCOMPRESS*)lp1, (DWORD)lp2);
    case ICM_COMPRESS_END:
        inst->encoder.End();
        return ICERR_OK;
    case ICM_DECOMPRESS_QUERY:
        return DecompressQuery((const BITMAPINFOHEADER*)lp1, (const BITMAPINFOHEADER*)lp2);
    case ICM_DECOMPRESS_GET_FORMAT:
        return DecompressGetFormat((const BITMAPINFOHEADER*)lp1, (BITMAPINFOHEADER*)lp2);
    case ICM_DECOMPRESS_BEGIN:
        return DecompressBegin(inst, (const BITMAPINFOHEADER*)lp1, (const BITMAPINFOHEADER*)lp2);
    case ICM_DECOMPRESS:
        return Decompress(inst, (ICDECOMPRESS*)lp1, (DWORD)lp2);
    case ICM_DECOMPRESS_END:
        inst->decoder.End();
        return ICERR_OK;
    default:
        return ICERR_UNSUPPORTED;
    }
}

}  // namespace

extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR driverId, HDRVR driver, UINT msg, LPARAM lParam1, LPARAM lParam2)
{
    switch (msg) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
        return 1;
    case DRV_INSTALL:
    case DRV_REMOVE:
        return DRV_OK;
    case DRV_QUERYCONFIGURE:
        return 0;
    case DRV_CONFIGURE:
        return DRVCNF_OK;
    case DRV_OPEN: {
        // lParam2 is the compressor manager's ICOPEN; a plain OpenDriver
        // (no ICOPEN) gets an instance too, as for configuration.
        ICOPEN* open = (ICOPEN*)lParam2;
        if (open && open->fccType != ICTYPE_VIDEO)
            return 0;
        Instance* inst = new (std::nothrow) Instance;
        if (!inst) {
            if (open)
                open->dwError = ICERR_MEMORY;
            return 0;
        }
        if (open)
            open->dwError = ICERR_OK;
        return (LRESULT)inst;
    }
    case DRV_CLOSE:
        delete (Instance*)driverId;
        return 1;
    default:
        break;
    }
    if (msg < DRV_USER)
        return DefDriverProc(driverId, driver, msg, lParam1, lParam2);
    Instance* inst = (Instance*)driverId;
    if (!inst)
        return ICERR_BADHANDLE;
    try {
        return Message(inst, msg, lParam1, lParam2);
    } catch (...) {
        return ICERR_INTERNAL;   // no C++ exception crosses into the compressor manager
    }
}
