#pragma once
// Runs the built program in a child process under the conditions a fault
// test sets up (resource limits, a console that is closed or hostile, another
// user) and collects its exit, its console output and the files it left.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tbx::faults {

namespace fs = std::filesystem;

/// The sanitizer runtime reserves terabytes of address space, so address
/// space limits cannot be tested in such a build.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool UNDER_ADDRESS_SANITIZER = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool UNDER_ADDRESS_SANITIZER = true;
#else
inline constexpr bool UNDER_ADDRESS_SANITIZER = false;
#endif
#else
inline constexpr bool UNDER_ADDRESS_SANITIZER = false;
#endif

/// Exit statuses of the child before exec, never used by the program.
inline constexpr int CHILD_SETUP_FAILED = 125;
inline constexpr int CHILD_CANNOT_DROP_PRIVILEGES = 124;
inline constexpr int CHILD_EXEC_FAILED = 127;

struct RunOptions {
  fs::path program = TBX_BINARY;
  std::vector<std::string> args;         ///< after the program name
  fs::path cwd;                          ///< working directory of the run
  std::optional<std::string> stdin_text; ///< nothing: standard input closed
  std::optional<rlim_t> file_size_limit; ///< bytes
  bool ignore_file_size_signal = true;   ///< SIGXFSZ ignored, or as a shell leaves it
  std::optional<rlim_t> address_space_limit;  ///< bytes
  std::optional<fs::path> stdout_file;   ///< standard output goes there
  bool as_nobody = false;                ///< run as uid/gid 65534
  std::vector<std::string> env;          ///< "NAME=value" added to the environment
  bool stdout_reader_gone = false;       ///< standard output a pipe nobody reads
  int timeout_seconds = 120;
};

/// A run in `cwd` with the given arguments and an empty standard input.
inline RunOptions run_in(const fs::path& cwd, std::vector<std::string> args = {"job"}) {
  RunOptions o;
  o.args = std::move(args);
  o.cwd = cwd;
  o.stdin_text = "";
  return o;
}

struct RunResult {
  int exit_status = -1;  ///< -1 when the program did not exit by itself
  int signal = 0;        ///< the signal that ended it, if any
  bool timed_out = false;
  std::string out;
  std::string err;

  /// One line for assertion messages.
  std::string describe() const {
    std::ostringstream s;
    s << "exit " << exit_status << ", signal " << signal << (timed_out ? ", timed out" : "")
      << "\n--- stderr:\n" << err.substr(0, 2000);
    return s.str();
  }
};

/// The layout of every error the program reports on standard error.
inline std::string error_report(const std::string& message) {
  return "\nERROR:\n" + message + "\n\n";
}

inline testing::AssertionResult begins_with(const std::string& text, const std::string& start) {
  if (text.compare(0, start.size(), start) == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "expected a text beginning with\n" << start
                                     << "\n--- got:\n" << text.substr(0, 2000);
}

namespace detail {

// Between fork and exec only async-signal-safe calls are made.
[[noreturn]] inline void exec_child(const RunOptions& o, char* const* argv, char* const* envp, int in_fd,
                                    int out_fd, int err_fd) {
  if (::chdir(o.cwd.c_str()) != 0) ::_exit(CHILD_SETUP_FAILED);
  if (in_fd >= 0) {
    if (::dup2(in_fd, 0) < 0) ::_exit(CHILD_SETUP_FAILED);
  } else {
    ::close(0);
  }
  if (::dup2(out_fd, 1) < 0 || ::dup2(err_fd, 2) < 0) ::_exit(CHILD_SETUP_FAILED);
  // The test process ignores SIGPIPE; the program gets the default back.
  ::signal(SIGPIPE, SIG_DFL);
  ::signal(SIGXFSZ, o.ignore_file_size_signal ? SIG_IGN : SIG_DFL);
  if (o.file_size_limit) {
    const rlimit r{*o.file_size_limit, *o.file_size_limit};
    if (::setrlimit(RLIMIT_FSIZE, &r) != 0) ::_exit(CHILD_SETUP_FAILED);
  }
  if (o.address_space_limit) {
    const rlimit r{*o.address_space_limit, *o.address_space_limit};
    if (::setrlimit(RLIMIT_AS, &r) != 0) ::_exit(CHILD_SETUP_FAILED);
  }
  if (o.as_nobody) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
      ::_exit(CHILD_CANNOT_DROP_PRIVILEGES);
    }
  }
  ::execve(argv[0], argv, envp);
  ::_exit(CHILD_EXEC_FAILED);
}

inline void set_nonblocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace detail

/// A started run of the program; finish() waits for it and collects it.
class Child {
 public:
  explicit Child(const RunOptions& o) : stdin_text_(o.stdin_text.value_or("")) {
    ::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> words{o.program.string()};
    words.insert(words.end(), o.args.begin(), o.args.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    // A variable given in o.env takes the place of the inherited one.
    const auto given = [&](const char* e) {
      const std::string word(e);
      const std::string name = word.substr(0, word.find('='));
      return std::any_of(o.env.begin(), o.env.end(), [&](const std::string& g) { return g.rfind(name + "=", 0) == 0; });
    };
    std::vector<std::string> env_words;
    for (char** e = environ; *e != nullptr; ++e) {
      if (!given(*e)) env_words.emplace_back(*e);
    }
    env_words.insert(env_words.end(), o.env.begin(), o.env.end());
    std::vector<char*> envp;
    for (auto& w : env_words) envp.push_back(w.data());
    envp.push_back(nullptr);

    int in_pipe[2] = {-1, -1};
    int out_pipe[2];
    int err_pipe[2];
    if ((o.stdin_text && ::pipe2(in_pipe, O_CLOEXEC) != 0) || ::pipe2(out_pipe, O_CLOEXEC) != 0 ||
        ::pipe2(err_pipe, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe failed");
    }
    int out_target = out_pipe[1];
    if (o.stdout_file) {
      out_target = ::open(o.stdout_file->c_str(), O_WRONLY | O_CLOEXEC);
      if (out_target < 0) throw std::runtime_error("cannot open " + o.stdout_file->string());
    }

    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) detail::exec_child(o, argv.data(), envp.data(), in_pipe[0], out_target, err_pipe[1]);

    if (o.stdin_text) ::close(in_pipe[0]);
    ::close(out_pipe[1]);
    if (o.stdout_reader_gone) {
      ::close(out_pipe[0]);
      out_pipe[0] = -1;
    }
    ::close(err_pipe[1]);
    if (o.stdout_file) ::close(out_target);
    in_fd_ = o.stdin_text ? in_pipe[1] : -1;
    if (in_fd_ >= 0) {
      detail::set_nonblocking(in_fd_);
      if (stdin_text_.empty()) {
        ::close(in_fd_);
        in_fd_ = -1;
      }
    }
    out_fd_ = out_pipe[0];
    err_fd_ = err_pipe[0];
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(o.timeout_seconds);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      finish();
    }
  }

  pid_t pid() const { return pid_; }

  /// Whether the program has ended, without collecting it.
  bool has_ended() const {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid_;
  }

  /// Feeds standard input, gathers the output until the program closes it,
  /// kills it after the timeout, and collects its end.
  RunResult finish() {
    RunResult result;
    char buf[1 << 16];
    while (out_fd_ >= 0 || err_fd_ >= 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline_ - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        result.timed_out = true;
        ::kill(pid_, SIGKILL);
        break;
      }
      pollfd fds[3] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}, {in_fd_, POLLOUT, 0}};
      if (::poll(fds, 3, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
        if (n > 0) {
          (i == 0 ? result.out : result.err).append(buf, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EAGAIN) {
          ::close(fds[i].fd);
          (i == 0 ? out_fd_ : err_fd_) = -1;
        }
      }
      if (in_fd_ >= 0 && fds[2].revents != 0) {
        const ssize_t n = ::write(in_fd_, stdin_text_.data() + written_, stdin_text_.size() - written_);
        if (n > 0) written_ += static_cast<std::size_t>(n);
        // A program that stops reading ends our writing too (EPIPE).
        if ((n < 0 && errno != EAGAIN) || written_ == stdin_text_.size()) {
          ::close(in_fd_);
          in_fd_ = -1;
        }
      }
    }
    for (int* fd : {&in_fd_, &out_fd_, &err_fd_}) {
      if (*fd >= 0) ::close(*fd);
      *fd = -1;
    }
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    if (result.timed_out) result.exit_status = -1;
    return result;
  }

 private:
  std::string stdin_text_;
  std::size_t written_ = 0;
  pid_t pid_ = -1;
  int in_fd_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::chrono::steady_clock::time_point deadline_;
};

/// Runs the program and waits for it, killing it after the timeout.
inline RunResult run_program(const RunOptions& o) { return Child(o).finish(); }

/// Waits up to `seconds` for `condition` to hold.
template <typename Condition>
bool wait_for(Condition condition, double seconds = 60) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    ::usleep(1000);
  }
  return true;
}

/// Names of the files in `dir` that process `pid` has open; a file without
/// a name (or removed) shows as "#inode (deleted)" or "name (deleted)".
inline std::set<std::string> open_files_in(pid_t pid, const fs::path& dir) {
  std::set<std::string> names;
  std::error_code ec;
  const std::string prefix = dir.string() + "/";
  for (const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    const std::string target = fs::read_symlink(e.path(), ec).string();
    if (!ec && target.compare(0, prefix.size(), prefix) == 0) names.insert(target.substr(prefix.size()));
  }
  return names;
}

/// Whether process `pid` is writing a file in `dir` other than those named.
inline bool writes_other_file_in(pid_t pid, const fs::path& dir, const std::set<std::string>& known) {
  for (const auto& name : open_files_in(pid, dir)) {
    if (known.count(name) == 0) return true;
  }
  return false;
}

/// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tbx-faults-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

inline void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
  if (!f.flush()) throw std::runtime_error("cannot write " + path.string());
}

inline std::string read_file(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

/// Names in a directory, temporary files included.
inline std::set<std::string> entries(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

/// The small job of tests/data/small_job.dat, with `nsim` simulations per point.
inline std::string small_job(long long nsim = 400) {
  const fs::path data = fs::path(TBX_TEST_DATA_DIR) / "small_job.dat";
  std::string text = read_file(data);
  const std::string field = "\n400 ;";
  const auto at = text.find(field);
  if (at == std::string::npos) throw std::runtime_error("no nsim field in " + data.string());
  text.replace(at, field.size(), "\n" + std::to_string(nsim) + " ;");
  return text;
}

}  // namespace tbx::faults
