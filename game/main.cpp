#include "game/frame_loop.h"

int main() { game_main(); }
