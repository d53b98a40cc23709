#pragma once
// Shared pieces of the catalogue tests: golden files, the two-item library
// of the goldens built through the program's own classes, and a listing of a
// catalogue in the form the independent Python reader prints.
#include "catalogue/CatalogueOb.h"
#include "catalogue/CataloguePropertyObject.h"
#include "controls/Dib.h"
#include "TestSupport.h"

#include <string>

namespace cattest {

std::string DataPath(const std::string& name);
// The bytes of tests/catalogue/data/<name>.expected.
std::string Golden(const std::string& name);
std::string FileBytes(const std::string& path);
// A picture made from a packed DIB (no file header), as the goldens hold it.
CDib* DibFromPacked(const std::string& packed);
// The two items of the goldens' two-item library.
CCatalogueOb* MakeShapeItem();
CCatalogueOb* MakeNoteItem();
void FillTwoItems(CCataloguePropertyObject& cat);
// version, items and property item with record offsets, pictures' block
// sizes and every rendering, as data/library_reader.py prints them.
std::string Listing(const CCataloguePropertyObject& cat);
std::string Hex(const void* p, size_t n);

}  // namespace cattest
