// The screen notes' image editor as the program registers it: blank
// pictures for new shapes, and refusals of what cannot be edited.
#include "app/ShapeImageEditor.h"
#include "controls/Dib.h"

#include <gtest/gtest.h>

// A blank picture is white, of the size and depth asked for (an unknown
// depth gives 24 bits); sizes below 1 or absurdly large are refused.
TEST(ShapeImageEditor, BlankPicturesAreWhiteOfTheSizeAsked)
{
    CShapeImageEditor editor;
    const struct {
        int width, height, bits;
        BOOL made;
        int storedBits;
    } cases[] = {
        {64, 48, 24, TRUE, 24}, {1, 1, 8, TRUE, 8}, {33, 7, 7, TRUE, 24}, {16, 16, 32, TRUE, 32},
        {0, 10, 24, FALSE, 0},  {10, -1, 24, FALSE, 0}, {100000, 10, 24, FALSE, 0},
    };
    for (const auto& c : cases) {
        CDib image;
        EXPECT_EQ(c.made, editor.CreateBlankImage(c.width, c.height, c.bits, &image))
            << c.width << "x" << c.height << "x" << c.bits;
        if (!c.made) {
            EXPECT_TRUE(image.IsEmpty());
            continue;
        }
        EXPECT_EQ(c.width, image.GetWidth());
        EXPECT_EQ(c.height, image.GetHeight());
        EXPECT_EQ(c.storedBits, image.GetBitCount());
        // Drawn back, the middle is white.
        HDC screen = GetDC(NULL);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP target = CreateCompatibleBitmap(screen, c.width, c.height);
        ReleaseDC(NULL, screen);
        HGDIOBJ old = SelectObject(memory, target);
        RECT all = {0, 0, c.width, c.height};
        FillRect(memory, &all, (HBRUSH)GetStockObject(BLACK_BRUSH));
        EXPECT_TRUE(image.Draw(CDC::FromHandle(memory), 0, 0));
        EXPECT_EQ(RGB(255, 255, 255), GetPixel(memory, c.width / 2, c.height / 2) & 0xFFFFFF);
        SelectObject(memory, old);
        DeleteObject(target);
        DeleteDC(memory);
    }
    EXPECT_FALSE(editor.CreateBlankImage(8, 8, 24, NULL));
}

TEST(ShapeImageEditor, NothingToEditIsRefused)
{
    CShapeImageEditor editor;
    HBITMAP colour = NULL, mask = NULL;
    EXPECT_FALSE(editor.EditIcon(NULL, &colour, &mask, 32)) << "no picture";
    EXPECT_FALSE(editor.EditIcon(NULL, NULL, &mask, 32));
    EXPECT_EQ(0, editor.EditShapeImage(NULL, NULL, NULL));
    EXPECT_FALSE(editor.OpenItemImageEditor(NULL, NULL, NULL));
}
