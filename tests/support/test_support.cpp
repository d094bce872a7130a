#include "tests/support/test_support.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace testsupport {

std::string MakeTempDir() {
  std::string base = std::filesystem::temp_directory_path().string() + "/kovatest.XXXXXX";
  std::string buf = base;
  if (!::mkdtemp(buf.data())) return "";
  return buf + "/";
}

void RemoveTree(const std::string& dir) {
  std::error_code ec;
  if (!dir.empty()) std::filesystem::remove_all(dir, ec);
}

static std::string WithSlash(std::string s) {
  if (!s.empty() && s.back() != '/') s += '/';
  return s;
}

std::string BinDir() {
  const char* v = std::getenv("KOVA_BIN");
  return WithSlash(v ? v : "");
}

std::string SourceDir() {
  const char* v = std::getenv("KOVA_SOURCE");
  return WithSlash(v ? v : "");
}

std::string Packed(int year, int month, int day) {
  std::string s;
  s += static_cast<char>(0x80 + year / 100);
  s += static_cast<char>(0x80 + year % 100);
  s += static_cast<char>(0x80 + month);
  s += static_cast<char>(0x80 + day);
  return s;
}

std::string Cp850(const std::string& utf8) {
  iconv_t cd = ::iconv_open("CP850", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
  std::string in = utf8, out(utf8.size() * 2 + 4, '\0');
  char* ip = in.data();
  char* op = out.data();
  size_t il = in.size(), ol = out.size();
  ::iconv(cd, &ip, &il, &op, &ol);
  ::iconv_close(cd);
  out.resize(out.size() - ol);
  return out;
}

std::string TestServer() {
  const char* v = std::getenv("KOVA_TEST_PG");
  return v ? v : "";
}

// Runs one SQL command through psql on the test server; true when it worked.
bool Psql(const std::string& sql) {
  const std::string conn = TestServer();
  pid_t pid = ::fork();
  if (pid == 0) {
    ::execlp("psql", "psql", conn.c_str(), "-qAtX", "-v", "ON_ERROR_STOP=1", "-c", sql.c_str(),
             static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

ServerSchema::ServerSchema() {
  static int counter = 0;
  name = "kovatest_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
  ok = !TestServer().empty() && Psql("DROP SCHEMA IF EXISTS " + name + " CASCADE; CREATE SCHEMA " + name);
  if (ok) ::setenv("PGOPTIONS", ("-c search_path=" + name).c_str(), 1);
}

ServerSchema::~ServerSchema() {
  if (!ok) return;
  ::unsetenv("PGOPTIONS");
  Psql("DROP SCHEMA IF EXISTS " + name + " CASCADE");
}

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

std::string CommandOutput(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

void KillProcessesMentioning(const std::string& text) {
  if (text.empty()) return;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const int pid = std::atoi(name.c_str());
    if (pid == getpid()) continue;
    for (const char* part : {"/cmdline", "/environ"}) {
      std::string bytes;
      FILE* f = std::fopen((entry.path().string() + part).c_str(), "rb");
      if (f == nullptr) continue;
      char buf[4096];
      std::size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
      std::fclose(f);
      if (bytes.find(text) != std::string::npos) {
        ::kill(pid, SIGKILL);
        break;
      }
    }
  }
}

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

RefusedRun RunRefused(const std::vector<std::string>& argv, const std::string& plan, const std::string& under,
                      const std::vector<std::string>& env) {
  RefusedRun r;
  const std::string dir = MakeTempDir();
  std::string line = "env";
  for (const std::string& e : env) line += " " + ShellQuote(e);
  line += " KOVA_FAIL_AT=" + ShellQuote(plan) + " KOVA_FAIL_UNDER=" + ShellQuote(under) +
          " KOVA_FAIL_LOG=" + ShellQuote(dir + "log");
  for (const std::string& a : argv) line += " " + ShellQuote(a);
  line += " </dev/null >" + ShellQuote(dir + "out") + " 2>" + ShellQuote(dir + "err");
  const int status = std::system(line.c_str());
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = Slurp(dir + "out");
  r.err = Slurp(dir + "err");
  std::istringstream log(Slurp(dir + "log"));
  for (std::string l; std::getline(log, l);) {
    if (l.rfind("fail ", 0) == 0) {
      r.struck = true;
      r.where = l;
    } else if (l.rfind("calls ", 0) == 0) {
      r.calls = l;
    }
  }
  RemoveTree(dir);
  return r;
}

bool CopyTree(const std::string& from, const std::string& to) {
  RemoveTree(to);
  std::error_code ec;
  std::filesystem::copy(from, to, std::filesystem::copy_options::recursive, ec);
  return !ec;
}

}  // namespace testsupport
