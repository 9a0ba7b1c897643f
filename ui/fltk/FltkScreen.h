#pragma once
// What the window needs of the display itself, kept apart so that the
// display's own headers stay out of every other file.

#include <functional>

class Fl_Window;

namespace qv::ui {

// Opens FLTK's display connection; false when there is no display to open.
bool OpenDesktopDisplay();
// Bits per pixel of the display's visual (opened first).
int DesktopDepth();
// The display's end (its server gone) as a call on the window thread, where
// Xlib notices it. Xlib ends the process once the handler returns, so
// onLoss must not return: it finishes the run without the display and ends
// the process itself. Without onLoss (or when it returns) the process ends
// with the start-up's failure code.
void WatchDisplayLoss(std::function<void()> onLoss);
// Moves a shown window to the place it holds, off the screen's edges too.
void KeepWindowPlace(Fl_Window& window);
// The line height of the toolkit's current font as the desktop's text
// controls space lines: the face's whole height, rounded once (the
// toolkit's own height rounds ascent and descent up each, a pixel more).
int CurrentFontLineHeight();
// The layout's faces, by the desktop's font names: the body face and the
// heavy face of the progress label and the logo. Returns their numbers.
void LoadLayoutFaces(int& body, int& bold);

} // namespace qv::ui
