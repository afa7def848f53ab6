// The folder the game works in: the current one when it holds see/ and hear/;
// else the player's own folder, made from the installed art and sounds.
#pragma once

#include <string>

// Picks the working folder and enters it; installed is the folder of the
// installed see/ and hear/. Returns 0 when the game will run without pictures
// or sounds, with one line a fault appended to *report.
int work_folder_choose(const std::string& installed, std::string* report);
