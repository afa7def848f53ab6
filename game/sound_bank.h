// The game's eleven sounds, numbers 0 to 10, each from one WAV file under .\hear\.
#pragma once

// Loads sounds 0 to 10 from their files; a file that fails leaves its number
// empty, except sound 10, which then takes iii.wav (sound 3's file). Returns 0.
int load_sounds();
