#include "report/output_file.hpp"

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "support/fatal_report.hpp"

namespace tbx {
namespace {

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/tbx-output-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  std::set<std::string> entries() const {
    std::set<std::string> names;
    DIR* d = opendir(dir_.c_str());
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.insert(n);
    }
    closedir(d);
    return names;
  }
  static std::string contents(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void write(const std::string& p, const std::string& text) {
    OutputFile f(p, "jobname_rs.dat");
    f.text() = text;
    f.commit();
  }

  std::string dir_;
};

TEST_F(OutputFileTest, CommittedFileAppearsWholeAndAlone) {
  write(path("job_rs.dat"), "report\n");
  EXPECT_EQ(contents(path("job_rs.dat")), "report\n");
  EXPECT_EQ(entries(), std::set<std::string>{"job_rs.dat"});
}

TEST_F(OutputFileTest, LargeTextIsWrittenInPieces) {
  std::string big;
  {
    OutputFile f(path("big_rs.dat"), "jobname_rs.dat");
    for (int i = 0; i < 300000; ++i) {
      f.text() += "0123456789\n";
      f.flush_if_full();
    }
    f.commit();
  }
  EXPECT_EQ(contents(path("big_rs.dat")).size(), 300000u * 11);
}

TEST_F(OutputFileTest, DirectoryInTheWayCannotBeOpened) {
  ASSERT_EQ(mkdir(path("job_rs.dat").c_str(), 0755), 0);
  EXPECT_EQ(test::report_of([&] { write(path("job_rs.dat"), "x"); }),
            "\nERROR:\nUnable to open output file - jobname_rs.dat\n\n");
  EXPECT_EQ(entries(), std::set<std::string>{"job_rs.dat"});
}

TEST_F(OutputFileTest, MissingDirectoryCannotBeOpened) {
  EXPECT_EQ(test::report_of([&] { write(path("no/such/job_rs.dat"), "x"); }),
            "\nERROR:\nUnable to open output file - jobname_rs.dat\n\n");
}

TEST_F(OutputFileTest, AbandonedFileLeavesTheEarlierReport) {
  write(path("job_rs.dat"), "old complete report\n");
  {
    OutputFile f(path("job_rs.dat"), "jobname_rs.dat");
    f.text() = "half of a new";
  }
  EXPECT_EQ(contents(path("job_rs.dat")), "old complete report\n");
  EXPECT_EQ(entries(), std::set<std::string>{"job_rs.dat"});
}

TEST_F(OutputFileTest, FailedWriteIsReportedAndLeavesNoTrace) {
  write(path("job_rs.dat"), "old complete report\n");
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  const std::string report = test::report_of([&] { write(path("job_rs.dat"), std::string(10000, 'x')); });
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(report, "\nERROR:\nUnable to write output file - jobname_rs.dat\n\n");
  EXPECT_EQ(contents(path("job_rs.dat")), "old complete report\n");
  EXPECT_EQ(entries(), std::set<std::string>{"job_rs.dat"});
}

}  // namespace
}  // namespace tbx
