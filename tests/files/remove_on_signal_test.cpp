#include "files/remove_on_signal.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "files/folder.hpp"
#include "report/output_file.hpp"

namespace tbx {
namespace {

int count_entries(const std::string& dir) {
  int n = 0;
  DIR* d = ::opendir(dir.c_str());
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    n += name != "." && name != "..";
  }
  ::closedir(d);
  return n;
}

/// Runs `child` in a child process with a fresh temporary folder and returns
/// the child's wait status; the folder is gone afterwards. `child` ends the
/// process itself (_exit or a signal).
template <typename Child>
int status_of_child(Child child, int& entries_left) {
  char name[] = "/tmp/tbx-signal-XXXXXX";
  if (::mkdtemp(name) == nullptr) return -1;
  const std::string dir = name;
  const pid_t pid = ::fork();
  if (pid == 0) child(dir);
  int status = -1;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) status = -1;
  entries_left = count_entries(dir);
  std::system(("rm -rf '" + dir + "'").c_str());
  return status;
}

// Where unnamed files are not available the report is written to a named
// temporary file; a signal in the middle of it removes that file and ends
// the process by the same signal. Run in a child process, which the signal
// ends.
TEST(RemoveOnSignal, NamedTemporaryReportIsRemoved) {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    int left = -1;
    const int status = status_of_child(
        [signal_number](const std::string& dir) {
          // A signal ignored at start stays ignored (nohup, a background job
          // of a shell): start from the default as an interactive run does.
          ::signal(signal_number, SIG_DFL);
          remove_registered_files_on_signal();
          const auto folder = Folder::open(dir, AT_FDCWD);
          OutputFile file(folder->fd(), "job_rs.dat", "jobname_rs.dat", OutputFile::Temporary::named);
          file.text() = "part of a report\n";
          if (count_entries(dir) != 1) ::_exit(3);  // the temporary file is not there
          ::raise(signal_number);
          ::_exit(4);
        },
        left);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number)
        << "signal " << signal_number << ", status " << status;
    EXPECT_EQ(left, 0) << "signal " << signal_number;
  }
}

// Started with the signals ignored (as under nohup, or in a background job of
// a shell), the run keeps them ignored: a hangup then neither ends it nor
// removes its files.
TEST(RemoveOnSignal, SignalsIgnoredAtStartStayIgnored) {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    int left = -1;
    const int status = status_of_child(
        [signal_number](const std::string& dir) {
          ::signal(signal_number, SIG_IGN);
          remove_registered_files_on_signal();
          struct sigaction now {};
          if (::sigaction(signal_number, nullptr, &now) != 0 || now.sa_handler != SIG_IGN) ::_exit(3);
          const auto folder = Folder::open(dir, AT_FDCWD);
          OutputFile file(folder->fd(), "job_rs.dat", "jobname_rs.dat", OutputFile::Temporary::named);
          file.text() = "part of a report\n";
          ::raise(signal_number);
          ::_exit(count_entries(dir) == 1 ? 0 : 4);
        },
        left);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "signal " << signal_number << ", status " << status;
  }
}

}  // namespace
}  // namespace tbx
