// The game's main routine: start-up, the frame loop, and the way out.
#pragma once

// Starts the runtime and the game, runs frames until a quit is requested, and
// ends the process through fatal_error(""). Never returns.
[[noreturn]] void game_main();

// Start-up up to the first frame; ends the process through fatal_error when the
// display, the keyboard or the first screen fails.
void game_startup();
// The world's rules for one frame in their order, or only the caption input
// while a caption is shown.
void world_step();
// One frame: events, clock, keyboard, world step or caption input, drawing, keys.
void game_frame();

struct Entity;
// Frame step 8: the ground panels under the camera, a one-frame flash colour in
// their place, or black during the ending.
void draw_background();
// Frame step 9 for one entity: its shake offset, frame and facing, drawn keyed.
void draw_entity(const Entity* e);
