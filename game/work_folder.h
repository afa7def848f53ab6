// The folder the game works in: the current one when it holds see/ and hear/;
// else the player's own folder, made from the installed art and sounds; else,
// when that cannot be had, the installed folder itself.
#pragma once

#include <string>

// Picks the working folder and enters it; installed is the folder of the
// installed see/ and hear/. What the player should know (a folder that cannot
// be made, a stray entry, files of the player's own standing in for installed
// ones, missing art) goes to *report, one line a fault.
// Returns 0 when the game will run without pictures or sounds.
int work_folder_choose(const std::string& installed, std::string* report);
// Where the game finds one of its files (".\see\sir0.png"): in the working
// folder, or in the installed folder when an entry there (a stray folder of the
// player's) kept it from being linked.
std::string work_folder_file(const std::string& name);
// 1 when the game's own files (scaled copies, screenshots) may be written in the
// working folder; 0 in the installed folder, which is not the game's to write,
// and in a folder without the art.
int work_folder_writable();
// Where the game keeps a small file of its own ("played"): in the working
// folder when it is the game's (its data folder or the player's folder), else
// in the player's settings folder beside keys.conf; "" when there is none.
std::string work_folder_own_file(const char* name);
// Writes text as that file, making the settings folder when it goes there; 0
// when it could not be written.
int work_folder_keep(const char* name, const std::string& text);
// A file of the working folder ("see/screen1.bmp") named as the player finds
// it: as it is in the folder the game was started in; in the player's folder,
// with that folder in front ("~/.local/share/quillmoor/see/screen1.bmp").
std::string work_folder_shown(const std::string& name);
