// A run's files belong together: the reports and the summary are put in
// place as one set or not at all, a run without a summary takes the earlier
// one away, a signal or a full file never leaves reports of one run beside
// the summary of another, and nothing but a regular file is ever replaced.

#include <sys/stat.h>
#include <sys/types.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

#include "files/crc32.hpp"
#include "support/run_program.hpp"

namespace tbx::faults {
namespace {

constexpr long long LARGE_NSIM = 300000;
const std::set<std::string> SET = {"job.dat", "job_rs.dat", "job_xls.dat", "job_summary.json", "job_summary.csv"};

std::string with_seed(std::string job, const std::string& seed) {
  const std::string field = "4242 ;";
  return job.replace(job.find(field), field.size(), seed + " ;");
}

std::string value_after(const std::string& text, const std::string& key, std::size_t from = 0) {
  const std::size_t at = text.find("\"" + key + "\": ", from);
  if (at == std::string::npos) return "";
  std::size_t begin = at + key.size() + 4;
  if (text[begin] == '"') ++begin;
  return text.substr(begin, text.find_first_of("\",}\n", begin) - begin);
}

// Whether the summary in `dir` records exactly the reports beside it, and
// its CSV file names the same run.
testing::AssertionResult summary_belongs(const fs::path& dir) {
  const std::string json = read_file(dir / "job_summary.json");
  for (const std::string suffix : {"_rs.dat", "_xls.dat"}) {
    const std::size_t at = json.find("\"suffix\": \"" + suffix + "\"");
    if (at == std::string::npos) return testing::AssertionFailure() << "no stamp of " << suffix;
    const std::string report = read_file(dir / ("job" + suffix));
    if (value_after(json, "bytes", at) != std::to_string(report.size()) ||
        value_after(json, "crc32", at) != hex32(crc32(report))) {
      return testing::AssertionFailure() << "job" << suffix << " is not the report of the summary";
    }
  }
  const std::string csv = read_file(dir / "job_summary.csv");
  const std::string run = value_after(json, "run");
  const std::string first_row = csv.substr(0, csv.find('\n', csv.find('\n', csv.find('\n') + 1) + 1));
  if (run.size() != 16 || first_row.size() < 17 || first_row.compare(first_row.size() - 16, 16, run) != 0) {
    return testing::AssertionFailure() << "the CSV file is not of run " << run;
  }
  return testing::AssertionSuccess();
}

struct EarlierSet {
  TempDir dir;
  std::map<std::string, std::string> files;
  explicit EarlierSet(const std::string& job) {
    write_file(dir / "job.dat", job);
    RunOptions o = run_in(dir.path(), {"--summary", "job"});
    if (run_program(o).exit_status != 0) throw std::runtime_error("the earlier run failed");
    for (const auto& name : entries(dir.path())) {
      if (name != "job.dat") files[name] = read_file(dir / name);
    }
  }
  bool unchanged() const {
    if (entries(dir.path()) != SET) return false;
    for (const auto& [name, bytes] : files) {
      if (read_file(dir / name) != bytes) return false;
    }
    return true;
  }
};

// Each case: a later run over an earlier --summary run, and what it must
// leave.
TEST(RunFiles, LaterRunReplacesTheWholeSetOrNothing) {
  const std::string earlier_job = with_seed(small_job(), "777");
  const std::string earlier_rs_size = std::to_string(EarlierSet(earlier_job).files.at("job_rs.dat").size());
  const struct {
    const char* what;
    std::vector<std::string> args;
    long long nsim;
    bool file_size_limited;  // at the size of the earlier results report
    int exit_status;
    bool summary_left;
  } cases[] = {
      {"without --summary: the earlier summary goes", {"job"}, 400, false, 0, false},
      {"with --summary: a new set", {"--summary", "job"}, 400, false, 0, true},
      {"the results report outgrows the file size limit", {"--summary", "job"}, 4000, true, 1, true},
      {"so does a run without --summary", {"job"}, 4000, true, 1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EarlierSet earlier(earlier_job);
    write_file(earlier.dir / "job.dat", small_job(c.nsim));
    RunOptions o = run_in(earlier.dir.path(), c.args);
    if (c.file_size_limited) o.file_size_limit = std::stoull(earlier_rs_size);
    const RunResult r = run_program(o);
    EXPECT_EQ(r.exit_status, c.exit_status) << r.describe();
    if (c.exit_status != 0) {
      EXPECT_TRUE(earlier.unchanged()) << "the earlier set changed";
      continue;
    }
    EXPECT_NE(read_file(earlier.dir / "job_rs.dat"), earlier.files.at("job_rs.dat"));
    EXPECT_EQ(fs::exists(earlier.dir / "job_summary.json"), c.summary_left);
    EXPECT_EQ(fs::exists(earlier.dir / "job_summary.csv"), c.summary_left);
    if (c.summary_left) {
      EXPECT_TRUE(summary_belongs(earlier.dir.path()));
    }
  }
}

// Signals at times spread over a --summary run: afterwards the summary
// always describes the reports beside it (the earlier set or the new one).
TEST(RunFiles, SignalNeverMixesTwoRuns) {
  const std::string job = small_job(LARGE_NSIM);
  const EarlierSet timing(with_seed(job, "777"));
  const auto start = std::chrono::steady_clock::now();
  write_file(timing.dir / "job.dat", job);
  ASSERT_EQ(run_program(run_in(timing.dir.path(), {"--summary", "job"})).exit_status, 0);
  const auto run_time = std::chrono::steady_clock::now() - start;
  constexpr int TRIALS = 10;
  for (int k = 0; k < TRIALS; ++k) {
    const int signal_number = k % 2 ? SIGINT : SIGTERM;
    SCOPED_TRACE("signal " + std::to_string(signal_number) + " at " + std::to_string(k) + "/" +
                 std::to_string(TRIALS) + " of the run");
    EarlierSet earlier(with_seed(job, "777"));
    write_file(earlier.dir / "job.dat", job);
    Child child(run_in(earlier.dir.path(), {"--summary", "job"}));
    std::this_thread::sleep_for(run_time * (k + 0.5) / TRIALS);
    ::kill(child.pid(), signal_number);
    const RunResult r = child.finish();
    EXPECT_TRUE(r.signal == signal_number || r.exit_status == 0) << r.describe();
    EXPECT_EQ(entries(earlier.dir.path()), SET);
    EXPECT_TRUE(summary_belongs(earlier.dir.path()));
  }
}

// Under address-space limits around what a --summary run needs: it is
// refused before the simulation with both amounts, or fails later and
// leaves the earlier set, or completes; never new reports beside an old
// summary.
TEST(RunFiles, MemoryLimitNeverMixesTwoRuns) {
  if (UNDER_ADDRESS_SANITIZER) GTEST_SKIP() << "address space limits do not work with ASan";
  const std::string job = small_job(200000);
  int refused = 0;
  int completed = 0;
  for (rlim_t mib = 16; mib <= 96 && completed < 2; mib += 8) {
    SCOPED_TRACE(std::to_string(mib) + " MiB");
    EarlierSet earlier(with_seed(small_job(), "777"));
    write_file(earlier.dir / "job.dat", job);
    RunOptions o = run_in(earlier.dir.path(), {"--summary", "--threads", "2", "job"});
    o.address_space_limit = mib << 20;
    const RunResult r = run_program(o);
    if (r.exit_status == 0) {
      ++completed;
      EXPECT_TRUE(summary_belongs(earlier.dir.path()));
      continue;
    }
    ASSERT_EQ(r.exit_status, 1) << r.describe();
    EXPECT_TRUE(earlier.unchanged()) << "the earlier set changed";
    if (r.out.find("Performing simulation") == std::string::npos) {
      ++refused;
      EXPECT_NE(r.err.find("Memory allocation failed\nThe run needs "), std::string::npos) << r.err;
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_EQ(completed, 2);
}

// A report name that is, or leads to, anything but a regular file (or a
// directory, refused as before) is refused before the simulation, naming
// it, and the thing it names stays as it was.
TEST(RunFiles, OnlyRegularFilesAreReplaced) {
  const struct {
    const char* name;
    const char* link_to;  // nullptr: the name itself is a FIFO
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {"job_rs.dat", nullptr, {"job"}, "job_rs.dat is a FIFO, not a regular file"},
      {"job_xls.dat", "/dev/null", {"job"}, "job_xls.dat leads to /dev/null, a character device, not a regular file"},
      {"job_summary.csv", "store/pipe", {"--summary", "job"}, "job_summary.csv leads to store/pipe, a FIFO"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    write_file(dir / "job.dat", small_job());
    fs::create_directory(dir / "store");
    ASSERT_EQ(::mkfifo((dir / "store" / "pipe").c_str(), 0644), 0);
    if (c.link_to) {
      fs::create_symlink(c.link_to, dir / c.name);
    } else {
      ASSERT_EQ(::mkfifo((dir / c.name).c_str(), 0644), 0);
    }
    const RunResult r = run_program(run_in(dir.path(), c.args));
    EXPECT_EQ(r.exit_status, 1) << r.describe();
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Performing simulation"), std::string::npos);
    EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"job.dat", "store", c.name}));
    EXPECT_TRUE(fs::is_fifo(dir / "store" / "pipe"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    if (!c.link_to) {
      EXPECT_TRUE(fs::is_fifo(dir / c.name));
    }
  }
}

// Exit status 0 means every file and the folder are on disk: one flush per
// file and one of the folder, every one before the first file takes its
// name; with --no-sync none at all, and the same files.
TEST(RunFiles, FilesAreOnDiskUnlessLeftToTheStudy) {
  const fs::path strace = "/usr/bin/strace";
  if (!fs::exists(strace) || std::system("/usr/bin/strace -o /dev/null true > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "no usable strace";
  }
  std::string files_written;
  for (const bool no_sync : {false, true}) {
    SCOPED_TRACE(no_sync ? "--no-sync" : "default");
    TempDir dir;
    write_file(dir / "job.dat", small_job());
    RunOptions o = run_in(dir.path(), {"-f", "-e", "trace=fsync,fdatasync,renameat,renameat2", "-o", "trace",
                                       TBX_BINARY, "--summary", "job"});
    if (no_sync) o.args.insert(o.args.end() - 1, "--no-sync");
    o.program = strace;
    o.env = {"SOURCE_DATE_EPOCH=0"};  // the two runs' files then differ in nothing
#if defined(__SANITIZE_ADDRESS__)
    // The leak checker cannot work under a tracer.
    const char* asan = std::getenv("ASAN_OPTIONS");
    o.env.push_back(std::string("ASAN_OPTIONS=") + (asan ? std::string(asan) + ":" : "") + "detect_leaks=0");
#endif
    ASSERT_EQ(run_program(o).exit_status, 0);
    const std::string trace = read_file(dir / "trace");
    fs::remove(dir / "trace");
    std::size_t syncs = 0;
    for (std::size_t at = trace.find("sync("); at != std::string::npos; at = trace.find("sync(", at + 1)) ++syncs;
    const std::size_t last_file_sync = trace.rfind("sync(", trace.find("rename"));
    const std::size_t folder_sync = trace.find("sync(", trace.rfind("rename"));
    EXPECT_EQ(syncs, no_sync ? 0u : 5u) << trace;
    if (!no_sync) {
      EXPECT_NE(last_file_sync, std::string::npos) << trace;
      EXPECT_NE(folder_sync, std::string::npos) << trace;
    }
    std::string files;
    for (const auto& name : entries(dir.path())) files += name + "\n" + read_file(dir / name);
    if (no_sync) {
      EXPECT_EQ(files, files_written);
    }
    files_written = files;
  }
}

// A fib job where the lock file cannot be made (a folder holds its name):
// the second run still waits for the first, so its report and summary are
// one run's.
TEST(RunFiles, FibRunsWaitWithoutALockFile) {
  TempDir dir;
  std::string toml = read_file(fs::path(TBX_TEST_DATA_DIR) / ".." / ".." / "examples" / "fib_splash_zone.toml");
  const std::string field = "simulations = 10000";
  toml.replace(toml.find(field), field.size(), "simulations = 300000");
  write_file(dir / "job.toml", toml);
  fs::create_directory(dir / ".job.tbxrun-lock");
  Child first(run_in(dir.path()));
  ASSERT_TRUE(wait_for([&] { return first.has_ended() || open_files_in(first.pid(), dir.path()).count("job.toml"); }));
  const RunResult second = run_program(run_in(dir.path()));
  const RunResult r = first.finish();
  EXPECT_EQ(r.exit_status, 0) << r.describe();
  EXPECT_EQ(second.exit_status, 0) << second.describe();
  EXPECT_EQ(second.err, "Waiting for another run of job\n");
}

}  // namespace
}  // namespace tbx::faults
