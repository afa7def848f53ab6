// Dates against the C library's own idea of the local zone, in zones named as
// POSIX names them (Linux only: Windows' C library knows no such names).
#include "runtime/core/dates.h"
#include "runtime/platform/null/null_platform.h"

#include <ctime>
#include <gtest/gtest.h>

// The real clock in several zones: date_now is the local wall clock counted as if
// it were universal time, so it differs from time() by the zone's offset.
TEST(Dates, NowFollowsTheLocalZone) {
  null_reset();
  for (const char* zone : {"UTC", "America/New_York", "Asia/Kolkata", "Pacific/Chatham"}) {
    setenv("TZ", zone, 1);
    tzset();
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    long long expected = (long long)now + local.tm_gmtoff;
    long long got = date_now();
    EXPECT_NEAR((double)got, (double)expected, 2.0) << zone;
  }
  unsetenv("TZ");
  tzset();
}
