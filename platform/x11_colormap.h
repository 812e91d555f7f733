// The palette as the hardware's own on an 8-bit PseudoColor X screen: the window gets a
// colormap of its own whose cells are the palette's entries, so the page's indices go to
// the screen as they are and a palette change is 256 colour cells, nothing redrawn.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

// The visual id of an 8-bit PseudoColor default visual, or 0 where the screen's default
// visual is anything else.
unsigned long pseudoColorVisual(Display* display);

// A colormap of every cell for the window's visual, set on the window and, where no
// window manager does that, installed. None where the server refuses.
Colormap makePaletteColormap(Display* display, Window window, bool install);

// Stores the 256 entries, each component a level 0..63 shown as floor(L x 255 / 63).
void storePalette(Display* display, Colormap colormap, const std::uint8_t (*levels)[3]);
