// The test process's own limits, standard input and user, changed for a while.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

namespace quarvel::testing {

// The process may write files of at most `bytes` bytes while it lives.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
};

// Standard input reads `path` while the object lives.
class StandardInputFrom {
 public:
  explicit StandardInputFrom(const std::filesystem::path& path) : saved_(dup(STDIN_FILENO)) {
    const int file = open(path.c_str(), O_RDONLY);
    dup2(file, STDIN_FILENO);
    close(file);
  }
  ~StandardInputFrom() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

// The user id that runs `check` in AsAnotherUser: "nobody".
inline constexpr uid_t kOtherUser = 65534;

// Runs `check` in a child process as the user "nobody" when the tests run as root (so
// that permissions bind), else in a child as the current user; true when it returned true.
inline bool AsAnotherUser(const std::function<bool()>& check) {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setresgid(kOtherUser, kOtherUser, kOtherUser) != 0 ||
                           setresuid(kOtherUser, kOtherUser, kOtherUser) != 0))
      _exit(2);
    _exit(check() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace quarvel::testing
