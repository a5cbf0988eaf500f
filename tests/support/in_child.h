// Running a check in a child process: as an unprivileged user (the tests run
// as root, which the permission bits would not stop), or under limits such as
// a file size limit that must not touch the test program itself.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace pixtrel::test {

// Runs check in a child process, as the user "nobody" when asUser is set; the
// child's exit code is check's result (0 = passed, anything else a failure
// number for the message). Returns -1 when the child could not run.
inline int InChild(const std::function<int()>& check, bool asUser) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (asUser && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
    int code = 101;
    try {
      code = check();
    } catch (...) {
      code = 102;
    }
    ::_exit(code);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace pixtrel::test
