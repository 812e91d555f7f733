// The indexed-colour display and keyboard, as the animation sees it.
//
// One 640x480 page of 8-bit colour indices under a 256-entry palette. The display
// refreshes the screen from the page and the palette on a thread of its own; the
// animation only draws, sets palette entries and polls keys, and never asks for a
// refresh. Every operation here holds the display's one lock while it runs:
// fillCircle for a whole disc, setPaletteEntry for its own entry only.
//
// With no display open, every operation does nothing and pollKey returns empty text.
#pragma once

#include <cstdint>

// The text of one key: empty, one character for a key that types one, or two
// characters, the first of code 255, for function, cursor and editing keys and for a
// request to close the window (255, 'k'). Plain data, so a poll never allocates.
struct KeyText {
    char chars[2];
    std::int32_t length;

    bool empty() const { return length == 0; }
};

void openDisplay(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel,
                 std::int32_t pages, bool fullScreen, std::int32_t refreshRate);
void hidePointer(std::int32_t x, std::int32_t y, std::int32_t visible);
void setPaletteEntry(std::int32_t index, std::int32_t red, std::int32_t green, std::int32_t blue);
void fillCircle(float x, float y, float radius, std::int32_t colour);
KeyText pollKey();
void pauseMs(std::int32_t milliseconds);
void closeDisplay();
