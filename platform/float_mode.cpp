#include "platform/float_mode.h"

#include <cfenv>

#if defined(__x86_64__) || defined(__i386__)
#include <fpu_control.h>
#endif

void setFloatMode() {
#if defined(__x86_64__) || defined(__i386__)
    // Extended precision, round to nearest, all exceptions masked. This is the Linux
    // default, set again so that nothing inherited from the loader or a library changes
    // the numbers the disc computes where they go through the x87.
    fpu_control_t mode = _FPU_EXTENDED | _FPU_RC_NEAREST | _FPU_MASK_IM | _FPU_MASK_DM |
                         _FPU_MASK_ZM | _FPU_MASK_OM | _FPU_MASK_UM | _FPU_MASK_PM;
    _FPU_SETCW(mode);
#endif
    std::fesetround(FE_TONEAREST);
}
