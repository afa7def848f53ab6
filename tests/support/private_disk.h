// Small file systems of a test's own (tmpfs) in a mount namespace private to
// the test process: full disks and read-only ones, even for root.
#pragma once

#include "tests/support/test_files.h"

#include <filesystem>
#include <string>
#include <vector>

#ifndef __linux__
// Elsewhere (the Windows build under Wine) there are no such disks: a test
// that needs one says so and is skipped.
struct PrivateDisks {
  bool mount(const std::string&, const char*) { return false; }
  bool read_only(const std::string&, int = 1) { return false; }
};
#else
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

struct PrivateDisks {
  std::vector<std::string> mounts;

  // A tmpfs with these mount options ("size=64k") at path, made if missing;
  // false where the system allows no private mount namespace.
  bool mount(const std::string& path, const char* options) {
    static bool unshared = unshare(CLONE_NEWNS) == 0 || unshare_as_user();
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (!unshared || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("quill-test", path.c_str(), "tmpfs", 0, options) != 0)
      return false;
    mounts.push_back(path);
    return true;
  }
  // Makes a disk mounted above read-only (1) or writable again (0).
  bool read_only(const std::string& path, int on = 1) {
    return ::mount(nullptr, path.c_str(), nullptr, MS_REMOUNT | (on ? MS_RDONLY : 0), nullptr) == 0;
  }
  ~PrivateDisks() {
    for (auto m = mounts.rbegin(); m != mounts.rend(); ++m) umount2(m->c_str(), MNT_DETACH);
  }

  static bool unshare_as_user() {
    const std::string uid = "0 " + std::to_string(getuid()) + " 1",
                      gid = "0 " + std::to_string(getgid()) + " 1";
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    write_file("/proc/self/setgroups", std::string("deny"));
    write_file("/proc/self/uid_map", uid);
    write_file("/proc/self/gid_map", gid);
    return true;
  }
};
#endif
