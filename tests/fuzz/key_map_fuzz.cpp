// The key translation under arbitrary key codes, modifier states and repeat flags:
// whatever arrives, the result is one of the three outcomes with a text that fits it.
#include <cstdint>
#include <cstring>

#include "platform/key_map.h"

namespace {

void require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 7) {
        return 0;
    }
    SDL_Keycode key;
    std::uint16_t modifiers;
    std::memcpy(&key, data, 4);
    std::memcpy(&modifiers, data + 4, 2);
    const bool repeat = (data[6] & 1) != 0;

    const KeyTranslation result = translateKey(key, modifiers, repeat);
    switch (result.outcome) {
    case KeyOutcome::Queue:
        require(result.text.length == 1 || result.text.length == 2);
        require(result.text.length == 1 || static_cast<unsigned char>(result.text.chars[0]) == 255);
        break;
    case KeyOutcome::Ignore:
        require(result.text.length == 0);
        break;
    case KeyOutcome::ToggleFullScreen:
        require(result.text.length == 0 && !repeat && (modifiers & KMOD_ALT) != 0);
        require(key == SDLK_RETURN || key == SDLK_KP_ENTER);
        break;
    default:
        require(false);
    }
    const bool modifierAlone = key == SDLK_LSHIFT || key == SDLK_RSHIFT || key == SDLK_LCTRL || key == SDLK_RCTRL ||
                               key == SDLK_LALT || key == SDLK_RALT || key == SDLK_LGUI || key == SDLK_RGUI ||
                               key == SDLK_CAPSLOCK || key == SDLK_NUMLOCKCLEAR || key == SDLK_SCROLLLOCK;
    require(!modifierAlone || result.outcome == KeyOutcome::Ignore);
    return 0;
}
