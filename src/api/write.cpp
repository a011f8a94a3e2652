// The files of a run, from its results.

#include <fcntl.h>

#include <optional>

#include "api/errors.hpp"
#include "api/internal.hpp"
#include "api/job_impl.hpp"
#include "api/results_detail.hpp"
#include "fib/fib_report.hpp"
#include "files/crc32.hpp"
#include "files/folder.hpp"
#include "report/file_set.hpp"
#include "report/output_file.hpp"
#include "report/write_reports.hpp"
#include "summary/summary_files.hpp"

namespace tbxrun {

namespace {

using namespace tbx;

const Results::Detail& detail_of(const Results& results) {
  if (!results.detail) throw internal::usage_error("the results are not those of a run");
  return *results.detail;
}

const Summary& summary_of(const Results& results) {
  if (!results.summary) throw internal::usage_error("the results hold no summary: run with Settings::summary");
  return *results.summary;
}

/// A fib job's report, which ends with the run identifier, and the stamp
/// of its summary files.
struct FibReport {
  std::string text;
  RunStamp stamp;
};

FibReport fib_report_of(const Results::Detail& d, const Summary& summary) {
  FibReport r;
  r.text = fib_report(d.fib, d.file_name, summary);
  // The identifier leaves the date out (as run_identifier does for the
  // summary): a run that repeats another exactly keeps it on another day.
  Summary undated = summary;
  undated.provenance.date.clear();
  r.stamp.run = run_identifier(crc32(fib_report(d.fib, d.file_name, undated)), summary);
  // The report shows the identifier its summary files carry.
  r.text += "\nRun           " + r.stamp.run + "\n";
  r.stamp.reports = {{"_report.txt", r.text.size(), crc32(r.text)}};
  return r;
}

/// The stamp of a classic run's summary files, from its reports' stamps.
RunStamp classic_stamp(std::vector<RunStamp::Report> reports, const Summary& summary) {
  RunStamp stamp;
  stamp.reports = std::move(reports);
  stamp.run = run_identifier(reports_crc(stamp.reports), summary);
  return stamp;
}

/// The stamp, from the reports made in memory.
RunStamp stamp_of(const Results& results) {
  const Results::Detail& d = detail_of(results);
  const Summary& summary = summary_of(results);
  if (d.model == Model::fib) return fib_report_of(d, summary).stamp;
  TextSink rs, xls;
  write_results_report(rs, d.job_name, d.classic, d.series, d.predicted_profile, d.threads);
  write_spreadsheet(xls, d.classic, d.series, d.predicted_profile);
  return classic_stamp(
      {{"_rs.dat", rs.text().size(), crc32(rs.text())}, {"_xls.dat", xls.text().size(), crc32(xls.text())}}, summary);
}

}  // namespace

void internal::check_writable(const Job& job, bool summary, int folder_fd) {
  const Job::Impl& impl = job.impl();
  guarded(impl.file_name, [&] {
    const std::string& base = impl.base_name;
    if (impl.model == Model::fib) {
      OutputFile::check_writable(folder_fd, fib_report_name(base), fib_report_name(base));
      check_summary_writable(folder_fd, base);
      return;
    }
    OutputFile::check_writable(folder_fd, results_report_name(base), RESULTS_REPORT_LABEL);
    // A spreadsheet file that cannot be opened ends the run after the
    // simulation, with the results report in place; only a device or the
    // like in its way is refused now.
    OutputFile::refuse_special_file(folder_fd, spreadsheet_name(base), SPREADSHEET_LABEL);
    if (summary) check_summary_writable(folder_fd, base);
  });
}

void internal::write_files(const Results& results, int folder_fd, bool sync) {
  const Results::Detail& d = detail_of(results);
  guarded(d.file_name, [&] {
    FileSet files(folder_fd, sync ? FileSet::Sync::each_file : FileSet::Sync::none);
    if (d.model == Model::fib) {
      const FibReport report = fib_report_of(d, summary_of(results));
      OutputFile& file = files.open(fib_report_name(d.base), fib_report_name(d.base));
      file.text() = report.text;
      files.finished(file);
      write_summary_files(files, d.base, *results.summary, report.stamp);
    } else {
      const auto reports = write_reports(d.job_name, d.classic, d.series, d.predicted_profile, files, d.threads,
                                         results.summary.has_value());
      if (results.summary) {
        const RunStamp stamp = classic_stamp({{"_rs.dat", reports[0]->size(), reports[0]->checksum()},
                                              {"_xls.dat", reports[1]->size(), reports[1]->checksum()}},
                                             *results.summary);
        write_summary_files(files, d.base, *results.summary, stamp);
      } else {
        // A summary of an earlier run would no longer describe these reports.
        files.remove_when_placed(summary_json_name(d.base));
        files.remove_when_placed(summary_csv_name(d.base));
      }
    }
    files.place();
  });
}

void write(const Job& job, const Results& results, const std::string& folder) {
  internal::guarded(job.file_name(), [&] {
    const std::optional<Folder> opened = Folder::open(folder.empty() ? "." : folder, AT_FDCWD);
    if (!opened) fatal_error(FatalKind::io, "Unable to open the folder - " + folder);
    internal::write_files(results, opened->fd(), true);
  });
}

std::string summary_json(const Results& results) {
  return internal::guarded("", [&] {
    const RunStamp stamp = stamp_of(results);
    return tbx::summary_json(*results.summary, &stamp);
  });
}

std::string summary_csv(const Results& results) {
  return internal::guarded("", [&] {
    const RunStamp stamp = stamp_of(results);
    return tbx::summary_csv(*results.summary, &stamp);
  });
}

}  // namespace tbxrun
