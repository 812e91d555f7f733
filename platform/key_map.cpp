#include "platform/key_map.h"

namespace {

KeyTranslation one(int character) {
    return KeyTranslation{KeyOutcome::Queue, KeyText{{static_cast<char>(character), 0}, 1}};
}

// Function, cursor and editing keys: 255, then the key's PC scan code.
KeyTranslation extended(int code) {
    return KeyTranslation{KeyOutcome::Queue, KeyText{{static_cast<char>(255), static_cast<char>(code)}, 2}};
}

constexpr KeyTranslation kIgnore{KeyOutcome::Ignore, KeyText{{0, 0}, 0}};

// The character a printable key types with Shift held, on a US layout. Other layouts
// still give one character per key, which is all the program asks of a key.
char shifted(char character) {
    switch (character) {
    case '1': return '!';
    case '2': return '@';
    case '3': return '#';
    case '4': return '$';
    case '5': return '%';
    case '6': return '^';
    case '7': return '&';
    case '8': return '*';
    case '9': return '(';
    case '0': return ')';
    case '-': return '_';
    case '=': return '+';
    case '[': return '{';
    case ']': return '}';
    case '\\': return '|';
    case ';': return ':';
    case '\'': return '"';
    case ',': return '<';
    case '.': return '>';
    case '/': return '?';
    case '`': return '~';
    default: return character;
    }
}

KeyTranslation printable(SDL_Keycode key, std::uint16_t modifiers) {
    const bool isLetter = key >= 'a' && key <= 'z';
    if (isLetter && (modifiers & KMOD_CTRL) != 0) {
        return one(key - 'a' + 1);
    }
    const bool shift = (modifiers & KMOD_SHIFT) != 0;
    if (isLetter) {
        const bool upper = shift != ((modifiers & KMOD_CAPS) != 0);
        return one(upper ? key - 'a' + 'A' : key);
    }
    return one(shift ? shifted(static_cast<char>(key)) : static_cast<char>(key));
}

} // namespace

KeyTranslation translateKey(SDL_Keycode key, std::uint16_t modifiers, bool repeat) {
    const bool alt = (modifiers & KMOD_ALT) != 0;
    const bool numLock = (modifiers & KMOD_NUM) != 0;
    switch (key) {
    // Modifiers and lock keys alone mean nothing.
    case SDLK_LSHIFT: case SDLK_RSHIFT:
    case SDLK_LCTRL: case SDLK_RCTRL:
    case SDLK_LALT: case SDLK_RALT:
    case SDLK_LGUI: case SDLK_RGUI:
    case SDLK_MODE:
    case SDLK_CAPSLOCK: case SDLK_NUMLOCKCLEAR: case SDLK_SCROLLLOCK:
        return kIgnore;

    case SDLK_RETURN: case SDLK_KP_ENTER:
        if (alt) {
            return KeyTranslation{repeat ? KeyOutcome::Ignore : KeyOutcome::ToggleFullScreen, KeyText{{0, 0}, 0}};
        }
        return one(13);
    case SDLK_ESCAPE: return one(27);
    case SDLK_BACKSPACE: return one(8);
    case SDLK_TAB: return one(9);

    case SDLK_F1: return extended(59);
    case SDLK_F2: return extended(60);
    case SDLK_F3: return extended(61);
    case SDLK_F4:
        if (alt) {
            return KeyTranslation{KeyOutcome::Queue, kCloseRequest};
        }
        return extended(62);
    case SDLK_F5: return extended(63);
    case SDLK_F6: return extended(64);
    case SDLK_F7: return extended(65);
    case SDLK_F8: return extended(66);
    case SDLK_F9: return extended(67);
    case SDLK_F10: return extended(68);
    case SDLK_F11: return extended(133);
    case SDLK_F12: return extended(134);
    case SDLK_HOME: return extended(71);
    case SDLK_UP: return extended(72);
    case SDLK_PAGEUP: return extended(73);
    case SDLK_LEFT: return extended(75);
    case SDLK_RIGHT: return extended(77);
    case SDLK_END: return extended(79);
    case SDLK_DOWN: return extended(80);
    case SDLK_PAGEDOWN: return extended(81);
    case SDLK_INSERT: return extended(82);
    case SDLK_DELETE: return extended(83);

    // The keypad types digits with Num Lock on, and moves the cursor with it off.
    case SDLK_KP_0: return numLock ? one('0') : extended(82);
    case SDLK_KP_1: return numLock ? one('1') : extended(79);
    case SDLK_KP_2: return numLock ? one('2') : extended(80);
    case SDLK_KP_3: return numLock ? one('3') : extended(81);
    case SDLK_KP_4: return numLock ? one('4') : extended(75);
    case SDLK_KP_5: return numLock ? one('5') : extended(76);
    case SDLK_KP_6: return numLock ? one('6') : extended(77);
    case SDLK_KP_7: return numLock ? one('7') : extended(71);
    case SDLK_KP_8: return numLock ? one('8') : extended(72);
    case SDLK_KP_9: return numLock ? one('9') : extended(73);
    case SDLK_KP_PERIOD: return numLock ? one('.') : extended(83);
    case SDLK_KP_DIVIDE: return one('/');
    case SDLK_KP_MULTIPLY: return one('*');
    case SDLK_KP_MINUS: return one('-');
    case SDLK_KP_PLUS: return one('+');

    default:
        break;
    }
    if (key >= ' ' && key <= '~') {
        return printable(key, modifiers);
    }
    // A key of the layout that types a character beyond ASCII.
    if (key > '~' && (key & SDLK_SCANCODE_MASK) == 0) {
        return one(key <= 255 ? key : '?');
    }
    // Any other key (media, system and the like) still ends the run.
    return extended(0);
}
