#include "tests/camera/CameraPicture.h"
#include "tests/camera/TestCameraIds.h"

CameraPicture ReadCameraPicture(const BYTE* bits, LONG width, LONG height)
{
    CameraPicture p = {0, 0, {0, 0, 0}, true};
    const LONG stride = (width * 3 + 3) & ~3;
    const LONG block = width / kTestCameraBits;
    auto pixel = [&](LONG x, LONG y) { return bits + (height - 1 - y) * stride + x * 3; };
    for (int band = 0; band < 2; ++band) {
        DWORD value = 0;
        for (int bit = 0; bit < kTestCameraBits; ++bit) {
            const BYTE* px = pixel(bit * block + block / 2, band * block + block / 2);
            const int sum = px[0] + px[1] + px[2];
            if (sum > 100 * 3 && sum < 155 * 3)
                p.readable = false;
            value = (value << 1) | (sum >= 128 * 3 ? 1 : 0);
        }
        (band == 0 ? p.frame : p.milliseconds) = value;
    }
    const BYTE* bg = pixel(width - 1, height - 1);
    p.background[0] = bg[2];
    p.background[1] = bg[1];
    p.background[2] = bg[0];
    return p;
}
