// The sound layer's Windows side: nothing needs quieting.
#include "music/sound_platform.h"

void sound_platform_quiet_output() {}
