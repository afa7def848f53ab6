// X on Linux: whether the X server DISPLAY names listens, asked by connecting
// to its socket and leaving at once (the server sees a client come and go).
#include "runtime/platform/sdl2/sdl2_x11.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int sdl2_x11_listening() {
  const char* display = getenv("DISPLAY");
  const char* colon = display ? strrchr(display, ':') : nullptr;
  if (!colon || colon[1] < '0' || colon[1] > '9') return 0;
  // "host:N" is reached over the network (an ssh session's forwarded display):
  // taken to be there. ":N" and "unix:N" are this machine's socket.
  const std::string host(display, (size_t)(colon - display));
  if (!host.empty() && host != "unix") return 1;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  snprintf(address.sun_path, sizeof address.sun_path, "/tmp/.X11-unix/X%d", atoi(colon + 1));
  int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int listening = s >= 0 && connect(s, (sockaddr*)&address, sizeof address) == 0;
  if (s >= 0) close(s);
  return listening;
}
