#include "tests/records/records_helpers.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "platform/console/console.h"
#include "platform/os/os.h"
#include "platform/recman/recman.h"
#include "records/layouts.h"
#include "settings/config.h"

namespace recordstest {

void PrepareDataRoot(const std::string& dir) {
  os::MakeDirs(dir + "DADES");
  os::MakeDirs(dir + "TAULES");
  records::WriteTemplates(dir + "ddf/");
}

void StartRecordsTest(const std::string& dir) {
  console::Start(console::Backend::Headless);
  console::ResetForTests();
  settings::DataRoot = dir;
  settings::TmpDir = dir;
  settings::Idioma = "CAT";
  PrepareDataRoot(dir);
}

int InsertRecords(const std::string& path, const std::string& spec,
                  const std::vector<std::string>& records) {
  unsigned char pos[recman::kPositionBlockSize] = {};
  unsigned char key[256] = {};
  std::memcpy(key, path.data(), path.size());
  std::string buffer(1536, '\0');
  buffer.replace(0, spec.size(), spec);
  std::uint32_t length = static_cast<std::uint32_t>(spec.size());
  if (!os::FileExists(path)) {
    int status = recman::BTRCALL(14, pos, buffer.data(), &length, key, 255, -1);
    if (status != 0 && status != 59) return status;  // 59: already on the server
  }
  char owner[5] = {};
  length = 0;
  int status = recman::BTRCALL(0, pos, owner, &length, key, 255, 0);
  if (status != 0) return status;
  for (const std::string& r : records) {
    std::string data = r;
    unsigned char k[256] = {};
    length = static_cast<std::uint32_t>(data.size());
    status = recman::BTRCALL(2, pos, data.data(), &length, k, 255, 0);
    if (status != 0) break;
  }
  unsigned char none[1] = {};
  length = 0;
  recman::BTRCALL(1, pos, none, &length, none, 0, 0);
  return status;
}

std::string PackedCode(int code) {
  std::string out;
  out += static_cast<char>(0x80 + code / 100);
  out += static_cast<char>(0x80 + code % 100);
  return out;
}

std::string Owner(int code, const std::string& name) {
  std::string r(826, '\0');
  r.replace(0, 2, PackedCode(code));
  std::string n = name;
  n.resize(40, ' ');
  r.replace(2, 40, n);
  return r;
}

Child StartChild(const std::string& program, const std::vector<std::string>& args) {
  Child c;
  int in[2], out[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0) return c;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::close(in[0]);
    ::close(in[1]);
    ::close(out[0]);
    ::close(out[1]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  c.pid = pid;
  c.toChild = in[1];
  c.fromChild = out[0];
  return c;
}

std::string ReadLine(Child& child) {
  std::string line;
  char ch;
  while (::read(child.fromChild, &ch, 1) == 1) {
    if (ch == '\n') break;
    line += ch;
  }
  return line;
}

int FinishChild(Child& child) {
  if (child.toChild >= 0) ::close(child.toChild);
  child.toChild = -1;
  int status = 0;
  if (child.pid > 0) ::waitpid(child.pid, &status, 0);
  if (child.fromChild >= 0) ::close(child.fromChild);
  child.fromChild = -1;
  child.pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace recordstest
