// Environment, clock, sleep and the random generator.
#include "platform/os/os.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <sys/time.h>

namespace os {

std::string GetEnv(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  return v ? std::string(v) : std::string();
}

void SetEnv(const std::string& name, const std::string& value) {
  if (value.empty())
    ::unsetenv(name.c_str());
  else
    ::setenv(name.c_str(), value.c_str(), 1);
}

namespace {
bool fixedNowSet = false;
DateTime fixedNow;
}  // namespace

// Tests of whole programs fix the clock through the environment:
// KOVA_NOW=YYYYMMDD (read once; ignored unless it is eight digits).
static void FixNowFromEnvironment() {
  static bool read = false;
  if (read) return;
  read = true;
  const char* text = std::getenv("KOVA_NOW");
  if (text == nullptr || std::strlen(text) != 8) return;
  for (int i = 0; i < 8; ++i)
    if (text[i] < '0' || text[i] > '9') return;
  auto number = [&](int at, int n) {
    int v = 0;
    for (int i = at; i < at + n; ++i) v = v * 10 + (text[i] - '0');
    return v;
  };
  if (fixedNowSet) return;
  fixedNow = DateTime{number(0, 4), number(4, 2), number(6, 2), 12, 0, 0, 0};
  fixedNowSet = true;
}

DateTime Now() {
  FixNowFromEnvironment();
  if (fixedNowSet) return fixedNow;
  timeval tv;
  ::gettimeofday(&tv, nullptr);
  std::tm tm{};
  time_t secs = tv.tv_sec;
  ::localtime_r(&secs, &tm);
  DateTime d;
  d.year = tm.tm_year + 1900;
  d.month = tm.tm_mon + 1;
  d.day = tm.tm_mday;
  d.hour = tm.tm_hour;
  d.minute = tm.tm_min;
  d.second = tm.tm_sec;
  d.millisecond = static_cast<int>(tv.tv_usec / 1000);
  return d;
}

void SetFixedNow(const DateTime& when) {
  fixedNow = when;
  fixedNowSet = true;
}

void ClearFixedNow() { fixedNowSet = false; }

std::int64_t MonotonicMs() {
  timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void SleepMs(int milliseconds) {
  if (milliseconds <= 0) return;
  timespec ts{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

namespace {
std::mt19937 generator;
bool started = false;
}  // namespace

void Randomize() {
  timeval tv;
  ::gettimeofday(&tv, nullptr);
  generator = std::mt19937(static_cast<std::uint32_t>(tv.tv_sec * 1000003u + tv.tv_usec) ^
                           static_cast<std::uint32_t>(ProcessId()) << 16);
  started = true;
}

void SeedRandom(std::uint32_t value) {
  generator = std::mt19937(value);
  started = true;
}

double Rnd() {
  if (!started) Randomize();
  return std::generate_canonical<double, 32>(generator);
}

int RandomInt(int low, int high) {
  if (high <= low) return low;
  if (!started) Randomize();
  std::uniform_int_distribution<int> dist(low, high);
  return dist(generator);
}

}  // namespace os
