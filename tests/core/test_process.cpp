// The process at its edges on POSIX: the quit signals, closed standard streams
// and pipes, and links made by several copies of the program at once.
#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_folders.h"
#include "tests/support/test_files.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace {
// Runs body in a child process; its wait status.
template <class Body> int in_child(Body body) {
  pid_t pid = fork();
  if (pid == 0) {
    alarm(30);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

sighandler_t handler_of(int sig) {
  struct sigaction now;
  sigaction(sig, nullptr, &now);
  return now.sa_handler;
}

struct QuitSignals : ::testing::Test {
  void TearDown() override {
    plat_quit_signals(0);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) signal(sig, SIG_DFL);
  }
};
} // namespace

TEST_F(QuitSignals, EachIsNotedAndTheFirstGivesAllTheirDefaultBack) {
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    ASSERT_TRUE(plat_quit_signals(1));
    EXPECT_EQ(plat_quit_signalled(), 0);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) EXPECT_NE(handler_of(s), SIG_DFL);
    raise(sig);
    EXPECT_EQ(plat_quit_signalled(), 1);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) EXPECT_EQ(handler_of(s), SIG_DFL);
    // Caught again while caught: nothing changes, the request is kept.
    ASSERT_TRUE(plat_quit_signals(1));
    EXPECT_EQ(plat_quit_signalled(), 1);
    ASSERT_TRUE(plat_quit_signals(0));
    EXPECT_EQ(plat_quit_signalled(), 0);
  }
}

// Whatever the first, any second quit signal ends the process at once, by
// that signal.
TEST_F(QuitSignals, AnySecondOneEndsTheProcessAtOnce) {
  const int pairs[][2] = {
      {SIGTERM, SIGINT}, {SIGINT, SIGTERM}, {SIGHUP, SIGTERM}, {SIGTERM, SIGTERM}};
  for (const auto& p : pairs) {
    int status = in_child([&] {
      plat_quit_signals(1);
      raise(p[0]);
      if (!plat_quit_signalled()) return 3;
      raise(p[1]);
      return 0; // still here: the second was only noted
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == p[1])
        << strsignal(p[0]) << ", then " << strsignal(p[1]) << ": status " << status;
  }
}

// A game started in the background has SIGINT ignored (and under nohup SIGHUP):
// it stays so, and the others still count.
TEST_F(QuitSignals, OneIgnoredAtTheStartStaysIgnored) {
  signal(SIGINT, SIG_IGN);
  ASSERT_TRUE(plat_quit_signals(1));
  EXPECT_EQ(handler_of(SIGINT), SIG_IGN);
  raise(SIGINT);
  EXPECT_EQ(plat_quit_signalled(), 0);
  raise(SIGHUP);
  EXPECT_EQ(plat_quit_signalled(), 1);
  EXPECT_EQ(handler_of(SIGINT), SIG_IGN);
  plat_quit_signals(0);
  EXPECT_EQ(handler_of(SIGINT), SIG_IGN) << "given back as it was";
  EXPECT_EQ(handler_of(SIGHUP), SIG_DFL);
}

// Started with standard input, output and error closed, the process gets the
// null device in their place, so the next file opened is not taken for one of
// them; a write to a pipe nobody reads fails instead of ending the process.
TEST(ProcessStart, ClosedStandardStreamsAndBrokenPipes) {
  int status = in_child([] {
    for (int fd = 0; fd <= 2; fd++) close(fd);
    if (!plat_process_start()) return 10;
    for (int fd = 0; fd <= 2; fd++)
      if (fcntl(fd, F_GETFD) == -1) return 11 + fd;
    int next = open("/dev/zero", O_RDONLY);
    if (next < 3) return 14;
    if (write(2, "x", 1) != 1) return 15; // into the null device
    int fds[2];
    if (pipe(fds) != 0) return 16;
    close(fds[0]);
    errno = 0;
    if (write(fds[1], "x", 1) != -1 || errno != EPIPE) return 17;
    return 0;
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

// Several copies of the program making the same links at once (the first start
// of a game opened twice) all succeed, and every link is right.
TEST(LinkFile, CopiesOfTheProgramLinkingAtOnceAllSucceed) {
  ScratchDir dir;
  const int processes = 8, names = 40;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < processes; p++) {
    pid_t pid = fork();
    if (pid == 0) {
      close(go[1]);
      char c;
      if (read(go[0], &c, 1) != 0) _exit(98); // all start together, at the close
      int failed = 0;
      for (int round = 0; round < 5; round++)
        for (int n = 0; n < names; n++) {
          const std::string name = dir / ("pic" + std::to_string(n) + ".png");
          if (round) unlink(name.c_str()); // made afresh by whoever comes first
          failed += !plat_link_file(("/target/" + std::to_string(n)).c_str(), name.c_str());
        }
      _exit(failed > 90 ? 90 : failed);
    }
    children.push_back(pid);
  }
  close(go[0]);
  close(go[1]);
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "a copy failed " << WEXITSTATUS(status) << " links";
  }
  for (int n = 0; n < names; n++)
    EXPECT_EQ(std::filesystem::read_symlink(dir / ("pic" + std::to_string(n) + ".png")),
              "/target/" + std::to_string(n));
  for (const auto& e : std::filesystem::directory_iterator(dir.path))
    EXPECT_EQ(e.path().extension(), ".png") << "left behind: " << e.path();
}
