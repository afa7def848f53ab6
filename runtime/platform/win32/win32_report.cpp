// The player's log on Windows, where a game started from the Start menu or
// Explorer has a standard error nobody sees, and the zip's layout as advice.
#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_folders.h"
#include "runtime/platform/plat_report.h"
#include "runtime/platform/plat_system.h"

#include <cstdio>

struct LogState {
  int started;       // this run has begun its part of the log
  int cut;           // this run said more than its share; the rest is not kept
  std::string older; // the log as this run found it
  std::string run;   // this run's part: its heading and its lines, Windows' line ends
};
static LogState logged;

// The newest whole runs of log that fit in room bytes (each begins "-- ").
static std::string newest_runs(const std::string& log, size_t room) {
  size_t at = 0;
  while (log.size() - at > room) {
    at = log.find("\r\n-- ", at);
    if (at == std::string::npos) return "";
    at += 2;
  }
  return log.substr(at);
}

int plat_log_write(const std::string& text) {
  const std::string folder = plat_user_data_folder();
  if (folder.empty() || !plat_make_folders(folder.c_str())) return 0;
  const std::string path = folder + "\\quillmoor.log";
  if (!logged.started) {
    // A log grown past any size this writes (another program's doing) is begun anew.
    std::vector<uint8_t> bytes;
    plat_read_file(path.c_str(), &bytes, 2 * PLAT_LOG_BOUND);
    logged.older.assign(bytes.begin(), bytes.end());
    PlatLocalTime t;
    sys_local_time(&t);
    char heading[64];
    snprintf(heading, sizeof heading, "-- %04d-%02d-%02d %02d:%02d:%02d\r\n", t.year, t.month,
             t.day, t.hour, t.minute, t.second);
    logged.run = heading;
    logged.started = 1;
  }
  // One run may fill half the log, so that the runs before it are not all lost to it.
  for (char c : text) {
    if (logged.cut || c == '\r') continue;
    if (logged.run.size() + 2 > PLAT_LOG_BOUND / 2) {
      logged.run += "(more was said than the log keeps)\r\n";
      logged.cut = 1;
      break;
    }
    logged.run += c == '\n' ? "\r\n" : std::string(1, c);
  }
  // Written whole each time: a reader never finds it half written, and the
  // bound holds whatever happens to the game.
  const std::string kept = newest_runs(logged.older, PLAT_LOG_BOUND - logged.run.size());
  PlatWriteFile out;
  if (!plat_write_begin(&out, path.c_str())) return 0;
  int ok = fwrite(kept.data(), 1, kept.size(), out.file) == kept.size() &&
           fwrite(logged.run.data(), 1, logged.run.size(), out.file) == logged.run.size();
  return plat_write_end(&out, ok);
}

void plat_log_end() { logged = LogState{}; }

std::string plat_art_advice() {
  return " (keep see\\ and hear\\ beside quillmoor.exe, as the zip unpacks them)";
}
