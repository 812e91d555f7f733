#include <gtest/gtest.h>

#include <string>

#include "platform/key_map.h"

namespace {

std::string text(const KeyTranslation& key) { return std::string(key.text.chars, key.text.chars + key.text.length); }

const std::string kExtended(1, static_cast<char>(255));

} // namespace

TEST(TranslateKey, CharactersFunctionKeysAndNothing) {
    struct Case {
        const char* what;
        SDL_Keycode key;
        std::uint16_t modifiers;
        KeyOutcome outcome;
        std::string text;
    };
    const Case cases[] = {
        {"letter", SDLK_a, KMOD_NONE, KeyOutcome::Queue, "a"},
        {"shifted letter", SDLK_q, KMOD_LSHIFT, KeyOutcome::Queue, "Q"},
        {"caps lock letter", SDLK_q, KMOD_CAPS, KeyOutcome::Queue, "Q"},
        {"shifted caps lock letter", SDLK_q, KMOD_CAPS | KMOD_RSHIFT, KeyOutcome::Queue, "q"},
        {"digit", SDLK_7, KMOD_NONE, KeyOutcome::Queue, "7"},
        {"shifted digit", SDLK_7, KMOD_LSHIFT, KeyOutcome::Queue, "&"},
        {"punctuation", SDLK_SEMICOLON, KMOD_NONE, KeyOutcome::Queue, ";"},
        {"shifted punctuation", SDLK_SLASH, KMOD_LSHIFT, KeyOutcome::Queue, "?"},
        {"space", SDLK_SPACE, KMOD_NONE, KeyOutcome::Queue, " "},
        {"enter", SDLK_RETURN, KMOD_NONE, KeyOutcome::Queue, "\r"},
        {"escape", SDLK_ESCAPE, KMOD_NONE, KeyOutcome::Queue, "\x1b"},
        {"backspace", SDLK_BACKSPACE, KMOD_NONE, KeyOutcome::Queue, "\b"},
        {"tab", SDLK_TAB, KMOD_NONE, KeyOutcome::Queue, "\t"},
        {"ctrl+a", SDLK_a, KMOD_LCTRL, KeyOutcome::Queue, "\x01"},
        {"ctrl+z", SDLK_z, KMOD_RCTRL, KeyOutcome::Queue, "\x1a"},
        {"alt+letter", SDLK_x, KMOD_LALT, KeyOutcome::Queue, "x"},
        {"keypad digit with num lock", SDLK_KP_8, KMOD_NUM, KeyOutcome::Queue, "8"},
        {"keypad digit without num lock", SDLK_KP_8, KMOD_NONE, KeyOutcome::Queue, kExtended + "H"},
        {"F1", SDLK_F1, KMOD_NONE, KeyOutcome::Queue, kExtended + ";"},
        {"F12", SDLK_F12, KMOD_NONE, KeyOutcome::Queue, kExtended + "\x86"},
        {"left arrow", SDLK_LEFT, KMOD_NONE, KeyOutcome::Queue, kExtended + "K"},
        {"delete", SDLK_DELETE, KMOD_NONE, KeyOutcome::Queue, kExtended + "S"},
        {"page down", SDLK_PAGEDOWN, KMOD_NONE, KeyOutcome::Queue, kExtended + "Q"},
        {"F4", SDLK_F4, KMOD_NONE, KeyOutcome::Queue, kExtended + ">"},
        {"alt+F4 asks to close", SDLK_F4, KMOD_LALT, KeyOutcome::Queue, kExtended + "k"},
        {"a key of another layout", 0xE9, KMOD_NONE, KeyOutcome::Queue, "\xe9"},
        {"a media key", SDLK_AUDIOPLAY, KMOD_NONE, KeyOutcome::Queue, kExtended + std::string(1, '\0')},
        {"alt+enter", SDLK_RETURN, KMOD_LALT, KeyOutcome::ToggleFullScreen, ""},
        {"alt+keypad enter", SDLK_KP_ENTER, KMOD_RALT, KeyOutcome::ToggleFullScreen, ""},
        {"left shift", SDLK_LSHIFT, KMOD_LSHIFT, KeyOutcome::Ignore, ""},
        {"right shift", SDLK_RSHIFT, KMOD_NONE, KeyOutcome::Ignore, ""},
        {"ctrl", SDLK_LCTRL, KMOD_NONE, KeyOutcome::Ignore, ""},
        {"right ctrl", SDLK_RCTRL, KMOD_NONE, KeyOutcome::Ignore, ""},
        {"alt", SDLK_LALT, KMOD_NONE, KeyOutcome::Ignore, ""},
        {"alt gr", SDLK_RALT, KMOD_NONE, KeyOutcome::Ignore, ""},
        {"super", SDLK_LGUI, KMOD_NONE, KeyOutcome::Ignore, ""},
        {"caps lock", SDLK_CAPSLOCK, KMOD_NONE, KeyOutcome::Ignore, ""},
        {"num lock", SDLK_NUMLOCKCLEAR, KMOD_NONE, KeyOutcome::Ignore, ""},
        {"scroll lock", SDLK_SCROLLLOCK, KMOD_NONE, KeyOutcome::Ignore, ""},
    };
    for (const Case& c : cases) {
        const KeyTranslation key = translateKey(c.key, c.modifiers, false);
        EXPECT_EQ(key.outcome, c.outcome) << c.what;
        EXPECT_EQ(text(key), c.text) << c.what;
    }
}

TEST(TranslateKey, AltEnterIgnoresAutoRepeatButOtherKeysRepeat) {
    EXPECT_EQ(translateKey(SDLK_RETURN, KMOD_LALT, true).outcome, KeyOutcome::Ignore);
    EXPECT_EQ(translateKey(SDLK_a, KMOD_NONE, true).outcome, KeyOutcome::Queue);
}
