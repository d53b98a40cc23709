// The standard headers go first: the timeline's headers bring in strsafe.h.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "XRVDirectShow/XRVDSTimeline.h"
#include "overlays/OverlayEllipse.h"
#include "overlays/OverlayImageAbove.h"
#include "overlays/OverlayRectangle.h"
#include "overlays/OverlaySpotlight.h"
#include "overlays/OverlayText.h"

#include <objbase.h>

// The timeline makes overlays by type name, without case; "Overlay" (the
// abstract base) and unknown names give none. The type name of a made
// overlay is the name it was made by.
TEST(TimelineOverlaySlots, CreatesOverlaysByTypeName)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED)));
    {
        XRVDSTimeline timeline(FALSE, FALSE);
        const struct {
            const char* name;
            CRuntimeClass* kind;
            const char* typeName;
        } cases[] = {
            {"text", RUNTIME_CLASS(COverlayText), "Text"},
            {"Text", RUNTIME_CLASS(COverlayText), "Text"},
            {"ELLIPSE", RUNTIME_CLASS(COverlayEllipse), "Ellipse"},
            {"Rectangle", RUNTIME_CLASS(COverlayRectangle), "Rectangle"},
            {"imageabove", RUNTIME_CLASS(COverlayImageAbove), "ImageAbove"},
            {"Spotlight", RUNTIME_CLASS(COverlaySpotlight), "Spotlight"},
            {"Overlay", NULL, NULL},
            {"Image", NULL, NULL},
            {"", NULL, NULL},
            {NULL, NULL, NULL},
        };
        for (const auto& c : cases) {
            std::unique_ptr<COverlay> o(timeline.CreateOverlayByName(c.name));
            if (!c.kind) {
                EXPECT_EQ(nullptr, o.get()) << (c.name ? c.name : "(null)");
                continue;
            }
            ASSERT_TRUE(o) << c.name;
            EXPECT_EQ(c.kind, o->GetRuntimeClass()) << c.name;
            EXPECT_STREQ(c.typeName, timeline.GetOverlayTypeName(o.get())) << c.name;
        }
        EXPECT_EQ(nullptr, timeline.GetOverlayTypeName(NULL));
    }
    CoUninitialize();
}
