#include "CatalogueTestUtil.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

namespace cattest {

std::string DataPath(const std::string& name)
{
    return testsupport::SourceDir() + "\\tests\\catalogue\\data\\" + name;
}

std::string Golden(const std::string& name)
{
    std::string bytes;
    EXPECT_TRUE(testsupport::ReadFileBytes(DataPath(name + ".expected"), &bytes)) << name;
    return bytes;
}

std::string FileBytes(const std::string& path)
{
    std::string bytes;
    testsupport::ReadFileBytes(path, &bytes);
    return bytes;
}

CDib* DibFromPacked(const std::string& packed)
{
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, packed.size());
    memcpy(::GlobalLock(h), packed.data(), packed.size());
    ::GlobalUnlock(h);
    CDib* dib = new CDib;
    EXPECT_TRUE(dib->Attach(h));
    ::GlobalFree(h);
    return dib;
}

CCatalogueOb* MakeShapeItem()
{
    CCatalogueOb* item = new CCatalogueOb;
    item->SetName("形状-1");
    item->AddNamedRendering("Skorvale Format", "\x01\x02\x03", 3);
    item->SetIconImages(DibFromPacked(Golden("icon_image.dib")), DibFromPacked(Golden("icon_mask.dib")));
    return item;
}

CCatalogueOb* MakeNoteItem()
{
    CCatalogueOb* item = new CCatalogueOb;
    item->SetName("Note");
    item->AddNamedRendering("Skorvale Note", "abcd", 4);
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, 2);
    memcpy(::GlobalLock(h), "\x10\x20", 2);
    ::GlobalUnlock(h);
    EXPECT_TRUE(item->AddRendering(CF_BITMAP, h));
    ::GlobalFree(h);
    return item;
}

void FillTwoItems(CCataloguePropertyObject& cat)
{
    cat.InsertItem(0, MakeShapeItem());
    cat.InsertItem(1, MakeNoteItem());
}

std::string Hex(const void* p, size_t n)
{
    if (n == 0)
        return "-";
    std::string out;
    char b[3];
    for (size_t i = 0; i < n; i++) {
        snprintf(b, sizeof(b), "%02x", ((const BYTE*)p)[i]);
        out += b;
    }
    return out;
}

namespace {
std::string Describe(const char* kind, const CCatalogueOb* item, DWORD record)
{
    auto size = [](const CDib* d) { return d ? std::to_string(d->GetBlockSize()) : std::string("-"); };
    const CString& name = item->GetName();
    std::string out = std::string(kind) + " " + Hex(name.GetString(), name.GetLength()) + " image " +
                      size(item->GetIconImage()) + " mask " + size(item->GetIconMask()) + " record " +
                      std::to_string(record) + "\n";
    for (int i = 0; i < item->GetRenderingCount(); i++) {
        const CCatalogueOb::Rendering& r = item->GetRendering(i);
        out += " r " + std::to_string(r.format) + " " + Hex(r.name.GetString(), r.name.GetLength()) + " " +
               Hex(r.bytes.data(), r.bytes.size()) + "\n";
    }
    return out;
}
}  // namespace

std::string Listing(const CCataloguePropertyObject& cat)
{
    char v[32];
    snprintf(v, sizeof(v), "version 0x%08lx\n", (unsigned long)cat.m_version);
    std::string out = v;
    for (int i = 0; i < cat.GetItemCount(); i++)
        out += Describe("item", cat.GetItem(i), cat.GetItemOffset(i));
    out += Describe("property", cat.GetPropertyItem(), cat.GetPropertyOffset());
    return out;
}

}  // namespace cattest
