// What a key press means to the program: one character, two characters (255 and a
// code) for function, cursor and editing keys, nothing for modifiers and lock keys, or
// the display's own switch between full screen and a window.
#pragma once

#include <SDL2/SDL_keycode.h>

#include "platform/display.h"

enum class KeyOutcome {
    Ignore,
    Queue,
    ToggleFullScreen,
};

struct KeyTranslation {
    KeyOutcome outcome;
    KeyText text;
};

KeyTranslation translateKey(SDL_Keycode key, std::uint16_t modifiers, bool repeat);

// A request to close the window reaches the program as the key 255, 'k'.
constexpr KeyText kCloseRequest{{static_cast<char>(255), 'k'}, 2};
