// The screen in a window or full screen, screenshots, and the program's only exit.
#pragma once

#include <string>

// Closes the screen, shows message in a box unless it is empty, fades the sounds
// out, shuts the runtime down and ends the process with exit code 0.
[[noreturn]] void fatal_error(const std::string& message);
// Each runtime module's release step, in order.
void shutdown_runtime();
