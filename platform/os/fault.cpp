// Refused writes for tests: the n-th write, rename or directory creation made
// through this layer (or reported to it by the record manager) fails as a
// full disk or a refused permission would, or the process is killed just
// before it. See os.h for the plan's format.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/os/os.h"

namespace os {
namespace {

struct Plan {
  bool active = false;     // a plan is set (counting happens)
  bool any = false;        // every kind counts towards `at`
  FaultKind kind = FaultKind::Write;
  long at = 0;             // the call that fails (1-based); 0 only counts
  bool onwards = false;    // every later call of the kind fails too
  int error = ENOSPC;
  bool kill = false;       // the process is killed (SIGKILL) instead
  std::vector<std::string> under;  // folders whose files count ("/"-ended); empty: all
  std::string log;         // host path of the log file, or ""
  long calls[3] = {0, 0, 0};
  long anyCalls = 0;
  bool struck = false;
};

Plan& State() {
  static Plan plan;
  return plan;
}

const char* KindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::Write: return "write";
    case FaultKind::Rename: return "rename";
    case FaultKind::MakeDir: return "mkdir";
  }
  return "?";
}

const char* ErrorName(int error) {
  switch (error) {
    case EACCES: return "EACCES";
    case EROFS: return "EROFS";
    case EIO: return "EIO";
    default: return "ENOSPC";
  }
}

// One line appended to the log, straight through the system (never counted).
void LogLine(const std::string& line) {
  const Plan& p = State();
  if (p.log.empty()) return;
  const int fd = ::open(p.log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return;
  const std::string text = line + "\n";
  [[maybe_unused]] const ssize_t n = ::write(fd, text.data(), text.size());
  ::close(fd);
}

void LogCounts() {
  const Plan& p = State();
  LogLine("calls write " + std::to_string(p.calls[0]) + " rename " + std::to_string(p.calls[1]) + " mkdir " +
          std::to_string(p.calls[2]));
}

std::string WithSlash(std::string dir) {
  dir = HostPath(dir);
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

// "KIND:N[+][:ERRNO]" into the plan; false when it does not read.
bool ParsePlan(const std::string& text, Plan& p) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  const std::string kind = text.substr(0, colon);
  if (kind == "write") p.kind = FaultKind::Write;
  else if (kind == "rename") p.kind = FaultKind::Rename;
  else if (kind == "mkdir") p.kind = FaultKind::MakeDir;
  else if (kind == "any") p.any = true;
  else return false;
  std::string rest = text.substr(colon + 1);
  std::string error;
  if (const std::size_t c = rest.find(':'); c != std::string::npos) {
    error = rest.substr(c + 1);
    rest.resize(c);
  }
  if (!rest.empty() && rest.back() == '+') {
    p.onwards = true;
    rest.pop_back();
  }
  if (rest.empty() || rest.size() > 9 || rest.find_first_not_of("0123456789") != std::string::npos) return false;
  p.at = std::atol(rest.c_str());
  if (error.empty() || error == "ENOSPC") p.error = ENOSPC;
  else if (error == "EACCES") p.error = EACCES;
  else if (error == "EROFS") p.error = EROFS;
  else if (error == "EIO") p.error = EIO;
  else if (error == "KILL") p.kill = true;
  else return false;
  return true;
}

void SetUnder(Plan& p, const std::string& folders) {
  p.under.clear();
  std::size_t start = 0;
  while (start < folders.size()) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    if (end > start) p.under.push_back(WithSlash(folders.substr(start, end - start)));
    start = end + 1;
  }
}

bool Counts(const Plan& p, const std::string& path) {
  if (p.under.empty()) return true;
  std::string host = HostPath(path);
  if (host.empty() || host[0] != '/') host = CurrentDir() + host;
  for (const std::string& dir : p.under)
    if (host.compare(0, dir.size(), dir) == 0) return true;
  return false;
}

// The plan of the environment, read once when the program starts. The
// variables are taken out of the environment, so the count belongs to this
// process: the programs it starts run without a plan.
bool LoadFromEnvironment() {
  const char* at = std::getenv("KOVA_FAIL_AT");
  if (at == nullptr || *at == '\0') return false;
  Plan& p = State();
  p = Plan();
  const std::string text = at;
  if (const char* under = std::getenv("KOVA_FAIL_UNDER")) SetUnder(p, under);
  if (const char* log = std::getenv("KOVA_FAIL_LOG")) p.log = HostPath(log);
  ::unsetenv("KOVA_FAIL_AT");
  ::unsetenv("KOVA_FAIL_UNDER");
  ::unsetenv("KOVA_FAIL_LOG");
  if (!ParsePlan(text, p)) {
    // A plan that does not read must not pass for a run without failures.
    const std::string message = "KOVA_FAIL_AT: cannot read \"" + text + "\"\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, message.data(), message.size());
    std::_Exit(70);
  }
  p.active = true;
  if (!p.log.empty()) std::atexit(LogCounts);
  return true;
}

[[maybe_unused]] const bool g_loaded = LoadFromEnvironment();

}  // namespace

bool InjectedFault(FaultKind kind, const std::string& path) {
  Plan& p = State();
  if (!p.active || !Counts(p, path)) return false;
  const long n = ++p.calls[static_cast<int>(kind)];
  long number = n;
  if (p.any) number = ++p.anyCalls;
  else if (kind != p.kind) return false;
  if (p.at == 0 || number < p.at || (number > p.at && !p.onwards)) return false;
  p.struck = true;
  LogLine(std::string("fail ") + KindName(kind) + " " + std::to_string(number) + " " +
          (p.kill ? "KILL" : ErrorName(p.error)) + " " + HostPath(path));
  // A crash at this moment: nothing runs after it, no exit handler, no flush.
  if (p.kill) ::kill(::getpid(), SIGKILL);
  errno = p.error;
  return true;
}

void SetFaultPlan(const std::string& plan, const std::string& under) {
  Plan& p = State();
  p = Plan();
  if (plan.empty()) return;
  p.active = ParsePlan(plan, p);
  SetUnder(p, under);
}

bool FaultPlanned() { return State().active; }

long FaultCalls(FaultKind kind) { return State().calls[static_cast<int>(kind)]; }

bool FaultStruck() { return State().struck; }

}  // namespace os
