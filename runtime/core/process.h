// The program as a process: its standard streams, the requests to end that
// come from outside (a desktop logging out, Ctrl+C, a closed terminal), and its exit.
#pragma once

#include <string>

// First thing in main: standard input, output and error that are closed are
// opened on the null device (so that no file opened later, such as the display
// connection, takes their numbers and gets stray writes); a write to a closed
// pipe fails as a write instead of ending the process; and the requests to end
// are caught (process_catch_quit). 0 when any of that failed.
int process_start();
// catch 1: from now on a request to end only notes itself, once; a second one
// ends the process at once. One the process was started ignoring stays ignored.
// Again while caught, nothing changes and a request already noted is kept.
// catch 0: they are given back as they were before. 0 on failure.
int process_catch_quit(int catch_them);
// 1 when a request to end came since they were caught.
int process_quit_requested();
// What the player is told: text (whole lines) goes to standard error and to the
// player's log, where the system keeps one (Windows: quillmoor.log in the
// player's folder). 0 when standard error did not take it.
int process_report(const std::string& text);
// Adds text (whole lines) to the player's log only: what a message box showed.
void process_log(const std::string& text);
// Ends the process with the given code.
[[noreturn]] void process_exit(int code);
