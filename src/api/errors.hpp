#pragma once
// Every failure of the library as a tbxrun::Error.

#include <new>
#include <string>

#include "check/finding.hpp"
#include "cli/command_line.hpp"  // UsageError
#include "core/fatal.hpp"
#include "tbxrun/tbxrun.hpp"

namespace tbxrun::internal {

/// The error of a fatal end in the job file `file` (empty where none applies).
Error error_of(const tbx::FatalError& error, const std::string& file);
/// A setting that does not fit the job.
Error usage_error(const std::string& message);
/// A checker's finding about the job file `file`.
Finding finding_of(const tbx::Finding& f, const std::string& file);

/// Runs f() and returns what it returns; every failure leaves as an Error.
template <class F>
auto guarded(const std::string& file, F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const Error&) {
    throw;
  } catch (const tbx::FatalError& e) {
    throw error_of(e, file);
  } catch (const tbx::UsageError& e) {
    throw usage_error(e.what());
  } catch (const std::bad_alloc&) {
    tbx::FatalDetail detail;
    detail.kind = tbx::FatalKind::out_of_memory;
    throw error_of(tbx::FatalError(tbx::fatal_report(tbx::MEMORY_ALLOCATION_FAILED, 0),
                                   std::string(tbx::MEMORY_ALLOCATION_FAILED), detail),
                   file);
  } catch (const std::exception& e) {
    // Nothing else is expected; should it happen, it still ends as an error
    // with the report the program has always given it.
    throw error_of(tbx::FatalError(tbx::fatal_report(e.what(), 0), e.what()), file);
  }
}

}  // namespace tbxrun::internal
