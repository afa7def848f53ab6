// The player: arrow keys and Space, the use action's flash, sound and shake,
// and the camera that follows.
#pragma once

// One step of player control and the camera; the world step's first rule.
void player_step();
