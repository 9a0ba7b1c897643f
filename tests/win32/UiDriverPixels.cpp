#include "UiDriver.h"

#include <cstdio>
#include <cstdlib>

namespace qv::uidriver {

namespace {

constexpr int kBitsPerPixel = 32;
constexpr unsigned kColourMask = 0xFFFFFF;
constexpr int kHexBase = 16;

// The client area as the screen shows it, one 0xRRGGBB value per pixel,
// rows from the top. Copying through a 32-bit DIB resolves a palette
// screen's indices into the colours the user sees.
std::vector<unsigned> CaptureClient(HWND window, int& width, int& height) {
    RECT client{};
    GetClientRect(window, &client);
    width = client.right;
    height = client.bottom;
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = kBitsPerPixel;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* words = static_cast<const unsigned*>(bits);
    std::vector<unsigned> pixels(words, words + static_cast<size_t>(width) * height);
    for (unsigned& pixel : pixels)
        pixel &= kColourMask; // a DIB's 32-bit pixel is 0x00RRGGBB already
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, source);
    return pixels;
}

int Number(const std::string& word) {
    return static_cast<int>(std::strtol(word.c_str(), nullptr, 10));
}

} // namespace

// pixel X Y: the colour at a point of the client area.
void PrintPixel(Context& context, int x, int y) {
    int width = 0, height = 0;
    const std::vector<unsigned> pixels = CaptureClient(context.window, width, height);
    if (x < 0 || y < 0 || x >= width || y >= height) {
        std::printf("pixel %d,%d outside\n", x, y);
        return;
    }
    std::printf("pixel %d,%d %06X\n", x, y, pixels[static_cast<size_t>(y) * width + x]);
}

// count RRGGBB LEFT TOP WIDTH HEIGHT: how many pixels of a rectangle of the
// client area have exactly that colour.
void CountColour(Context& context, std::vector<std::string>& words) {
    const auto colour =
        static_cast<unsigned>(std::strtoul(words[0].c_str(), nullptr, kHexBase)) & kColourMask;
    const int left = Number(words[1]), top = Number(words[2]);
    const int right = left + Number(words[3]), bottom = top + Number(words[4]);
    words.erase(words.begin(), words.begin() + 5);
    int width = 0, height = 0;
    const std::vector<unsigned> pixels = CaptureClient(context.window, width, height);
    long count = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, height); ++y)
        for (int x = std::max(left, 0); x < std::min(right, width); ++x)
            if (pixels[static_cast<size_t>(y) * width + x] == colour) ++count;
    std::printf("count %06X %ld\n", colour, count);
}

} // namespace qv::uidriver
