// The Windows game under Wine on a private X server, as a player would meet it:
// unpacked from its zip and started in its folder (caption, a Tab screenshot
// equal to the window's pixels, Escape), with bad input, and installed by its
// installer with the copies kept in %LOCALAPPDATA%\Quillmoor, then uninstalled.
// Built beside a Windows build (tools/windows.sh --tests), which it names in
// QUILL_WINDOWS_BUILD.
#include "tests/display/x_game.h"
#include "tests/support/test_files.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;

namespace {
using namespace xgame;
const char* const window_caption = "Quillmoor: Ctrl+F for full screen.";
const std::string build = QUILL_WINDOWS_BUILD;
const std::string wine_run = std::string(QUILL_SOURCE_DIR) + "/tools/wine_run.sh";

// Wine draws a window's frame itself where no window manager does, so the
// picture's client area lies inside the X window: the pixels of the best
// placement of the screenshot that differ from it; -1 when it does not fit.
int pixels_unlike(const Picture& saved, const Picture& shown) {
  if (saved.width != 640 || saved.height != 480 || shown.width < 640 || shown.height < 480)
    return -1;
  int best = -1;
  for (int dy = 0; dy + 480 <= shown.height; dy++)
    for (int dx = 0; dx + 640 <= shown.width; dx++) {
      int differing = 0;
      for (int y = 0; y < 480 && (best < 0 || differing < best); y++)
        for (int x = 0; x < 640; x++)
          differing += shown.pixels[(size_t)(y + dy) * shown.width + x + dx] !=
                       saved.pixels[(size_t)y * 640 + x];
      if (best < 0 || differing < best) best = differing;
    }
  return best;
}

// A whole screenshot file (screen + digits + .bmp, 921,654 bytes) in the folder, or "".
std::string screenshot_in(const fs::path& folder) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    std::string n = e.path().filename().string();
    if (n.starts_with("screen") && n.ends_with(".bmp") && fs::file_size(e.path(), ec) == 921654)
      return e.path().string();
  }
  return "";
}

int copies_in(const fs::path& see) {
  int n = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(see, ec))
    n += e.path().filename().string().ends_with("_x4.png");
  return n;
}

struct WineGame : ::testing::Test {
  Xvfb x;
  ScratchDir scratch;
  std::string prefix; // this test's Wine prefix
  std::string game;   // the unpacked zip
  void SetUp() override {
    if (!x.start()) GTEST_SKIP() << "Xvfb could not start here, so no real window can be tested";
    setenv("DISPLAY", x.display.c_str(), 1); // for xdotool and xwd
    std::string version = read_text(build + "/version");
    ASSERT_FALSE(version.empty()) << "no Windows build in " << build;
    const std::string name = "Quillmoor-" + version;
    ASSERT_EQ(command_output("cd " + scratch.path + " && unzip -q " + build + "/" + name +
                             "-windows.zip && echo ok"),
              "ok");
    game = scratch / name;
    // The windows' prefix is kept between runs beside the build; its server
    // holds the display it started with, so none of another test may linger.
    prefix = build + "/wine-window";
    setenv("QUILL_WINEPREFIX", prefix.c_str(), 1);
    end_wine();
  }
  void TearDown() override {
    if (!prefix.empty()) end_wine();
  }
  static std::string read_text(const std::string& path) {
    std::vector<uint8_t> b = read_file(path);
    std::string s(b.begin(), b.end());
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
  }
  // Ends every Wine process of the prefix, within a time limit.
  void end_wine() {
    command_output("WINEPREFIX=" + prefix + " timeout -k 5 60 wineserver -k 2>/dev/null; " +
                   "WINEPREFIX=" + prefix + " timeout -k 5 60 wineserver -w 2>/dev/null");
  }
  bool start(Child* child, const std::string& folder, const std::vector<std::string>& args) {
    return child->start(wine_run, folder, environment(), args);
  }
  // What the game under Wine is given: this display, SDL's own choice of
  // drivers (not the test's dummy ones), this prefix.
  std::vector<std::string> environment() const {
    return {"DISPLAY=" + x.display,
            "SDL_VIDEODRIVER=", "SDL_AUDIODRIVER=", "QUILL_WINEPREFIX=" + prefix,
            "QUILL_WINE_TIMEOUT=600"};
  }
  // The AppData folder of the prefix's user, the prefix made first if need be.
  std::string user_folders() {
    const std::string find = "ls -d " + prefix + "/drive_c/users/*/AppData 2>/dev/null";
    if (command_output(find).empty()) {
      Child c;
      if (!start(&c, scratch.path, {"cmd", "/c", "exit"}) || c.wait(300000) != 0) return "";
    }
    return command_output(find + " | head -n 1");
  }
  // Holds Escape until the game has ended; its exit code.
  int escape(Child* child, const std::string& window) {
    keys(window, "keydown Escape");
    int code = child->wait(120000);
    command_output("xdotool keyup Escape");
    return code;
  }
};
} // namespace

TEST_F(WineGame, FromTheZipCaptionScreenshotAndEscape) {
  // A bad line of keys.conf, said in the player's log as well as on standard error.
  const std::string appdata = user_folders();
  ASSERT_FALSE(appdata.empty());
  const std::string appdata_windows =
      "C:\\users\\" + fs::path(appdata).parent_path().filename().string() + "\\AppData";
  fs::create_directories(appdata + "/Roaming/Quillmoor");
  write_file(appdata + "/Roaming/Quillmoor/keys.conf", std::string("fly = Up\n"));
  fs::remove(appdata + "/Local/Quillmoor/quillmoor.log");
  Child g;
  // Without the first hint, as the screenshot is compared with the window.
  ASSERT_TRUE(start(&g, game, {game + "/quillmoor.exe", "--no-hint"}));
  // The first start makes the scaled copies, which under Wine takes a while.
  std::string window = playing_window(window_caption);
  ASSERT_FALSE(window.empty()) << g.error_output();
  EXPECT_EQ(copies_in(game + "/see"), 45) << "the copies belong beside the art it was started in";

  std::string shot;
  ASSERT_TRUE(tap_until(window, "Tab", [&] {
    return !(shot = screenshot_in(game + "/see")).empty();
  })) << "no screenshot in see\\";
  // The world stands still while nobody presses a key: once the note that says
  // where the screenshot went has gone (2 s), the window shows the frame it
  // was taken of.
  const Picture saved = read_bmp24(read_file(shot));
  int unlike = -1;
  EXPECT_TRUE(
      wait_until([&] { return (unlike = pixels_unlike(saved, window_picture(window))) == 0; }, 30))
      << unlike << " pixels unlike";

  auto asked = std::chrono::steady_clock::now();
  EXPECT_EQ(escape(&g, window), 0) << g.error_output();
  // Out the ordinary way: its fade takes about a second, and no more than a few.
  EXPECT_GE(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(1000));
  fs::remove(appdata + "/Roaming/Quillmoor/keys.conf");
  const std::string log = read_text(appdata + "/Local/Quillmoor/quillmoor.log");
  EXPECT_TRUE(log.starts_with("-- ")) << log;
  EXPECT_TRUE(log.ends_with("\r\nquillmoor: " + appdata_windows +
                            "\\Roaming\\Quillmoor/keys.conf:1: no action named 'fly'"))
      << log;
  EXPECT_NE(g.error_output().find("keys.conf:1: no action named 'fly'"), std::string::npos)
      << g.error_output();
}

// Unzipped where the path runs past Windows' 260 characters: Wine cannot make
// it the working folder, and the game finds its art beside itself all the same
// and works in the player's folder, writing nowhere else.
TEST_F(WineGame, FromAFolderOf300CharactersItPlaysWithAllItsArt) {
  std::string deep = scratch.path;
  while (deep.size() < 300 - 16)
    deep += "/" + std::string(std::min<size_t>(60, 300 - 16 - deep.size()), 'q');
  deep += "/Quillmoor-game"; // 300 characters or a few more with the scratch folder's name
  fs::create_directories(fs::path(deep).parent_path());
  fs::rename(game, deep);
  ASSERT_GE(("Z:" + deep).size(), 300u);
  const std::string windows_folder = prefix + "/drive_c/windows";
  fs::remove(windows_folder + "/played");
  Child g;
  ASSERT_TRUE(start(&g, deep, {deep + "/quillmoor.exe", "--no-hint"}));
  std::string window = playing_window(window_caption);
  ASSERT_FALSE(window.empty()) << g.error_output();
  EXPECT_EQ(escape(&g, window), 0) << g.error_output();
  // Wine says it cannot enter the folder; the game itself says nothing.
  std::istringstream said(g.error_output());
  for (std::string line; std::getline(said, line);)
    EXPECT_TRUE(line.starts_with("wine: could not open working directory")) << line;
  EXPECT_FALSE(fs::exists(windows_folder + "/played"));
  EXPECT_FALSE(fs::exists(windows_folder + "/see"));
}

// Two first starts at once in a fresh player's folder: both show the world,
// and each takes the copies the other made as made, saying nothing.
TEST_F(WineGame, TwoFirstStartsAtOnceBothPlayAndSayNothing) {
  const std::string local = user_folders() + "/Local";
  fs::remove_all(local + "/Quillmoor");
  // Started outside the game's folder, each works in the player's folder.
  Child a, b;
  ASSERT_TRUE(start(&a, scratch.path, {game + "/quillmoor.exe", "--no-hint"}));
  ASSERT_TRUE(start(&b, scratch.path, {game + "/quillmoor.exe", "--no-hint"}));
  std::vector<std::string> windows;
  ASSERT_TRUE(wait_until(
      [&] {
        std::istringstream found(
            command_output("xdotool search --onlyvisible --name '^Quillmoor: '"));
        windows.clear();
        for (std::string w; found >> w;) windows.push_back(w);
        return windows.size() == 2 || !a.running() || !b.running();
      },
      180))
      << a.error_output() << b.error_output();
  ASSERT_EQ(windows.size(), 2u) << a.error_output() << b.error_output();
  // Each draws while it is the active window: clicked, as a player would (Wine
  // gives a program that has not been clicked no keyboard focus).
  auto click = [](const std::string& w) {
    command_output("xdotool windowraise " + w + " mousemove --window " + w +
                   " 320 240 click 1 2>/dev/null");
  };
  for (const std::string& w : windows)
    // Two first starts make their copies at once, slowly on a loaded machine.
    EXPECT_TRUE(wait_until(
        [&] {
          click(w);
          return !window_picture(w).all_black();
        },
        300))
        << "no world in window " << w;
  // Escape held on one window until its game ends, then on the other.
  for (const std::string& w : windows) {
    click(w);
    keys(w, "keydown Escape");
    wait_until([&] { return !a.running() + !b.running() > (&w == &windows[1]); }, 120);
    command_output("xdotool keyup Escape");
  }
  EXPECT_EQ(a.wait(60000), 0);
  EXPECT_EQ(b.wait(60000), 0);
  EXPECT_EQ(a.error_output(), "");
  EXPECT_EQ(b.error_output(), "");
  EXPECT_EQ(copies_in(local + "/Quillmoor/see"), 45);
}

TEST_F(WineGame, MissingOrDamagedArtIsSaidAndNeverHangs) {
  // A damaged picture: no copy is made of it, nothing else is harmed.
  write_file(game + "/see/sir0.png", std::string("\x89PNG\r\n\x1a\n damaged", 17));
  Child g;
  ASSERT_TRUE(start(&g, game, {game + "/quillmoor.exe"}));
  std::string window = playing_window(window_caption);
  ASSERT_FALSE(window.empty()) << g.error_output();
  EXPECT_EQ(escape(&g, window), 0) << g.error_output();
  EXPECT_FALSE(fs::exists(game + "/see/sir0_x4.png"));
  EXPECT_EQ(copies_in(game + "/see"), 44);

  // No pictures at all, started from another folder: said on its error output.
  fs::remove_all(game + "/see");
  Child bare;
  ASSERT_TRUE(start(&bare, scratch.path, {game + "/quillmoor.exe"}));
  std::string blank;
  ASSERT_TRUE(wait_until([&] { return !(blank = window_named(window_caption)).empty(); }, 120))
      << bare.error_output();
  EXPECT_EQ(escape(&bare, blank), 0);
  // In the Windows layout, not the Linux build's.
  EXPECT_NE(bare.error_output().find("quillmoor: no pictures in .\\see (keep see\\ and hear\\ "
                                     "beside quillmoor.exe, as the zip unpacks them)"),
            std::string::npos)
      << bare.error_output();
}

// An installation as the prefix holds it: the files of its folder (name to
// bytes), its Start menu entries, and the uninstall key of HKLM and of HKCU
// (value name to value; absent when there is no key).
struct Installation {
  std::map<std::string, std::vector<uint8_t>> files;
  std::vector<std::string> entries;
  std::optional<std::map<std::string, std::string>> machine_key, user_key;
};

std::map<std::string, std::vector<uint8_t>> files_under(const fs::path& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
       it.increment(ec))
    if (it->is_regular_file())
      files[fs::relative(it->path(), folder).generic_string()] = read_file(it->path().string());
  return files;
}

// The values of the uninstall key in a registry file the wineserver saved.
std::optional<std::map<std::string, std::string>> uninstall_key(const std::string& reg_file) {
  std::istringstream in(command_output("cat '" + reg_file + "'"));
  std::string line;
  const std::string heading = "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\"
                              "Uninstall\\\\Quillmoor]";
  while (std::getline(in, line) && !line.starts_with(heading)) {}
  if (!in) return std::nullopt;
  std::map<std::string, std::string> values;
  while (std::getline(in, line) && !line.empty() && line[0] != '[') {
    size_t eq = line.find("\"=");
    if (line[0] != '"' || eq == std::string::npos) continue;
    std::string value = line.substr(eq + 2), plain;
    if (value.starts_with("\"") && value.size() >= 2) value = value.substr(1, value.size() - 2);
    for (size_t i = 0; i < value.size(); i++) plain += value[i] == '\\' ? value[++i] : value[i];
    values[line.substr(1, eq - 1)] = plain;
  }
  return values;
}

// The all-users install, a per-user install, both at once and an upgrade, in
// one prefix, each step checked; the installed game played (its folder as
// writable as root's Program Files under Wine, or as an elevated player's on
// Windows) leaves its install folder as the installer wrote it; no uninstaller
// touches the player's own folders.
TEST_F(WineGame, InstallsAndUninstallsEachKindInItsOwnContext) {
  prefix = build + "/wine-install"; // made afresh: the installers change it
  end_wine();
  fs::remove_all(prefix);
  const std::string version = read_text(build + "/version"), drive = prefix + "/drive_c",
                    setup = build + "/Quillmoor-" + version + "-setup.exe",
                    older = build + "/older/Quillmoor-1.0-setup.exe",
                    machine_folder = drive + "/Program Files/Quillmoor",
                    machine_menu = drive + "/ProgramData/Microsoft/Windows/Start Menu/Programs";
  const std::vector<std::string> entry_names = {"Quillmoor.lnk",
                                                "Quillmoor screenshots and log.lnk"};
  const auto stage = files_under(build + "/Quillmoor-" + version);
  ASSERT_TRUE(stage.contains("README.txt") && stage.contains("licences/Quillmoor.txt"));
  // Runs a Windows program of the prefix to its end and the wineserver's, so
  // that the registry is saved (an uninstaller runs a copy of itself and returns).
  auto run = [&](const std::vector<std::string>& args) {
    Child c;
    ASSERT_TRUE(start(&c, scratch.path, args));
    EXPECT_EQ(c.wait(600000), 0) << args[0] << c.error_output();
    command_output("WINEPREFIX=" + prefix + " timeout -k 5 300 wineserver -w 2>/dev/null");
  };
  // The user's folders exist once the prefix does.
  run({"cmd", "/c", "exit"});
  const std::string user = command_output("ls -d " + drive + "/users/*/AppData | head -n 1");
  ASSERT_FALSE(user.empty());
  const std::string user_folder = user + "/Local/Programs/Quillmoor",
                    user_menu = user + "/Roaming/Microsoft/Windows/Start Menu/Programs";
  // The player's own files, which no uninstaller may touch.
  fs::create_directories(user + "/Local/Quillmoor/see");
  fs::create_directories(user + "/Roaming/Quillmoor");
  write_file(user + "/Local/Quillmoor/see/screen1.bmp", std::string("mine"));
  write_file(user + "/Roaming/Quillmoor/keys.conf", std::string("jump = Up\n"));
  auto state = [&](const std::string& folder, const std::string& menu) {
    Installation i;
    i.files = files_under(folder);
    for (const std::string& e : entry_names)
      if (fs::exists(menu + "/" + e)) i.entries.push_back(e);
    i.machine_key = uninstall_key(prefix + "/system.reg");
    i.user_key = uninstall_key(prefix + "/user.reg");
    return i;
  };
  // The installed files are the zip's, with the uninstaller and the mark of the kind.
  auto expect_installed = [&](const Installation& i, const std::string& kind,
                              const std::string& folder, const std::string& windows_folder) {
    auto files = i.files;
    EXPECT_EQ(std::string(files["installed"].begin(), files["installed"].end()), kind + "\r\n");
    EXPECT_EQ(files.erase("uninstall.exe") + files.erase("installed"), 2u) << folder;
    EXPECT_TRUE(files == stage) << folder << ": not the files of the zip";
    EXPECT_EQ(i.entries, entry_names) << folder;
    auto key = kind == "AllUsers" ? i.machine_key : i.user_key;
    ASSERT_TRUE(key) << kind;
    EXPECT_EQ((*key)["InstallLocation"], windows_folder);
    EXPECT_EQ((*key)["DisplayVersion"], version);
  };
  auto expect_gone = [&](const Installation& i, const std::string& folder) {
    EXPECT_TRUE(i.files.empty() && !fs::exists(folder)) << folder;
    EXPECT_TRUE(i.entries.empty()) << folder;
  };
  const std::string machine_windows = "C:\\Program Files\\Quillmoor",
                    user_windows = "C:\\users\\" +
                                   fs::path(user).parent_path().filename().string() +
                                   "\\AppData\\Local\\Programs\\Quillmoor";

  SCOPED_TRACE("for all users");
  run({setup, "/S", "/AllUsers"});
  Installation machine = state(machine_folder, machine_menu);
  expect_installed(machine, "AllUsers", machine_folder, machine_windows);
  EXPECT_FALSE(machine.user_key);
  EXPECT_FALSE(fs::exists(user_folder));

  {
    SCOPED_TRACE("played from its Start menu entry");
    Child g;
    ASSERT_TRUE(
        start(&g, scratch.path,
              {"start", "/wait",
               "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Quillmoor.lnk"}));
    std::string window = playing_window(window_caption);
    ASSERT_FALSE(window.empty()) << g.error_output();
    std::string shot;
    EXPECT_TRUE(tap_until(window, "Tab", [&] {
      return !(shot = screenshot_in(user + "/Local/Quillmoor/see")).empty();
    })) << "no screenshot in %LOCALAPPDATA%\\Quillmoor\\see";
    EXPECT_EQ(escape(&g, window), 0) << g.error_output();
    EXPECT_EQ(copies_in(user + "/Local/Quillmoor/see"), 45);
    command_output("WINEPREFIX=" + prefix + " timeout -k 5 300 wineserver -w 2>/dev/null");
    EXPECT_TRUE(files_under(machine_folder) == machine.files)
        << "the game wrote where it was installed";
  }

  run({machine_folder + "/uninstall.exe", "/S"});
  Installation none = state(machine_folder, machine_menu);
  expect_gone(none, machine_folder);
  EXPECT_FALSE(none.machine_key);
  EXPECT_FALSE(none.user_key);

  SCOPED_TRACE("for the current user");
  run({setup, "/S", "/CurrentUser"});
  Installation mine = state(user_folder, user_menu);
  expect_installed(mine, "CurrentUser", user_folder, user_windows);
  EXPECT_FALSE(mine.machine_key);
  EXPECT_FALSE(fs::exists(machine_folder));
  run({user_folder + "/uninstall.exe", "/S"});
  none = state(user_folder, user_menu);
  expect_gone(none, user_folder);
  EXPECT_FALSE(none.machine_key || none.user_key);

  SCOPED_TRACE("both, each uninstalled by its own uninstaller");
  run({setup, "/S", "/AllUsers"});
  run({setup, "/S", "/CurrentUser"});
  expect_installed(state(machine_folder, machine_menu), "AllUsers", machine_folder,
                   machine_windows);
  expect_installed(state(user_folder, user_menu), "CurrentUser", user_folder, user_windows);
  run({user_folder + "/uninstall.exe", "/S"});
  expect_gone(state(user_folder, user_menu), user_folder);
  machine = state(machine_folder, machine_menu);
  expect_installed(machine, "AllUsers", machine_folder, machine_windows);
  EXPECT_FALSE(machine.user_key);
  run({machine_folder + "/uninstall.exe", "/S"});
  none = state(machine_folder, machine_menu);
  expect_gone(none, machine_folder);
  EXPECT_FALSE(none.machine_key || none.user_key);

  SCOPED_TRACE("an upgrade over an older version");
  run({older, "/S", "/AllUsers"});
  machine = state(machine_folder, machine_menu);
  EXPECT_TRUE(machine.files.contains("licences/Older.txt"));
  ASSERT_TRUE(machine.machine_key);
  EXPECT_EQ((*machine.machine_key)["DisplayVersion"], "1.0");
  run({setup, "/S", "/AllUsers"});
  machine = state(machine_folder, machine_menu);
  expect_installed(machine, "AllUsers", machine_folder, machine_windows);
  EXPECT_FALSE(machine.user_key);
  run({machine_folder + "/uninstall.exe", "/S"});
  expect_gone(state(machine_folder, machine_menu), machine_folder);

  EXPECT_EQ(read_file(user + "/Local/Quillmoor/see/screen1.bmp").size(), 4u);
  EXPECT_EQ(read_file(user + "/Roaming/Quillmoor/keys.conf").size(), 10u);
  EXPECT_EQ(copies_in(user + "/Local/Quillmoor/see"), 45) << "the player's folder is the player's";
  end_wine();
  fs::remove_all(prefix);
}
