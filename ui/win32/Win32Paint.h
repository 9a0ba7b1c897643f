#pragma once
// The window dressing's painting: the frame's vertical gradient kept in one
// bitmap, so every transparently painted component copies the part of it
// that lies behind it and the seams never show; the logo; the flat buttons.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "app/WindowLayout.h"

namespace qv::ui {

class GradientCanvas {
public:
    GradientCanvas() = default;
    GradientCanvas(const GradientCanvas&) = delete;
    GradientCanvas& operator=(const GradientCanvas&) = delete;
    ~GradientCanvas();

    // Colours are 0x00BBGGRR values, top and bottom of the client area.
    void Rebuild(int width, int height, COLORREF top, COLORREF bottom);
    // Copies what lies behind `area` (client coordinates) to `target` at 0, 0.
    void PaintBehind(HDC target, const RECT& area) const;
    // A brush that shows the gradient behind a child at `origin` once the
    // child's DC gets the brush origin from BrushOrigin.
    HBRUSH Brush() const { return brush_; }

private:
    void Release();

    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    HBRUSH brush_ = nullptr;
};

// Aligns a child's brush origin with the parent's client area.
void AlignBrushWithParent(HDC childDc, HWND child);

// Our own logo: a disc and the maker's name, drawn over what is already there.
void DrawLogo(HDC dc, const RECT& area, HFONT nameFont, HFONT taglineFont);

// A flat gauge without border or text: the filled part in `bar` on `back`.
void DrawGauge(HDC dc, const RECT& area, int position, int maximum, COLORREF bar, COLORREF back);

// A flat button: a thin frame and its caption, over the gradient.
struct FlatButtonLook {
    bool pressed = false;
    bool focused = false;
    bool enabled = true;
};
void DrawFlatButton(HDC dc, const RECT& area, const char* caption, HFONT font,
                    const FlatButtonLook& look);

} // namespace qv::ui
