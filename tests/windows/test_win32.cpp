// Windows' own platform pieces, under Wine: the file layer with UTF-8 names,
// the player's folder of copies under %LOCALAPPDATA%, the console's Ctrl+C.
#include "game/window_icon.h"
#include "game/work_folder.h"
#include "runtime/core/process.h"
#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_folders.h"
#include "runtime/platform/plat_fonts.h"
#include "runtime/platform/plat_report.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace fs = std::filesystem;

namespace {
// std::filesystem takes a narrow name in the system's code page; ours are UTF-8.
fs::path u8(const std::string& name) { return fs::path(std::u8string(name.begin(), name.end())); }

std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  EXPECT_EQ(plat_list_folder(folder.c_str(), &names), 1);
  return names;
}

int write_text(const std::string& name, const std::string& text, int ok = 1) {
  PlatWriteFile w;
  if (!plat_write_begin(&w, name.c_str())) return 0;
  fwrite(text.data(), 1, text.size(), w.file);
  return plat_write_end(&w, ok);
}

std::string read_text(const std::string& name) {
  std::vector<uint8_t> bytes;
  if (!plat_read_file(name.c_str(), &bytes, 1 << 20)) return "<refused>";
  return std::string(bytes.begin(), bytes.end());
}
} // namespace

TEST(Win32Files, UnicodeNamesOnlyRegularFilesAndWholeWrites) {
  ScratchDir d;
  const std::string folder = d / "Caf\xC3\xA9 \xE6\x9C\xA8"; // "Café 木"
  ASSERT_EQ(plat_make_folders((folder + "\\see\\deep").c_str()), 1);
  const std::string file = folder + "\\see\\\xC3\xBC.txt"; // "ü.txt"
  EXPECT_EQ(write_text(file, "first"), 1);
  EXPECT_EQ(read_text(file), "first");
  EXPECT_EQ(read_text(folder + "/see/\xC3\xBC.txt"), "first"); // either separator
  int64_t size = 0;
  EXPECT_EQ(plat_file_kind(file.c_str(), &size), PLAT_FILE);
  EXPECT_EQ(size, 5);
  const std::vector<std::string> only{"deep", "\xC3\xBC.txt"};
  EXPECT_EQ(names_in(folder + "\\see"), only);
  EXPECT_TRUE(fs::exists(u8(folder) / u8("see") / u8("\xC3\xBC.txt")));

  // A failed write, or one told to fail, leaves the old file and nothing else.
  EXPECT_EQ(write_text(file, "second", 0), 0);
  EXPECT_EQ(read_text(file), "first");
  EXPECT_EQ(names_in(folder + "\\see"), only);
  EXPECT_EQ(write_text(file, "second"), 1);
  EXPECT_EQ(read_text(file), "second");
  EXPECT_EQ(names_in(folder + "\\see"), only);

  // Folders and devices are neither read nor replaced; a larger file is refused.
  EXPECT_EQ(plat_open_read((folder + "\\see").c_str(), 100), nullptr);
  EXPECT_EQ(plat_open_read("NUL", 100), nullptr);
  EXPECT_EQ(plat_open_read((folder + "\\see\\CON").c_str(), 100), nullptr);
  EXPECT_EQ(write_text(folder + "\\see\\deep", "x"), 0);
  EXPECT_EQ(plat_file_kind((folder + "\\see\\deep").c_str(), nullptr), PLAT_FOLDER);
  std::vector<uint8_t> bytes;
  EXPECT_EQ(plat_read_file(file.c_str(), &bytes, 5), 0);
  EXPECT_EQ(plat_read_file(file.c_str(), &bytes, 6, "sec"), 1);
  EXPECT_EQ(plat_read_file(file.c_str(), &bytes, 6, "fir"), 0);

  // A file in the way of a folder.
  errno = 0;
  EXPECT_EQ(plat_make_folders((file + "\\below").c_str()), 0);
  EXPECT_NE(errno, 0);
  EXPECT_EQ(plat_remove_file(file.c_str()), 1);
  EXPECT_EQ(plat_remove_file(file.c_str()), 1); // already gone
  EXPECT_EQ(plat_file_kind(file.c_str(), nullptr), PLAT_MISSING);
}

TEST(Win32Files, PathsPastMaxPathAreReached) {
  ScratchDir d;
  std::string folder = d.path;
  while (folder.size() < 300) folder += "\\" + std::string(50, 'q');
  ASSERT_EQ(plat_make_folders((folder + "\\see").c_str()), 1);
  const std::string file = folder + "/see/sir0.png";
  EXPECT_EQ(write_text(file, "picture"), 1);
  EXPECT_EQ(read_text(file), "picture");
  int64_t size = 0;
  EXPECT_EQ(plat_file_kind(file.c_str(), &size), PLAT_FILE);
  EXPECT_EQ(plat_file_kind((folder + "\\see").c_str(), nullptr), PLAT_FOLDER);
  EXPECT_EQ(names_in(folder + "\\see"), (std::vector<std::string>{"sir0.png"}));
  EXPECT_EQ(plat_link_file(file.c_str(), (folder + "\\copy.png").c_str()), 2); // made
  EXPECT_EQ(read_text(folder + "\\copy.png"), "picture");
  EXPECT_EQ(plat_remove_file(file.c_str()), 1);
  EXPECT_EQ(plat_file_kind(file.c_str(), nullptr), PLAT_MISSING);
}

// Wine answers no question about a device by name, so a device name is refused
// before it is opened. Windows answers some as for a file (NUL is an archive
// file of no bytes), and a driver may answer what is asked of an open file:
// here the program's own calls get such answers through its import table, so
// that only the look at what was opened can tell a device.
extern "C" BOOL(WINAPI* __imp_GetFileAttributesExW)(LPCWSTR, GET_FILEEX_INFO_LEVELS, LPVOID);
extern "C" BOOL(WINAPI* __imp_GetFileInformationByHandle)(HANDLE, LPBY_HANDLE_FILE_INFORMATION);
namespace {
struct DevicesLookLikeFiles {
  static inline decltype(__imp_GetFileAttributesExW) real_attributes;
  static inline decltype(__imp_GetFileInformationByHandle) real_information;
  static BOOL WINAPI attributes(LPCWSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID out) {
    if (real_attributes(name, level, out)) return TRUE;
    *(WIN32_FILE_ATTRIBUTE_DATA*)out = {FILE_ATTRIBUTE_ARCHIVE, {}, {}, {}, 0, 0};
    return TRUE;
  }
  static BOOL WINAPI information(HANDLE h, LPBY_HANDLE_FILE_INFORMATION out) {
    if (real_information(h, out)) return TRUE;
    *out = {};
    out->dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    return TRUE;
  }
  template <typename F> static void put(F* slot, F value) {
    DWORD was;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &was);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, was, &was);
  }
  DevicesLookLikeFiles() {
    real_attributes = __imp_GetFileAttributesExW;
    real_information = __imp_GetFileInformationByHandle;
    put(&__imp_GetFileAttributesExW, &attributes);
    put(&__imp_GetFileInformationByHandle, &information);
  }
  ~DevicesLookLikeFiles() {
    put(&__imp_GetFileAttributesExW, real_attributes);
    put(&__imp_GetFileInformationByHandle, real_information);
  }
};
} // namespace

TEST(Win32Files, ADeviceIsRefusedWhenItsNameLooksLikeAFile) {
  ScratchDir d;
  const std::string file = d / "file.txt";
  ASSERT_EQ(write_text(file, "text"), 1);
  DevicesLookLikeFiles answers;
  ASSERT_EQ(plat_file_kind("NUL", nullptr), PLAT_FILE) << "the name looks like a file's";
  EXPECT_EQ(read_text(file), "text");
  EXPECT_EQ(plat_open_read("NUL", 100), nullptr);
  EXPECT_EQ(read_text("NUL"), "<refused>");
}

TEST(Win32Folders, ThePlayersFolderHoldsCopiesUnderLocalAppData) {
  ScratchDir d;
  const std::string installed = d / "Program Files/Quillmoor", elsewhere = d / "elsewhere",
                    local = d / "Local";
  for (const char* f : {"/see", "/hear"}) fs::create_directories(installed + f);
  fs::create_directories(elsewhere);
  write_file(installed + "/see/sir0.png", std::string("picture"));
  write_file(installed + "/hear/jjj.wav", std::string("sound"));
  write_file(installed + "/version", std::string("1.01\n"));
  // Installed files may be read-only; their copies must not be, or the next
  // version's could not replace them.
  auto read_only = [](const std::string& name, bool on) {
    SetFileAttributesW(u8(name).wstring().c_str(),
                       on ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
  };
  read_only(installed + "/see/sir0.png", true);
  const fs::path before = fs::current_path();
  SetEnvironmentVariableW(L"LOCALAPPDATA", u8(local).wstring().c_str());
  _wputenv_s(L"LOCALAPPDATA", u8(local).wstring().c_str());
  EXPECT_EQ(plat_user_data_folder(), local + "\\Quillmoor");

  auto choose = [&](const std::string& start) {
    fs::current_path(start);
    std::string report;
    int ok = work_folder_choose(installed, &report);
    EXPECT_EQ(report, "");
    std::string now = fs::current_path().generic_string();
    fs::current_path(before);
    return ok ? now : "<failed>";
  };
  const std::string player = local + "/Quillmoor";
  EXPECT_EQ(choose(elsewhere), player);
  EXPECT_EQ(read_file(player + "/see/sir0.png"), read_file(installed + "/see/sir0.png"));
  EXPECT_EQ(read_file(player + "/hear/jjj.wav"), read_file(installed + "/hear/jjj.wav"));
  EXPECT_FALSE(fs::is_symlink(player + "/see/sir0.png"));
  EXPECT_EQ(GetFileAttributesW(u8(player + "/see/sir0.png").wstring().c_str()) &
                FILE_ATTRIBUTE_READONLY,
            0u);
  // The player's own files stay; a changed installed file is copied again;
  // what an ended copy of the game left half-written goes, a running one's stays.
  write_file(player + "/see/screen1.bmp", std::string("shot"));
  read_only(installed + "/see/sir0.png", false);
  write_file(installed + "/see/sir0.png", std::string("new picture"));
  read_only(installed + "/see/sir0.png", true);
  STARTUPINFOW start = {sizeof start};
  PROCESS_INFORMATION ended;
  wchar_t command[] = L"cmd.exe /c exit 0";
  ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                             nullptr, &start, &ended));
  WaitForSingleObject(ended.hProcess, 60000);
  CloseHandle(ended.hProcess);
  CloseHandle(ended.hThread);
  const std::string left =
                        player + "/see/urth_x4.png." + std::to_string(ended.dwProcessId) + ".part",
                    running = player + "/see/screen2.bmp." + std::to_string(GetCurrentProcessId()) +
                              ".part";
  write_file(left, std::string("half"));
  write_file(running, std::string("half"));
  EXPECT_EQ(choose(elsewhere), player);
  EXPECT_EQ(read_file(player + "/see/sir0.png"), read_file(installed + "/see/sir0.png"));
  EXPECT_EQ(read_file(player + "/see/screen1.bmp"), (std::vector<uint8_t>{'s', 'h', 'o', 't'}));
  EXPECT_FALSE(fs::exists(u8(left)));
  EXPECT_TRUE(fs::exists(u8(running)));
  read_only(installed + "/see/sir0.png", false);
  // Started in the program's folder, which can take the copies: worked in;
  // marked by its installer, never, writable or not.
  EXPECT_EQ(choose(installed), installed);
  write_file(installed + "/installed", std::string("AllUsers\r\n"));
  EXPECT_EQ(choose(installed), player);
  fs::remove(installed + "/installed");

  // A player's folder that cannot be made: said once, and the game runs on
  // from the installed art.
  fs::remove_all(player);
  write_file(player, std::string("a file in its way"));
  fs::current_path(elsewhere);
  std::string report;
  EXPECT_EQ(work_folder_choose(installed, &report), 1);
  EXPECT_EQ(fs::current_path().generic_string(), installed);
  fs::current_path(before);
  EXPECT_EQ(report, "quillmoor: cannot make " + local + "\\Quillmoor: " + strerror(ENOTDIR) +
                        "; the scaled pictures are kept in memory only\n");
}

// Waits up to a minute for a request to end: the handlers run on threads of their own.
static bool end_requested() {
  for (int i = 0; i < 6000 && !plat_quit_signalled(); i++) Sleep(10);
  return plat_quit_signalled();
}

// This program's hidden window: one of a program that has just ended may linger.
static HWND own_session_window() {
  HWND w = nullptr;
  while ((w = FindWindowExW(nullptr, w, L"QuillmoorSessionWatch", nullptr))) {
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    if (process == GetCurrentProcessId()) return w;
  }
  return nullptr;
}

TEST(Win32Quit, TheSessionsEndAndCtrlCAreRequestsToEnd) {
  ASSERT_EQ(plat_quit_signals(1), 1);
  EXPECT_EQ(plat_quit_signalled(), 0);
  // The session's end reaches every top-level window: the hidden one made for it.
  HWND watch = nullptr;
  for (int i = 0; i < 6000 && !watch; i++, Sleep(10)) watch = own_session_window();
  ASSERT_NE(watch, nullptr);
  EXPECT_EQ(SendMessageW(watch, WM_QUERYENDSESSION, 0, 0), TRUE);
  EXPECT_EQ(plat_quit_signalled(), 0) << "only asked whether it may end";
  PostMessageW(watch, WM_ENDSESSION, TRUE, 0);
  EXPECT_TRUE(end_requested());
  EXPECT_EQ(plat_quit_signals(0), 1);
  EXPECT_EQ(plat_quit_signalled(), 0);

  ASSERT_EQ(plat_quit_signals(1), 1);
  // Wine gives a test program no console to send Ctrl+C to; Windows does.
  if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) GTEST_SKIP() << "no console to send Ctrl+C to";
  EXPECT_TRUE(end_requested());
  plat_quit_signals(0);
}

TEST(Win32Fonts, ShippedFacesStandInForMissingOnes) {
  // The test program's own fonts/ folder holds the faces the game ships.
  std::string file;
  int index = -1;
  ASSERT_EQ(plat_font_find("Arial", 0, 0, &file, &index), 1);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(plat_file_kind(file.c_str(), nullptr), PLAT_FILE);
  EXPECT_EQ(plat_font_find("No Such Face", 0, 0, &file, &index), 0);
  plat_fonts_release();
}

TEST(Win32Log, ThePlayersLogKeepsTheNewestRunsLastWithinItsBound) {
  ScratchDir d;
  const std::string local = d / "Local", log = local + "/Quillmoor/quillmoor.log";
  SetEnvironmentVariableW(L"LOCALAPPDATA", u8(local).wstring().c_str());
  _wputenv_s(L"LOCALAPPDATA", u8(local).wstring().c_str());
  const std::string line(1000, 'x');
  for (int run = 0; run < 200; run++) {
    EXPECT_EQ(plat_log_write("run " + std::to_string(run) + " " + line + "\n"), 1);
    plat_log_write("run " + std::to_string(run) + " again\n");
    plat_log_end();
    ASSERT_LE(read_file(log).size(), PLAT_LOG_BOUND) << "after run " << run;
  }
  std::string text = read_text(log);
  EXPECT_TRUE(text.starts_with("-- ")) << "whole runs only";
  EXPECT_TRUE(text.ends_with("run 199 " + line + "\r\nrun 199 again\r\n"));
  EXPECT_GT(text.size(), PLAT_LOG_BOUND - 2100) << "the older runs that fit are kept";
  // A run that says too much keeps its beginning and half the log for the runs before.
  for (int i = 0; i < 100; i++) plat_log_write("flood " + line + "\n");
  plat_log_end();
  text = read_text(log);
  EXPECT_LE(text.size(), PLAT_LOG_BOUND);
  EXPECT_NE(text.find("run 199 again"), std::string::npos);
  EXPECT_TRUE(text.ends_with("(more was said than the log keeps)\r\n"));

  // What the game tells its standard error goes there too.
  testing::internal::CaptureStderr();
  process_report("quillmoor: keys.conf line 1: no action named 'fly'\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "quillmoor: keys.conf line 1: no action named 'fly'\n");
  plat_log_end();
  EXPECT_TRUE(
      read_text(log).ends_with("\r\nquillmoor: keys.conf line 1: no action named 'fly'\r\n"));
}

// The program and its installer as Windows reads them from their files.
struct Win32Resources : ::testing::Test {
  static HMODULE open(const char* file) {
    return LoadLibraryExW(u8(std::string("Z:") + file).wstring().c_str(), nullptr,
                          LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  }
  // The icon group's image at 64 pixels as Windows draws it, 0xRRGGBB top row first.
  static std::vector<uint32_t> icon64(HMODULE m, int group) {
    HICON icon = (HICON)LoadImageW(m, MAKEINTRESOURCEW(group), IMAGE_ICON, 64, 64, 0);
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info)) return {};
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 64;
    bi.bmiHeader.biHeight = -64; // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<uint32_t> pixels(64 * 64);
    HDC dc = GetDC(nullptr);
    int rows = GetDIBits(dc, info.hbmColor, 0, 64, pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
    for (uint32_t& p : pixels) p &= 0xFFFFFF;
    return rows == 64 ? pixels : std::vector<uint32_t>{};
  }
};

TEST_F(Win32Resources, TheManifestDeclaresPerMonitorAwarenessUtf8AndLongPaths) {
  HMODULE m = open(QUILL_WINDOWS_PROGRAM);
  ASSERT_NE(m, nullptr);
  HRSRC found = FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const char* text = (const char*)LockResource(LoadResource(m, found));
  const std::string manifest(text, SizeofResource(m, found));
  for (const char* wanted :
       {"<dpiAwareness "
        "xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2",
        "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8<",
        "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true<",
        "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",
        "<requestedExecutionLevel level=\"asInvoker\""})
    EXPECT_NE(manifest.find(wanted), std::string::npos) << wanted;
  FreeLibrary(m);
}

TEST_F(Win32Resources, TheIconsShowTheWindowsIconsColours) {
  std::vector<uint32_t> window(window_icon, window_icon + 64 * 64);
  for (uint32_t& p : window) p &= 0xFFFFFF;
  // The program's first icon group; the installer's and its uninstaller's (103).
  for (const auto& [file, group] :
       {std::pair{QUILL_WINDOWS_PROGRAM, 1}, std::pair{QUILL_WINDOWS_SETUP, 103}}) {
    HMODULE m = open(file);
    ASSERT_NE(m, nullptr) << file;
    EXPECT_TRUE(icon64(m, group) == window) << file;
    FreeLibrary(m);
  }
}
