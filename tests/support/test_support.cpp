#include "tests/support/test_support.h"

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

namespace {

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

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
  for (const std::string& e : env) line += " " + Quote(e);
  line += " KOVA_FAIL_AT=" + Quote(plan) + " KOVA_FAIL_UNDER=" + Quote(under) + " KOVA_FAIL_LOG=" + Quote(dir + "log");
  for (const std::string& a : argv) line += " " + Quote(a);
  line += " </dev/null >" + Quote(dir + "out") + " 2>" + Quote(dir + "err");
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
