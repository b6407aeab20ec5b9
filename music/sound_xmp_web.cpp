// The sound layer's browser side: SDL's Web Audio output prints nothing.
#include "music/sound_platform.h"

void sound_platform_quiet_output() {}
