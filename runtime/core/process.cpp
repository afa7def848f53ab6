#include "runtime/core/process.h"

#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_report.h"

#include <cstdio>

int process_start() {
  int ok = plat_process_start();
  return process_catch_quit(1) && ok;
}

int process_catch_quit(int catch_them) { return plat_quit_signals(catch_them); }

int process_quit_requested() { return plat_quit_signalled(); }

void process_exit(int code) { plat_exit(code); }

int process_report(const std::string& text) {
  if (text.empty()) return 1;
  plat_log_write(text);
  return fputs(text.c_str(), stderr) >= 0 && fflush(stderr) == 0;
}

void process_log(const std::string& text) {
  if (!text.empty()) plat_log_write(text);
}
