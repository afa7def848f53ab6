// Windows' own platform pieces, under Wine: the file layer with UTF-8 names,
// the player's folder of copies under %LOCALAPPDATA%, the console's Ctrl+C.
#include "game/work_folder.h"
#include "runtime/platform/plat_core.h"
#include "runtime/platform/plat_folders.h"
#include "runtime/platform/plat_fonts.h"
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
  // Started in the program's folder, which can take the copies: worked in.
  EXPECT_EQ(choose(installed), installed);

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
