// What the player is told beyond standard error: a log they can find where a
// program started from the desktop has no terminal, and the advice that goes
// with art missing where the game looks for it.
#pragma once

#include <string>

// Adds text (whole lines) to this run's part of the player's log: on Windows
// %LOCALAPPDATA%\Quillmoor\quillmoor.log, the newest run last, each run under a
// line "-- " and its local date and time, its oldest runs dropped so that it stays
// under PLAT_LOG_BOUND bytes; elsewhere nothing (standard error is the log
// there). 0 when the log could not be written.
int plat_log_write(const std::string& text);
// Ends this run's part of the log: the next text begins another run.
void plat_log_end();
const size_t PLAT_LOG_BOUND = 64u << 10;

// How this system's game is laid out, said when its art is missing, as
// " (...)"; "" when there is no advice to give.
std::string plat_art_advice();
