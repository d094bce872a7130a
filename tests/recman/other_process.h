// The record manager helper program (recman_helper) in a second process,
// driven line by line, as this process's user or as another one.
#pragma once

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

namespace recmantest {

// Tests that need another user can only run as root (they skip otherwise):
// root itself ignores file permissions.
inline bool CanSwitchUser() { return geteuid() == 0; }
constexpr uid_t kOtherUser = 65534;   // nobody
constexpr gid_t kOtherGroup = 4242;   // a group of the test's own

struct Other {
  pid_t pid = -1;
  FILE* to = nullptr;
  FILE* from = nullptr;

  // uid/gid: the user and only group the helper runs as (-1: ours).
  explicit Other(uid_t uid = static_cast<uid_t>(-1), gid_t gid = static_cast<gid_t>(-1)) {
    char self[PATH_MAX] = {};
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string exe = std::string(self, n > 0 ? static_cast<std::size_t>(n) : 0);
    exe = exe.substr(0, exe.rfind('/') + 1) + "recman_helper";
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    pid = fork();
    if (pid == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[1]);
      close(out[0]);
      if (uid != static_cast<uid_t>(-1) &&
          (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) {
        _exit(126);
      }
      execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to = fdopen(in[1], "w");
    from = fdopen(out[0], "r");
  }
  ~Other() {
    if (to) fclose(to);  // end of input: the helper ends
    if (from) fclose(from);
    if (pid > 0) waitpid(pid, nullptr, 0);
  }
  Other(const Other&) = delete;
  Other& operator=(const Other&) = delete;

  // The status the helper answers (negative: it did not answer).
  int Ask(const std::string& command) {
    if (!to || !from) return -999;
    std::fprintf(to, "%s\n", command.c_str());
    std::fflush(to);
    int status = -998;
    if (std::fscanf(from, "%d", &status) != 1) return -997;
    return status;
  }
};

}  // namespace recmantest
