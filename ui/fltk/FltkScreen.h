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
// The layout's faces: Tahoma where the desktop has it, else the metric
// twin that Debian ships with Wine's fonts, given to the toolkit as an
// application font. Returns the body face's and the bold face's numbers.
void LoadLayoutFaces(int& body, int& bold);

} // namespace qv::ui
