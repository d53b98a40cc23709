#include "controls/Dib.h"

#include "framework/Exceptions.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// A 24-bit compatible bitmap of w x h filled with a pattern; returns the
// pattern colours row by row, top-down.
std::vector<COLORREF> MakePatternBitmap(CBitmap& bitmap, int w, int h)
{
    std::vector<COLORREF> colours;
    HDC screen = ::GetDC(NULL);
    bitmap.Attach(::CreateCompatibleBitmap(screen, w, h));
    HDC mem = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(mem, bitmap.m_hObject);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            const COLORREF c = RGB(x * 40 + 10, y * 60 + 5, (x + y) * 25);
            ::SetPixelV(mem, x, y, c);
            colours.push_back(c);
        }
    }
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::ReleaseDC(NULL, screen);
    return colours;
}

std::string BlockBytes(const CDib& dib)
{
    return std::string((const char*)dib.GetBlock(), dib.GetBlockSize());
}

std::string StoreToBytes(CDib& dib)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        dib.Serialize(ar);
        ar.Close();
    }
    const ULONGLONG len = file.GetLength();
    std::string bytes((size_t)len, '\0');
    file.SeekToBegin();
    file.Read(&bytes[0], (UINT)len);
    return bytes;
}

// Loads a record; returns "ok", "archive" for CArchiveException.
std::string LoadFromBytes(CDib& dib, const std::string& bytes)
{
    CMemFile file((BYTE*)bytes.data(), (UINT)bytes.size());
    CArchive ar(&file, CArchive::load);
    try {
        dib.Serialize(ar);
    } catch (CArchiveException* e) {
        e->Delete();
        return "archive";
    }
    return "ok";
}

TEST(Dib, BuildsAPackedBmpFromABitmapWithPaddedRows)
{
    CBitmap bitmap;
    MakePatternBitmap(bitmap, 3, 2);
    CDib dib;
    ASSERT_TRUE(dib.CreateFromBitmap(NULL, &bitmap, 24, FALSE));
    EXPECT_EQ(54u + 2 * 12, dib.GetBlockSize()) << "rows of 9 bytes padded to 12";
    EXPECT_EQ(3, dib.GetWidth());
    EXPECT_EQ(2, dib.GetHeight());
    EXPECT_EQ(24, dib.GetBitCount());
    const BYTE* block = dib.GetBlock();
    EXPECT_EQ('B', block[0]);
    EXPECT_EQ('M', block[1]);
    DWORD size, offset;
    memcpy(&size, block + 2, 4);
    memcpy(&offset, block + 10, 4);
    EXPECT_EQ(dib.GetBlockSize(), size);
    EXPECT_EQ(54u, offset);
    EXPECT_EQ(dib.GetBits(), block + 54);
}

// The stored record, minus its 6-byte tag and count, is a .bmp file that an
// independent decoder reads with the same size and pixels.
TEST(Dib, StoredImageIsABmpThatFfmpegReadsBack)
{
    const int w = 5, h = 3;
    CBitmap bitmap;
    const std::vector<COLORREF> colours = MakePatternBitmap(bitmap, w, h);
    CDib dib;
    ASSERT_TRUE(dib.CreateFromBitmap(NULL, &bitmap, 24, FALSE));
    const std::string record = StoreToBytes(dib);
    ASSERT_EQ(6 + dib.GetBlockSize(), record.size());
    EXPECT_EQ("BA", record.substr(0, 2));

    testsupport::ScratchDir dir("dibtest");
    const std::string path = dir.File("picture.bmp");
    ASSERT_TRUE(testsupport::WriteFileBytes(path, record.data() + 6, record.size() - 6));
    const std::string unixPath = testsupport::UnixPath(path);
    std::string out;
    ASSERT_EQ(0, testsupport::RunHost("ffprobe -v error -show_entries stream=width,height -of csv=p=0 '" +
                                          unixPath + "'", &out)) << out;
    EXPECT_EQ("5,3", out.substr(0, out.find_first_of("\r\n")));
    const std::string rawPath = dir.File("picture.rgb");
    ASSERT_EQ(0, testsupport::RunHost("ffmpeg -v error -y -i '" + unixPath +
                                          "' -f rawvideo -pix_fmt rgb24 '" +
                                          testsupport::UnixPath(rawPath) + "'", &out)) << out;
    std::string raw;
    ASSERT_TRUE(testsupport::ReadFileBytes(rawPath, &raw));
    ASSERT_EQ((size_t)(w * h * 3), raw.size());
    for (int i = 0; i < w * h; i++) {
        const COLORREF c = RGB((BYTE)raw[i * 3], (BYTE)raw[i * 3 + 1], (BYTE)raw[i * 3 + 2]);
        EXPECT_EQ(colours[(size_t)i], c) << "pixel " << i;
    }
}

TEST(Dib, ArchiveRoundTripAndReadingThroughReadObject)
{
    CBitmap bitmap;
    MakePatternBitmap(bitmap, 4, 4);
    CDib dib;
    ASSERT_TRUE(dib.CreateFromBitmap(NULL, &bitmap, 24, FALSE));
    CDib loaded;
    EXPECT_EQ("ok", LoadFromBytes(loaded, StoreToBytes(dib)));
    EXPECT_EQ(BlockBytes(dib), BlockBytes(loaded));

    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        ar << &dib;
        ar.Close();
    }
    file.SeekToBegin();
    CArchive in(&file, CArchive::load);
    CDib* created = NULL;
    in >> created;
    ASSERT_TRUE(created != NULL);
    EXPECT_EQ(BlockBytes(dib), BlockBytes(*created));
    delete created;
}

// Hostile headers: the image is refused with an error and nothing is lost.
TEST(Dib, HostileOffsetsAndSizesAreRefused)
{
    CBitmap bitmap;
    MakePatternBitmap(bitmap, 4, 3);
    CDib good;
    ASSERT_TRUE(good.CreateFromBitmap(NULL, &bitmap, 24, FALSE));
    const std::string valid = BlockBytes(good);

    struct Row { const char* name; size_t offset; DWORD value; size_t width; };
    const Row rows[] = {
        { "bits offset past the end", 10, 0x7FFFFFF0, 4 },
        { "bits offset inside the header", 10, 20, 4 },
        { "huge width", 18, 0x40000000, 4 },
        { "width making rows overrun", 18, 400, 4 },
        { "zero height", 22, 0, 4 },
        { "odd bit count", 28, 7, 2 },
        { "header size past the end", 14, 0x10000, 4 },
        { "too many colours", 46, 100000, 4 },
        { "unknown compression", 30, 9, 4 },
        { "not BM", 0, 'X', 1 },
    };
    for (const Row& row : rows) {
        std::string bad = valid;
        memcpy(&bad[row.offset], &row.value, row.width);
        EXPECT_FALSE(CDib::IsValidBlock((const BYTE*)bad.data(), (DWORD)bad.size())) << row.name;

        // Through a file.
        testsupport::ScratchDir dir("dibbad");
        const std::string path = dir.File("bad.bmp");
        ASSERT_TRUE(testsupport::WriteFileBytes(path, bad.data(), bad.size()));
        CFile file(path.c_str(), CFile::modeRead);
        CDib fromFile;
        EXPECT_FALSE(fromFile.Read(&file, NULL, 0)) << row.name;
        EXPECT_TRUE(fromFile.IsEmpty()) << row.name;
        file.Close();

        // Through an archive: the object keeps its image.
        std::string record = "BA";
        const DWORD count = (DWORD)bad.size();
        record.append((const char*)&count, 4);
        record += bad;
        CDib kept;
        kept.Copy(&good);
        EXPECT_EQ("archive", LoadFromBytes(kept, record)) << row.name;
        EXPECT_EQ(valid, BlockBytes(kept)) << row.name;
    }
    // Truncated files and records.
    CDib truncated;
    EXPECT_FALSE(CDib::IsValidBlock((const BYTE*)valid.data(), (DWORD)valid.size() - 1));
    std::string shortRecord = "BA";
    const DWORD claimed = 0x7FFFFFFF;
    shortRecord.append((const char*)&claimed, 4);
    shortRecord += valid;
    EXPECT_EQ("archive", LoadFromBytes(truncated, shortRecord));
    EXPECT_TRUE(truncated.IsEmpty());
}

TEST(Dib, PackedRecordWithoutCodecIsSkippedAndUnknownTagIgnored)
{
    CBitmap bitmap;
    MakePatternBitmap(bitmap, 2, 2);
    CDib good;
    ASSERT_TRUE(good.CreateFromBitmap(NULL, &bitmap, 24, FALSE));
    std::string record = StoreToBytes(good);
    record[1] = 'Z';   // "BZ"
    record += "tail";
    CDib dib;
    CMemFile file((BYTE*)record.data(), (UINT)record.size());
    CArchive ar(&file, CArchive::load);
    dib.Serialize(ar);
    EXPECT_TRUE(dib.IsEmpty());
    char tail[4];
    EXPECT_EQ(4u, ar.Read(tail, 4)) << "the archive stays in step after the skipped record";
    EXPECT_EQ(0, memcmp(tail, "tail", 4));

    std::string unknown = "XY";
    const DWORD count = 10;
    unknown.append((const char*)&count, 4);
    CDib other;
    other.Copy(&good);
    EXPECT_EQ("ok", LoadFromBytes(other, unknown));
    EXPECT_EQ(BlockBytes(good), BlockBytes(other));
}

DWORD XorCodec(int mode, const void* in, DWORD size, void** out, BOOL* callerFrees)
{
    BYTE* buf = (BYTE*)malloc(size + 1);
    const BYTE* src = (const BYTE*)in;
    if (mode == 1) {
        buf[0] = 0x5A;
        for (DWORD i = 0; i < size; i++)
            buf[i + 1] = src[i] ^ 0x5A;
        *callerFrees = TRUE;
        *out = buf;
        return size + 1;
    }
    for (DWORD i = 1; i < size; i++)
        buf[i - 1] = src[i] ^ 0x5A;
    *out = buf;
    return size - 1;
}

TEST(Dib, CodecRecordsRoundTrip)
{
    CBitmap bitmap;
    MakePatternBitmap(bitmap, 3, 3);
    CDib dib;
    ASSERT_TRUE(dib.CreateFromBitmap(NULL, &bitmap, 24, FALSE));
    dib.SetCodec(&XorCodec);
    const std::string record = StoreToBytes(dib);
    EXPECT_EQ("BZ", record.substr(0, 2));
    CDib loaded;
    loaded.SetCodec(&XorCodec);
    EXPECT_EQ("ok", LoadFromBytes(loaded, record));
    EXPECT_EQ(BlockBytes(dib), BlockBytes(loaded));
}

int g_loaderCalls = 0;
HBITMAP CountingLoader(CFile*, COLORREF*, int)
{
    g_loaderCalls++;
    return NULL;
}

TEST(Dib, LoaderIsUsedOnlyForKindsOutsideTheFilter)
{
    CBitmap bitmap;
    MakePatternBitmap(bitmap, 2, 2);
    CDib good;
    ASSERT_TRUE(good.CreateFromBitmap(NULL, &bitmap, 24, FALSE));
    testsupport::ScratchDir dir("dir.with.dots");
    struct Row { const char* name; int loaderCalls; BOOL read; };
    const Row rows[] = {
        { "PICTURE.BMP", 0, TRUE },
        { "picture.dib", 0, TRUE },
        { "picture.png", 1, TRUE },    // loader declines: read as BM anyway
        { "picture", 1, TRUE },
    };
    for (const Row& row : rows) {
        const std::string path = dir.File(row.name);
        ASSERT_TRUE(testsupport::WriteFileBytes(path, good.GetBlock(), good.GetBlockSize()));
        CFile file(path.c_str(), CFile::modeRead);
        CDib dib;
        dib.SetImageLoader(&CountingLoader);
        g_loaderCalls = 0;
        EXPECT_EQ(row.read, dib.Read(&file, NULL, 0)) << row.name;
        EXPECT_EQ(row.loaderCalls, g_loaderCalls) << row.name;
        EXPECT_EQ(BlockBytes(good), BlockBytes(dib)) << row.name;
    }
}

TEST(Dib, IconKeyColourIsTheFirstUnusedCandidate)
{
    struct Row { std::vector<std::pair<int, DWORD>> counts; int expected; };
    const Row rows[] = {
        { { { 0, 50 }, { 1, 30 } }, 2 },                 // black and white used: grey
        { { { 0, 50 } }, 1 },                             // only black used: white
        { {}, 1 },
    };
    for (const Row& row : rows) {
        DWORD counts[16] = { 0 };
        for (auto& c : row.counts)
            counts[c.first] = c.second;
        EXPECT_EQ(row.expected, CDib::ChooseIconKey(counts));
    }
    DWORD all[16];
    for (int i = 0; i < 16; i++)
        all[i] = 10 + (i == 0 ? 5 : 0);
    all[7] = 3;
    all[9] = 3;
    EXPECT_EQ(7, CDib::ChooseIconKey(all)) << "smallest count, lowest index wins";
    EXPECT_EQ(0x808080u, CDib::kIconKeyCandidates[2]);
}

TEST(Dib, OneBitImageDrawsBlackAndWhiteAndKeepsItsTable)
{
    // A packed 1-bit 8 x 1 DIB whose table is red and blue.
    struct { BITMAPINFOHEADER h; RGBQUAD colours[2]; DWORD row; } packed = {};
    packed.h.biSize = sizeof(BITMAPINFOHEADER);
    packed.h.biWidth = 8;
    packed.h.biHeight = 1;
    packed.h.biPlanes = 1;
    packed.h.biBitCount = 1;
    packed.colours[0].rgbRed = 0xFF;
    packed.colours[1].rgbBlue = 0xFF;
    packed.row = 0xF0;   // first four pixels index 1
    HGLOBAL hMem = ::GlobalAlloc(GHND, sizeof(packed));
    memcpy(::GlobalLock(hMem), &packed, sizeof(packed));
    ::GlobalUnlock(hMem);
    CDib dib;
    ASSERT_TRUE(dib.Attach(hMem));
    ::GlobalFree(hMem);
    EXPECT_EQ(14u + sizeof(packed), dib.GetBlockSize());
    const std::string before = BlockBytes(dib);

    CDC mem;
    mem.CreateCompatibleDC(NULL);
    SIZE size;
    CGdiObject* old = dib.SelectIntoDC(&mem, &size);
    ASSERT_TRUE(old != NULL);
    EXPECT_EQ(8, size.cx);
    EXPECT_EQ(1, size.cy);
    EXPECT_EQ(RGB(255, 255, 255), mem.GetPixel(0, 0));
    EXPECT_EQ(RGB(0, 0, 0), mem.GetPixel(7, 0));
    HGDIOBJ made = mem.SelectObject(old->m_hObject);
    ::DeleteObject(made);
    EXPECT_EQ(before, BlockBytes(dib)) << "stored colour table unchanged";

    CDib empty;
    EXPECT_EQ(NULL, empty.SelectIntoDC(&mem, &size));
    EXPECT_EQ(0, size.cx);
    EXPECT_FALSE(empty.Draw(&mem, 0, 0));
}

TEST(Dib, EightBitCompressRequestFallsBackToPlainRowsWhenNeeded)
{
    CBitmap bitmap;
    MakePatternBitmap(bitmap, 6, 4);
    CDib dib;
    ASSERT_TRUE(dib.CreateFromBitmap(NULL, &bitmap, 8, TRUE));
    ASSERT_FALSE(dib.IsEmpty());
    const BITMAPINFOHEADER* ih = dib.GetInfoHeader();
    EXPECT_EQ(8, ih->biBitCount);
    if (ih->biCompression == BI_RGB)
        EXPECT_EQ(54u + 1024 + 8 * 4, dib.GetBlockSize());
    else
        EXPECT_EQ((DWORD)BI_RLE8, ih->biCompression);
    EXPECT_TRUE(CDib::IsValidBlock(dib.GetBlock(), dib.GetBlockSize()));
}

TEST(Dib, DrawAndStretchPaintTheImage)
{
    CBitmap bitmap;
    const std::vector<COLORREF> colours = MakePatternBitmap(bitmap, 3, 2);
    CDib dib;
    ASSERT_TRUE(dib.CreateFromBitmap(NULL, &bitmap, 24, FALSE));
    CDC screen;
    screen.Attach(::GetDC(NULL));
    CDC mem;
    mem.CreateCompatibleDC(&screen);
    CBitmap target;
    target.CreateCompatibleBitmap(&screen, 20, 20);
    CBitmap* old = mem.SelectObject(&target);
    ASSERT_TRUE(dib.Draw(&mem, 1, 1));
    EXPECT_EQ(colours[0], mem.GetPixel(1, 1));
    EXPECT_EQ(colours[5], mem.GetPixel(3, 2));
    ASSERT_TRUE(dib.Stretch(&mem, 10, 10, 6, 4));
    EXPECT_EQ(colours[5], mem.GetPixel(15, 13));
    mem.SelectObject(old);
    ::ReleaseDC(NULL, screen.Detach());
}

}  // namespace
