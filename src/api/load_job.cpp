#include "api/load_job.hpp"

#include <cstdio>
#include <memory>
#include <toml++/toml.h>

#include "api/errors.hpp"
#include "api/job_impl.hpp"
#include "check/reader_findings.hpp"
#include "fib/fib_job_file.hpp"
#include "fib/toml_nesting.hpp"
#include "files/owned_file.hpp"

namespace tbxrun {

namespace {

using tbx::FatalError;

/// Far beyond any job file: a longer one keeps no text of its own.
constexpr std::size_t MAX_TEXT_BYTES = 16 << 20;

/// The whole job file again, from its start; nothing where it cannot be
/// read again (a pipe) or is longer than any job file.
std::optional<std::string> reread(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_SET) != 0) return std::nullopt;
  std::string text;
  char buffer[1 << 16];
  while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) {
    text.append(buffer, n);
    if (text.size() > MAX_TEXT_BYTES) return std::nullopt;
  }
  if (std::ferror(file)) return std::nullopt;
  return text;
}

/// Reads a classic job from `in`; a fault of the file is kept as the job's
/// error, with the field the reader was reading.
void read_classic(Job::Impl& impl, std::FILE* in) {
  tbx::alloc_job_arrays(impl.classic);
  int line_no = 1;
  try {
    tbx::read_job(in, line_no, impl.classic, &impl.trace);
  } catch (const FatalError& error) {
    if (error.kind() != tbx::FatalKind::invalid_job) throw;
    Finding f = internal::finding_of(tbx::reader_finding(error.report(), impl.trace), impl.file_name);
    f.message = error.message();
    impl.read_error = Error(Error::Kind::invalid_job, std::move(f), error.report());
  }
}

void read_fib(Job::Impl& impl) {
  try {
    impl.fib = tbx::read_fib_job(impl.text, impl.file_name);
  } catch (const FatalError& error) {
    if (error.kind() != tbx::FatalKind::invalid_job) throw;
    impl.read_error = internal::error_of(error, impl.file_name);
  }
}

/// A fib job's text: TOML with one of the keys only a fib job has.
bool looks_like_fib(const std::string& text) {
  // Too deep for the TOML parser's stack: no job of either kind.
  if (tbx::toml_nesting_beyond(text, tbx::MAX_TOML_NESTING) != 0) return false;
  try {
    const toml::table root = toml::parse(text);
    for (const char* key : {"model", "variables", "times", "simulations"}) {
      if (root.contains(key)) return true;
    }
  } catch (const toml::parse_error&) {
  }
  return false;
}

bool ends_with(const std::string& s, const std::string& end) {
  return s.size() > end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

Job internal::load_job(const JobFile& file) {
  return guarded(file.file_name(), [&] {
    auto impl = std::make_shared<Job::Impl>();
    impl->model = file.model;
    impl->file_name = file.file_name();
    impl->base_name = file.base;
    impl->job_name = file.job_name;
    if (file.model == Model::fib) {
      impl->text = tbx::read_fib_job_text(file.folder.fd(), impl->file_name);
      read_fib(*impl);
    } else {
      const tbx::OwnedFile input = tbx::open_for_reading(file.folder.fd(), impl->file_name);
      if (!input) tbx::fatal_error(tbx::FatalKind::not_found, "File not found - jobname_me.dat");
      read_classic(*impl, input.get());
      // The summary names the job file by its SHA-256: its bytes as read.
      std::optional<std::string> text = reread(input.get());
      impl->text_known = text.has_value();
      impl->text = std::move(text).value_or("");
    }
    return Job(std::move(impl));
  });
}

Job Job::load(const std::string& path) {
  return internal::guarded("", [&] { return internal::load_job(internal::find_job_file(path)); });
}

Job Job::from_text(std::string text, std::string name) {
  return internal::guarded(name, [&] {
    auto impl = std::make_shared<Job::Impl>();
    if (ends_with(name, ".toml")) {
      impl->model = Model::fib;
      impl->base_name = name.substr(0, name.size() - 5);
    } else if (ends_with(name, ".dat")) {
      impl->model = Model::classic;
      impl->base_name = name.substr(0, name.size() - 4);
    } else {
      impl->model = looks_like_fib(text) ? Model::fib : Model::classic;
      impl->base_name = name;
    }
    impl->job_name = impl->base_name;
    impl->file_name = impl->base_name + (impl->model == Model::fib ? ".toml" : ".dat");
    impl->text = std::move(text);
    if (impl->model == Model::fib) {
      read_fib(*impl);
    } else {
      // The reader reads a stream; the text is one.
      const tbx::OwnedFile in(fmemopen(impl->text.data(), impl->text.size(), "r"));
      if (!in) tbx::fatal_error(tbx::FatalKind::out_of_memory, tbx::MEMORY_ALLOCATION_FAILED);
      read_classic(*impl, in.get());
    }
    return Job(std::move(impl));
  });
}

Model Job::model() const { return impl_->model; }
const std::string& Job::file_name() const { return impl_->file_name; }
const std::string& Job::base_name() const { return impl_->base_name; }
const std::string& Job::text() const { return impl_->text; }

}  // namespace tbxrun
