#include "Win32Paint.h"

#include <algorithm>

namespace qv::ui {

namespace {

using namespace app::layout;
// The logo's name box starts this far below the logo's top.
constexpr int kLogoNameBoxTop = 14;

COLORREF Blend(COLORREF from, COLORREF to, int step, int steps) {
    if (steps <= 0) return from;
    auto channel = [&](int shift) {
        const int a = static_cast<int>((from >> shift) & 0xFF);
        const int b = static_cast<int>((to >> shift) & 0xFF);
        return static_cast<COLORREF>(a + (b - a) * step / steps) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

void FillEllipse(HDC dc, int cx, int cy, int radius, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    Ellipse(dc, cx - radius, cy - radius, cx + radius + 1, cy + radius + 1);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

void FrameRectangle(HDC dc, const RECT& area, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FrameRect(dc, &area, brush);
    DeleteObject(brush);
}

} // namespace

GradientCanvas::~GradientCanvas() {
    Release();
}

void GradientCanvas::Release() {
    if (memory_ != nullptr) {
        SelectObject(memory_, previous_);
        DeleteDC(memory_);
    }
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    if (brush_ != nullptr) DeleteObject(brush_);
    memory_ = nullptr;
    bitmap_ = nullptr;
    brush_ = nullptr;
}

void GradientCanvas::Rebuild(int width, int height, COLORREF top, COLORREF bottom) {
    Release();
    HDC screen = GetDC(nullptr);
    memory_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    previous_ = SelectObject(memory_, bitmap_);
    // One pixel row per colour step keeps the ramp smooth at any height.
    for (int row = 0; row < height; ++row) {
        RECT line{0, row, width, row + 1};
        HBRUSH brush = CreateSolidBrush(Blend(top, bottom, row, height - 1));
        FillRect(memory_, &line, brush);
        DeleteObject(brush);
    }
    brush_ = CreatePatternBrush(bitmap_);
}

void GradientCanvas::PaintBehind(HDC target, const RECT& area) const {
    if (memory_ == nullptr) return;
    BitBlt(target, 0, 0, area.right - area.left, area.bottom - area.top, memory_, area.left,
           area.top, SRCCOPY);
}

void AlignBrushWithParent(HDC childDc, HWND child) {
    POINT origin{0, 0};
    MapWindowPoints(child, GetParent(child), &origin, 1);
    SetBrushOrgEx(childDc, -origin.x, -origin.y, nullptr);
}

void DrawLogo(HDC dc, const RECT& area, HFONT nameFont, HFONT taglineFont) {
    const LogoShape logo = LogoIn(area.left, area.top, area.bottom - area.top);
    FillEllipse(dc, logo.centreX, logo.centreY, logo.radius, kDiscRim);
    FillEllipse(dc, logo.centreX, logo.centreY, SheenRadius(logo.radius), kDiscSheen);
    FillEllipse(dc, logo.centreX, logo.centreY, LabelRadius(logo.radius), kDiscLabel);
    FillEllipse(dc, logo.centreX, logo.centreY, HoleRadius(logo.radius), kDiscHole);

    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kText);
    RECT text{logo.textLeft, area.top + kLogoNameBoxTop, area.right, logo.nameBottom};
    HGDIOBJ old = SelectObject(dc, nameFont);
    DrawTextA(dc, kLogoName, -1, &text, DT_LEFT | DT_BOTTOM | DT_SINGLELINE);
    SelectObject(dc, taglineFont);
    text.top = text.bottom;
    text.bottom = area.bottom;
    DrawTextA(dc, kLogoTagline, -1, &text, DT_LEFT | DT_TOP | DT_SINGLELINE);
    SelectObject(dc, old);
}

void DrawGauge(HDC dc, const RECT& area, int position, int maximum, COLORREF bar, COLORREF back) {
    HBRUSH background = CreateSolidBrush(back);
    FillRect(dc, &area, background);
    DeleteObject(background);
    if (maximum <= 0 || position <= 0) return;
    RECT filled = area;
    const int width = area.right - area.left;
    filled.right = area.left + static_cast<int>(static_cast<long long>(width) *
                                                std::min(position, maximum) / maximum);
    HBRUSH brush = CreateSolidBrush(bar);
    FillRect(dc, &filled, brush);
    DeleteObject(brush);
}

void DrawFlatButton(HDC dc, const RECT& area, const char* caption, HFONT font,
                    const FlatButtonLook& look) {
    if (look.pressed) {
        HBRUSH fill = CreateSolidBrush(kPressedFill);
        FillRect(dc, &area, fill);
        DeleteObject(fill);
    }
    FrameRectangle(dc, area, look.enabled ? kText : kGreyedText);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, look.enabled ? kText : kGreyedText);
    HGDIOBJ old = SelectObject(dc, font);
    RECT text = area;
    if (look.pressed) OffsetRect(&text, 1, 1);
    DrawTextA(dc, caption, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
    if (look.focused) {
        RECT focus = area;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(dc, &focus);
    }
}

} // namespace qv::ui
