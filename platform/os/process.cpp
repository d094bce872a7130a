// Child programs and process facts.
#include "platform/os/os.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace os {

static int WaitChildStatus(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

static int WaitChild(pid_t pid) {
  const int status = WaitChildStatus(pid);
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The program's path and arguments as spawn takes them (valid while both live).
static std::vector<char*> Argv(std::string& path, const std::vector<std::string>& args) {
  std::vector<char*> argv{path.data()};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

int RunProgram(const std::string& program, const std::vector<std::string>& args) {
  std::string path = HostPath(program);
  std::vector<char*> argv = Argv(path, args);
  pid_t pid;
  if (::posix_spawnp(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return WaitChild(pid);
}

int RunShell(const std::string& commandLine) {
  return RunProgram("/bin/sh", {"-c", commandLine});
}

int RunProgramQuietly(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& env, const std::string& errorFile) {
  std::string path = HostPath(program);
  std::vector<char*> argv = Argv(path, args);
  // This process's environment without the variables `env` sets, then those.
  std::vector<char*> envp;
  for (char** e = environ; *e != nullptr; ++e) {
    bool replaced = false;
    for (const std::string& v : env) {
      const std::size_t name = v.find('=');
      replaced = replaced || (name != std::string::npos && ::strncmp(*e, v.c_str(), name + 1) == 0);
    }
    if (!replaced) envp.push_back(*e);
  }
  for (const std::string& v : env) envp.push_back(const_cast<char*>(v.c_str()));
  envp.push_back(nullptr);

  const std::string errors = HostPath(errorFile);
  posix_spawn_file_actions_t streams;
  if (::posix_spawn_file_actions_init(&streams) != 0) return -1;
  ::posix_spawn_file_actions_addopen(&streams, 0, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_addopen(&streams, 1, "/dev/null", O_WRONLY, 0);
  ::posix_spawn_file_actions_addopen(&streams, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  pid_t pid;
  const int started = ::posix_spawn(&pid, path.c_str(), &streams, nullptr, argv.data(), envp.data());
  ::posix_spawn_file_actions_destroy(&streams);
  if (started != 0) return -1;
  const int status = WaitChildStatus(pid);
  if (status == -1) return -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

std::vector<void (*)()> g_closers;

}  // namespace

void AtProgramEnd(void (*closer)()) {
  for (auto* c : g_closers)
    if (c == closer) return;
  g_closers.push_back(closer);
}

void EndProgram(int code) {
  // Taken off before it runs: a closer that ends the program itself goes on
  // with the ones left, and none runs twice.
  while (!g_closers.empty()) {
    void (*closer)() = g_closers.back();
    g_closers.pop_back();
    closer();
  }
  std::exit(code);
}

std::string ExecutableDir() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return CurrentDir();
  std::string s(buf, static_cast<std::size_t>(n));
  std::size_t slash = s.rfind('/');
  return slash == std::string::npos ? CurrentDir() : s.substr(0, slash + 1);
}

int ProcessId() { return static_cast<int>(::getpid()); }

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

std::string LoginName() {
  const passwd* user = ::getpwuid(::geteuid());
  if (user != nullptr && user->pw_name != nullptr && user->pw_name[0] != '\0') return user->pw_name;
  const char* login = ::getlogin();
  if (login != nullptr && login[0] != '\0') return login;
  for (const char* name : {"LOGNAME", "USER"})
    if (!GetEnv(name).empty()) return GetEnv(name);
  return std::to_string(::geteuid());
}

std::string TerminalName() {
  for (int fd = 0; fd <= 2; ++fd) {
    const char* name = ::isatty(fd) == 1 ? ::ttyname(fd) : nullptr;
    if (name != nullptr) return std::string(name).rfind("/dev/", 0) == 0 ? std::string(name + 5) : std::string(name);
  }
  return "";
}

}  // namespace os
