// Linux and the browser: standard error is the log (a terminal, the desktop's
// journal); art is missing when the game is started outside its data folder.
#include "runtime/platform/plat_report.h"

int plat_log_write(const std::string&) { return 1; }
void plat_log_end() {}

std::string plat_art_advice() { return " (start the game from its data folder, build/data)"; }
