// sound_platform.h - what the SDL sound output (sound_output_sdl.cpp) takes from
// the operating system, one file per system chosen by the build:
//   sound_output_sdl_linux.cpp    Linux: ALSA's error messages silenced
//   sound_output_sdl_windows.cpp  Windows: nothing to quiet
// The song file itself is read as every data file is (files/data_files.h).
#pragma once

// Before the audio device is opened: libraries it loads print nothing.
void sound_platform_quiet_output();
