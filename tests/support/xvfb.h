// A private X server (Xvfb, or Xorg with two monitors) for tests that need a
// real window, and helpers to run programs against it.
#pragma once

#include "tests/support/test_files.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

struct Xvfb {
  pid_t pid = -1;
  std::string display; // ":N", empty until the server is up

  // Starts a server on a free display number; false when Xvfb cannot start.
  // -noreset: by default the server starts afresh whenever its last client
  // leaves, and turns away whoever connects meanwhile (a game started just after
  // a helper program such as xdotool has gone).
  bool start() {
    return start_server({"Xvfb", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"});
  }
  // Starts the X server of argv (given -displayfd); false when it cannot start.
  bool start_server(std::vector<std::string> argv) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    argv.insert(argv.begin() + 1, {"-displayfd", std::to_string(fds[1])});
    pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
      close(fds[0]);
      int quiet = open("/dev/null", O_WRONLY);
      dup2(quiet, 1);
      dup2(quiet, 2);
      std::vector<char*> args;
      for (std::string& a : argv) args.push_back(a.data());
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
    close(fds[1]);
    // The server writes its display number once it accepts clients.
    std::string number;
    pollfd p = {fds[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0) {
      char c;
      if (read(fds[0], &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    close(fds[0]);
    if (number.empty()) return false;
    display = ":" + number;
    return true;
  }
  void stop() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    pid = -1;
  }
  ~Xvfb() { stop(); }
};

// An X server with two monitors side by side, each a display of its own to SDL
// (Xvfb's screens all lie at 0, 0): Xorg on its dummy driver, the left monitor
// 1024x768 at 0, 0, the right one 800x600 at 1024, 0. Only root may start
// Xorg with a configuration of its own.
struct TwoMonitors : Xvfb {
  ScratchDir folder;
  bool start() {
    mkdir((folder / "conf.d").c_str(), 0755);
    write_file(folder / "xorg.conf", R"(
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "card"
  Driver "dummy"
  VideoRam 32768
  Option "Monitor-DUMMY0" "left"
  Option "Monitor-DUMMY1" "right"
EndSection
Section "Monitor"
  Identifier "left"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1024x768" 63.50 1024 1072 1176 1328 768 771 775 798 -hsync +vsync
  Option "PreferredMode" "1024x768"
EndSection
Section "Monitor"
  Identifier "right"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "800x600" 38.25 800 832 912 1024 600 603 607 624 -hsync +vsync
  Option "PreferredMode" "800x600"
  Option "RightOf" "left"
  Option "Enable" "true"
EndSection
Section "Screen"
  Identifier "screen"
  Device "card"
  Monitor "left"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 1824 768
  EndSubSection
EndSection
)");
    return geteuid() == 0 &&
           start_server({"Xorg", "-config", folder / "xorg.conf", "-configdir", folder / "conf.d",
                         "-logfile", folder / "log", "-nolisten", "tcp", "-noreset", "-novtswitch",
                         "-sharevts"});
  }
  ~TwoMonitors() { stop(); } // before its folder goes
};

// Runs a shell command; its standard output, trailing newline removed.
inline std::string command_output(const std::string& command) {
  std::string out;
  if (FILE* f = popen(command.c_str(), "r")) {
    char buf[256];
    while (size_t n = fread(buf, 1, sizeof buf, f)) out.append(buf, n);
    pclose(f);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// A program started in a folder with extra environment variables ("NAME=value";
// "NAME=" removes NAME) and arguments, its standard error kept in a file. Its
// standard output goes nowhere: a test that died would otherwise leave CTest
// waiting on it.
struct Child {
  pid_t pid = -1;
  std::string stderr_path;

  // setup, when given, runs in the child just before the program starts (to
  // close or redirect its streams, ignore signals).
  bool start(const std::string& program, const std::string& folder,
             const std::vector<std::string>& env, const std::vector<std::string>& args = {},
             const std::function<void()>& setup = nullptr) {
    char name[] = "/tmp/quill-child-XXXXXX";
    int err = mkstemp(name);
    if (err < 0) return false;
    stderr_path = name;
    pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
      for (const std::string& e : env) {
        size_t eq = e.find('=');
        if (eq + 1 == e.size())
          unsetenv(e.substr(0, eq).c_str());
        else
          setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
      }
      dup2(err, 2);
      int quiet = open("/dev/null", O_WRONLY);
      dup2(quiet, 1);
      if (chdir(folder.c_str()) != 0) _exit(126);
      std::vector<char*> argv = {(char*)program.c_str()};
      for (const std::string& a : args) argv.push_back((char*)a.c_str());
      argv.push_back(nullptr);
      if (setup) setup();
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(err);
    return true;
  }
  // The exit code, or -1 when the program has not ended within timeout_ms (it is
  // then killed) or was ended by a signal (which then goes to *signal).
  int wait(int timeout_ms, int* signal = nullptr) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > until) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        pid = -1;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid = -1;
    if (signal) *signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // True until the program has ended (it is left for wait to collect).
  bool running() const {
    siginfo_t info = {};
    return pid > 0 && waitid(P_PID, (id_t)pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
  }
  std::string error_output() const { return command_output("cat " + stderr_path); }
  ~Child() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (!stderr_path.empty()) unlink(stderr_path.c_str());
  }
};
