// The reader of fib job files. The only file that includes the TOML
// library: it compiles slowly.

#include "fib/fib_job.hpp"

#include <toml++/toml.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

#include "core/fatal.hpp"
#include "core/number_format.hpp"
#include "fib/fib_presets.hpp"
#include "fib/toml_nesting.hpp"

namespace tbx {
namespace {

// More time points than anyone plots; a larger count is a mistyped step.
constexpr std::int64_t MAX_TIME_POINTS = 100000;
// A range's last step that misses `last` by less than this share of a step
// lands on it: first + k * step rounds, and 0.1 + 2 * 0.1 is not 0.3.
constexpr double STEP_SLOP = 1e-9;
// The same range as the command line's --target-beta.
constexpr double TARGET_BETA_LIMIT = 8;
constexpr std::int64_t MAX_SEED = std::numeric_limits<std::int32_t>::max();
// Quoted text in messages is cut after this many bytes.
constexpr std::size_t MAX_QUOTED = 40;

constexpr std::array<MomentKind, 5> MOMENT_KINDS = {MomentKind::normal, MomentKind::lognormal, MomentKind::beta,
                                                    MomentKind::uniform, MomentKind::fixed};

// The keys of a variable's table besides `distribution`, and what each is.
using Param = FibKey;
constexpr Param MEAN = FIB_MEAN, SD = FIB_SD, LOWER = FIB_LOWER, UPPER = FIB_UPPER, VALUE = FIB_VALUE;
constexpr std::array<const char*, FIB_KEYS> PARAM_MEANINGS = {"the mean", "the standard deviation", "the lower bound",
                                                              "the upper bound", "the value"};

std::vector<Param> params_of(MomentKind kind) {
  switch (kind) {
    case MomentKind::normal:
    case MomentKind::lognormal: return {MEAN, SD};
    case MomentKind::beta: return {MEAN, SD, LOWER, UPPER};
    case MomentKind::uniform: return {LOWER, UPPER};
    case MomentKind::fixed: return {VALUE};
  }
  return {};
}

// Keys a distribution may do without: the bounds that cut a normal or
// lognormal one.
std::vector<Param> optional_params_of(MomentKind kind) {
  if (kind == MomentKind::normal || kind == MomentKind::lognormal) return {LOWER, UPPER};
  return {};
}

// The key that moment_distribution_problem's findings are reported on, once
// the checks of single keys have passed: the one that is left to get wrong.
Param last_resort_param(MomentKind kind) {
  switch (kind) {
    case MomentKind::normal:
    case MomentKind::lognormal:
    case MomentKind::beta: return SD;
    case MomentKind::uniform: return UPPER;
    case MomentKind::fixed: return VALUE;
  }
  return VALUE;
}

bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

/// Text from the file as messages show it: control characters as '?', cut
/// (on a character boundary) after MAX_QUOTED bytes.
std::string printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (out.size() >= MAX_QUOTED && (static_cast<unsigned char>(c) & 0xC0) != 0x80) return out + "...";
    out += is_control(c) ? '?' : c;
  }
  return out;
}

std::string quoted(std::string_view text) { return "\"" + printable(text) + "\""; }

/// "a, b or c"
std::string listed(const std::vector<std::string>& items, const char* last_joint = " or ") {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += i + 1 == items.size() ? last_joint : ", ";
    out += items[i];
  }
  return out;
}

std::vector<std::string> quoted_all(const std::vector<std::string>& items) {
  std::vector<std::string> out;
  for (const std::string& item : items) out.push_back(quoted(item));
  return out;
}

std::string kinds_expected() {
  std::vector<std::string> names;
  for (const MomentKind kind : MOMENT_KINDS) names.push_back(quoted(moment_kind_name(kind)));
  return listed(names);
}

std::string keys_of(MomentKind kind) {
  std::vector<std::string> keys;
  for (const Param p : params_of(kind)) keys.emplace_back(FIB_KEY_NAMES[p]);
  std::string text = listed(keys, " and ");
  keys.clear();
  for (const Param p : optional_params_of(kind)) keys.emplace_back(FIB_KEY_NAMES[p]);
  if (!keys.empty()) text += " (" + listed(keys, " and ") + " optional)";
  return text;
}

/// What a value is, for the "got" part of a message.
std::string value_text(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::none: return "nothing";
    case toml::node_type::table: return "a table";
    case toml::node_type::array: return node.as_array()->empty() ? "an empty list" : "a list";
    case toml::node_type::string: return quoted(node.as_string()->get());
    case toml::node_type::integer: return std::to_string(node.as_integer()->get());
    case toml::node_type::floating_point: return shortest_text(node.as_floating_point()->get());
    case toml::node_type::boolean: return node.as_boolean()->get() ? "true" : "false";
    case toml::node_type::date: return "a date";
    case toml::node_type::time: return "a time of day";
    case toml::node_type::date_time: return "a date and time";
  }
  return "";
}

int line_of(const toml::source_region& source) {
  return static_cast<int>(std::min<toml::source_index>(source.begin.line, INT_MAX));
}
int line_of(const toml::node& node) { return line_of(node.source()); }

/// "pier.toml:12", or "pier.toml" where no line is known.
std::string located(const std::string& file_name, int line) {
  return line > 0 ? file_name + ":" + std::to_string(line) : file_name;
}

bool before(const toml::source_region& a, const toml::source_region& b) {
  return a.begin.line != b.begin.line ? a.begin.line < b.begin.line : a.begin.column < b.begin.column;
}

/// The keys of `table` not in `allowed`, in the order of the file.
std::vector<const toml::key*> keys_outside(const toml::table& table, const std::vector<std::string>& allowed) {
  std::vector<const toml::key*> keys;
  for (const auto& [key, node] : table) {
    if (std::find(allowed.begin(), allowed.end(), key.str()) == allowed.end()) keys.push_back(&key);
  }
  std::sort(keys.begin(), keys.end(), [](const toml::key* a, const toml::key* b) { return before(a->source(), b->source()); });
  return keys;
}

/// A mistake found while reading: read_fib_job ends the run with the first,
/// read_fib_job_draft collects them.
struct Fault {
  int line;
  std::string field;
  std::string what;
};
/// Reading a field stops here; its faults are already collected.
struct Abandoned {};

/// One pass over a parsed job. Without a draft to collect into, the first
/// fault ends the pass; with one, each fault is recorded and the pass goes on
/// with the next field, key or variable that does not depend on it.
class FibJobReader {
 public:
  FibJobReader(const toml::table& root, FibJobDraft* draft) : root_(root), draft_(draft) {}

  FibJob read() {
    FibJob job;
    check_top_level_keys();
    guarded([&] { job.title = read_title(); });
    guarded([&] { read_model(); });
    guarded([&] {
      job.simulations = integer(required(root_, "simulations", "an integer >= 1"), "simulations", "an integer >= 1",
                                [](std::int64_t n) { return n >= 1; });
    });
    guarded([&] { job.seed = read_seed(); });
    guarded([&] { job.times = read_times(required(root_, "times", "a list of years or { first, last, step }")); });
    guarded([&] {
      if (const toml::node* node = root_.get("target_beta")) {
        job.target_beta = number(*node, "target_beta", "a number above -8 and below 8",
                                 [](double b) { return b > -TARGET_BETA_LIMIT && b < TARGET_BETA_LIMIT; });
      }
    });
    guarded([&] {
      if (const toml::node* node = root_.get("sobol_simulations")) {
        job.sobol_simulations = integer(*node, "sobol_simulations", "an integer from 0 to 1000000",
                                        [](std::int64_t n) { return n >= 0 && n <= 1000000; });
      }
    });
    binder_read_ = guarded([&] { job.binder = read_setting(FibSetting::binder); });
    exposure_read_ = guarded([&] { job.exposure = read_setting(FibSetting::exposure); });
    for (int v = 0; v < FIB_VARIABLES; ++v) {
      variable_ = v;
      as_written_.reset();
      key_lines_ = {};
      const bool read = guarded([&] { job.inputs[v] = read_input(static_cast<FibVariable>(v), job); });
      if (draft_) draft_->variable_read[v] = read;
    }
    variable_ = -1;
    return job;
  }

 private:
  [[noreturn]] void fail(int line, const std::string& field, const std::string& what) const {
    throw Fault{line, field, what};
  }
  [[noreturn]] void expected(const toml::node& node, const std::string& field, const std::string& what) const {
    fail(line_of(node), field, "expected " + what + ", got " + value_text(node));
  }

  /// Runs `read`; true where it found no fault. Without a draft a fault
  /// goes on up and ends the pass.
  template <typename Read>
  bool guarded(Read&& read) {
    if (!draft_) {
      read();
      return true;
    }
    try {
      read();
      return true;
    } catch (const Fault& f) {
      draft_->faults.push_back({f.line, f.field, f.what, variable_, as_written_, key_lines_});
    } catch (const Abandoned&) {
    }
    return false;
  }

  /// The value of `key`; a missing key is reported with the table's line
  /// (none for the top level).
  const toml::node& required(const toml::table& table, const char* key, const std::string& what,
                             const std::string& prefix = "") const {
    if (const toml::node* node = table.get(key)) return *node;
    fail(&table == &root_ ? 0 : line_of(table), prefix + key, "missing; expected " + what);
  }

  template <typename Accept>
  std::int64_t integer(const toml::node& node, const std::string& field, const std::string& what,
                       Accept accept) const {
    const auto* value = node.as_integer();
    if (!value || !accept(value->get())) expected(node, field, what);
    return value->get();
  }

  /// A finite number, integer or not, that `accept` approves of.
  template <typename Accept>
  double number(const toml::node& node, const std::string& field, const std::string& what, Accept accept) const {
    double x = NAN;
    if (const auto* i = node.as_integer()) {
      x = static_cast<double>(i->get());
    } else if (const auto* f = node.as_floating_point()) {
      x = f->get();
    }
    if (!std::isfinite(x) || !accept(x)) expected(node, field, what);
    return x;
  }

  void check_top_level_keys() {
    std::vector<std::string> allowed = {"title", "model", "simulations", "seed", "times",
                                        "target_beta", "binder", "exposure", "sobol_simulations"};
    std::vector<std::string> variables;
    for (const FibVariableInfo& info : FIB_VARIABLES_INFO) variables.emplace_back(info.name);
    const std::string expected_keys =
        "unknown key; expected " + listed(allowed, ", ") + " or a variable (" + listed(variables, ", ") + ")";
    allowed.insert(allowed.end(), variables.begin(), variables.end());
    for (const toml::key* key : keys_outside(root_, allowed)) {
      guarded([&] { fail(line_of(key->source()), printable(key->str()), expected_keys); });
    }
  }

  std::string read_title() const {
    const char* what = "a title in quotes, on one line";
    const toml::node& node = required(root_, "title", what);
    const auto* text = node.as_string();
    if (!text || std::any_of(text->get().begin(), text->get().end(), is_control)) expected(node, "title", what);
    return text->get();
  }

  void read_model() const {
    const toml::node& node = required(root_, "model", "\"fib\"");
    const auto* text = node.as_string();
    if (!text || text->get() != "fib") expected(node, "model", "\"fib\"");
  }

  std::int32_t read_seed() const {
    const toml::node& node = required(root_, "seed", "an integer from 0 to 2147483647");
    return static_cast<std::int32_t>(integer(node, "seed", "an integer from 0 to 2147483647",
                                             [](std::int64_t s) { return s >= 0 && s <= MAX_SEED; }));
  }

  std::vector<double> read_times(const toml::node& node) const {
    if (const auto* list = node.as_array()) return read_time_list(*list);
    if (const auto* range = node.as_table()) return read_time_range(*range);
    expected(node, "times", "a list of years or { first, last, step }");
  }

  std::vector<double> read_time_list(const toml::array& list) const {
    if (list.empty()) expected(list, "times", "at least one time in years");
    if (list.size() > static_cast<std::size_t>(MAX_TIME_POINTS)) {
      fail(line_of(list), "times",
           "expected at most " + std::to_string(MAX_TIME_POINTS) + " time points, got " + std::to_string(list.size()));
    }
    std::vector<double> times;
    for (const toml::node& item : list) {
      const std::string what =
          times.empty() ? "a time in years > 0" : "a time above the one before it, " + shortest_text(times.back());
      const double previous = times.empty() ? 0 : times.back();
      times.push_back(number(item, "times", what, [&](double t) { return t > previous; }));
    }
    return times;
  }

  std::vector<double> read_time_range(const toml::table& range) const {
    const std::vector<std::string> keys = {"first", "last", "step"};
    const std::vector<const toml::key*> unknown = keys_outside(range, keys);
    if (!unknown.empty()) {
      fail(line_of(unknown.front()->source()), "times." + printable(unknown.front()->str()),
           "unknown key; expected first, last and step");
    }
    const double first = number(required(range, "first", "the first time in years", "times."), "times.first",
                                "a time in years > 0", [](double t) { return t > 0; });
    const double last = number(required(range, "last", "the last time in years", "times."), "times.last",
                               "a time >= first = " + shortest_text(first), [&](double t) { return t >= first; });
    const toml::node& step_node = required(range, "step", "the step in years", "times.");
    const double step = number(step_node, "times.step", "a step in years > 0", [](double s) { return s > 0; });
    const std::string too_small = "a step that gives at most " + std::to_string(MAX_TIME_POINTS) + " time points";
    if (!((last - first) / step < static_cast<double>(MAX_TIME_POINTS))) expected(step_node, "times.step", too_small);

    std::vector<double> times = {first};
    const double slop = STEP_SLOP * step;
    for (std::int64_t k = 1;; ++k) {
      const double t = first + static_cast<double>(k) * step;
      if (t > last - slop) break;
      // At a magnitude where the step is below the spacing of doubles.
      if (t <= times.back()) expected(step_node, "times.step", "a step that separates the time points");
      times.push_back(t);
    }
    if (last > times.back()) times.push_back(last);
    return times;
  }

  std::string read_setting(FibSetting setting) const {
    const char* key = fib_setting_name(setting);
    const toml::node* node = root_.get(key);
    if (!node) return "";
    const std::vector<std::string> choices = fib_setting_choices(setting);
    const auto* text = node->as_string();
    if (!text || std::find(choices.begin(), choices.end(), text->get()) == choices.end()) {
      expected(*node, key, listed(quoted_all(choices)));
    }
    return text->get();
  }

  /// Whether a preset of `variable` depends on a setting that did not read.
  bool preset_unknown(FibVariable variable) const {
    for (const FibPreset& preset : FIB_PRESETS) {
      if (preset.variable != variable) continue;
      if ((preset.setting == FibSetting::binder && !binder_read_) ||
          (preset.setting == FibSetting::exposure && !exposure_read_)) {
        return true;
      }
    }
    return false;
  }

  FibInput read_input(FibVariable variable, const FibJob& job) {
    const std::string name = FIB_VARIABLES_INFO[variable].name;
    const FibPreset* preset = find_fib_preset(variable, job.binder, job.exposure);
    FibInput input;
    if (preset) input.preset = fib_preset_name(*preset);
    const toml::node* node = root_.get(name);
    if (!node) {
      if (!preset) {
        // The faulty setting is reported; a missing variable would only repeat it.
        if (preset_unknown(variable)) throw Abandoned{};
        fail(0, name, "missing; expected a table [" + name + "] with its distribution" + preset_hint(variable));
      }
      input.distribution = preset->distribution;
      input.origin = FibOrigin::preset;
      return input;
    }
    input.origin = preset ? FibOrigin::overridden : FibOrigin::job;
    input.line = line_of(*node);
    input.distribution = read_distribution(*node, name, input.key_lines);
    return input;
  }

  /// ", or binder = ..." for a variable that a setting the job lacks would fill.
  static std::string preset_hint(FibVariable variable) {
    for (const FibPreset& preset : FIB_PRESETS) {
      if (preset.variable == variable && preset.setting != FibSetting::none) {
        return std::string(", or ") + fib_setting_name(preset.setting) + " = " +
               listed(quoted_all(fib_setting_choices(preset.setting)));
      }
    }
    return "";
  }

  MomentDistribution read_distribution(const toml::node& node, const std::string& name,
                                       std::array<int, FIB_KEYS>& key_lines) {
    const auto* table = node.as_table();
    if (!table) expected(node, name, "a table [" + name + "] with its distribution");
    const std::string prefix = name + ".";
    // Collecting, each stage reports all its faults and the table ends
    // after a stage that had any: later stages depend on earlier ones.
    bool faulty = false;
    const auto each = [&](auto&& read) { faulty = !guarded(read) || faulty; };
    const auto end_of_stage = [&] {
      if (faulty) throw Abandoned{};
    };

    std::vector<std::string> all_keys(FIB_KEY_NAMES.begin(), FIB_KEY_NAMES.end());
    all_keys.insert(all_keys.begin(), "distribution");
    for (const toml::key* key : keys_outside(*table, all_keys)) {
      each([&] { fail(line_of(key->source()), prefix + printable(key->str()), "unknown key; expected " + listed(all_keys)); });
    }
    end_of_stage();

    const MomentKind kind = read_kind(*table, prefix);
    const std::vector<Param> params = params_of(kind);
    const std::vector<Param> optional = optional_params_of(kind);
    std::vector<std::string> taken = {"distribution"};
    for (const Param p : params) taken.emplace_back(FIB_KEY_NAMES[p]);
    for (const Param p : optional) taken.emplace_back(FIB_KEY_NAMES[p]);
    const std::string kind_phrase = std::string(" of a ") + moment_kind_name(kind) + " distribution";
    for (const toml::key* key : keys_outside(*table, taken)) {
      each([&] {
        fail(line_of(key->source()), prefix + printable(key->str()), "not a key" + kind_phrase + "; expected " + keys_of(kind));
      });
    }
    end_of_stage();

    std::array<const toml::node*, FIB_KEYS> nodes{};
    std::array<double, FIB_KEYS> x{};
    const auto read_number = [&](Param p) {
      x[p] = number(*nodes[p], prefix + FIB_KEY_NAMES[p], "a number", [](double) { return true; });
      key_lines[p] = line_of(*nodes[p]);
    };
    for (const Param p : params) {
      each([&] {
        nodes[p] = &required(*table, FIB_KEY_NAMES[p], PARAM_MEANINGS[p] + kind_phrase, prefix);
        read_number(p);
      });
    }
    for (const Param p : optional) {
      nodes[p] = table->get(FIB_KEY_NAMES[p]);
      if (nodes[p]) each([&] { read_number(p); });
    }
    end_of_stage();

    MomentDistribution d;
    d.kind = kind;
    d.mean = kind == MomentKind::fixed ? x[VALUE] : x[MEAN];
    d.sd = x[SD];
    d.lower = x[LOWER];
    d.upper = x[UPPER];
    if (!optional.empty() && (nodes[LOWER] || nodes[UPPER])) {
      d.truncated = true;
      d.lower = nodes[LOWER] ? x[LOWER] : -HUGE_VAL;
      d.upper = nodes[UPPER] ? x[UPPER] : HUGE_VAL;
    }
    as_written_ = d;
    key_lines_ = key_lines;

    // The checks that concern one key, reported on it; what is left for
    // moment_distribution_problem to find concerns the spread.
    std::array<bool, FIB_KEYS> key_faulty{};
    const auto check = [&](Param p, bool ok, const std::string& what) {
      if (key_faulty[p]) return;
      each([&] {
        if (!ok) {
          key_faulty[p] = true;
          expected(*nodes[p], prefix + FIB_KEY_NAMES[p], what);
        }
      });
    };
    if (kind == MomentKind::beta || kind == MomentKind::uniform || (nodes[LOWER] && nodes[UPPER])) {
      check(UPPER, x[UPPER] > x[LOWER], "an upper bound above lower = " + shortest_text(x[LOWER]));
      check(UPPER, std::isfinite(x[UPPER] - x[LOWER]),
            "an upper bound less than " + shortest_text(DBL_MAX) + " above lower = " + shortest_text(x[LOWER]));
    }
    if (kind == MomentKind::beta) {
      check(MEAN, x[MEAN] > x[LOWER] && x[MEAN] < x[UPPER],
            "a mean between lower = " + shortest_text(x[LOWER]) + " and upper = " + shortest_text(x[UPPER]));
    }
    if (kind == MomentKind::lognormal) {
      check(MEAN, x[MEAN] > 0, "a mean > 0 (a lognormal variable is positive)");
      if (nodes[UPPER]) check(UPPER, x[UPPER] > 0, "an upper bound > 0 (a lognormal variable is positive)");
    }
    if (nodes[SD]) check(SD, x[SD] >= 0, "a standard deviation >= 0");
    end_of_stage();

    if (d.truncated) check(nodes[LOWER] ? LOWER : UPPER, truncation_problem(d).empty(), truncation_problem(d));
    end_of_stage();
    const std::string problem = moment_distribution_problem(d);
    check(last_resort_param(kind), problem.empty(), problem);
    end_of_stage();
    return d;
  }

  MomentKind read_kind(const toml::table& table, const std::string& prefix) const {
    const toml::node& node = required(table, "distribution", kinds_expected(), prefix);
    if (const auto* text = node.as_string()) {
      for (const MomentKind kind : MOMENT_KINDS) {
        if (text->get() == moment_kind_name(kind)) return kind;
      }
    }
    expected(node, prefix + "distribution", kinds_expected());
  }

  const toml::table& root_;
  FibJobDraft* draft_;  // null: the first fault ends the pass
  bool binder_read_ = true, exposure_read_ = true;
  int variable_ = -1;  // the variable being read
  std::optional<MomentDistribution> as_written_;
  std::array<int, FIB_KEYS> key_lines_{};
};

// The TOML library recurses once per level of nesting: a text nested deeper
// than any job is refused before it is parsed, instead of overflowing the stack.
void refuse_deep_nesting(const std::string& text, const std::string& file_name) {
  if (const int line = toml_nesting_beyond(text, MAX_TOML_NESTING)) {
    fatal_error(FatalKind::invalid_job, located(file_name, line) + ": tables, keys or lists nested more than " +
                    std::to_string(MAX_TOML_NESTING) + " levels deep; a job needs two");
  }
}

std::optional<toml::table> parsed(const std::string& text, const std::string& file_name, Fault& fault) {
  try {
    return toml::parse(text, std::string_view(file_name));
  } catch (const toml::parse_error& error) {
    fault = {line_of(error.source()), "TOML syntax", std::string(error.description())};
    return std::nullopt;
  }
}

}  // namespace

bool FibJobDraft::faulty(const std::string& field) const {
  return std::any_of(faults.begin(), faults.end(), [&](const FibJobFault& f) { return f.field == field; });
}

FibJob read_fib_job(const std::string& text, const std::string& file_name) {
  refuse_deep_nesting(text, file_name);
  Fault fault{};
  try {
    if (std::optional<toml::table> root = parsed(text, file_name, fault)) {
      return FibJobReader(*root, nullptr).read();
    }
  } catch (const Fault& f) {
    fault = f;
  }
  const std::string message = located(file_name, fault.line) + ": " + fault.field + ": " + fault.what;
  FatalDetail detail;
  detail.kind = FatalKind::invalid_job;
  detail.line = fault.line;
  detail.field = fault.field;
  detail.problem = fault.what;
  fatal_report_raw(fatal_report(message, 0), message, std::move(detail));
}

FibJobDraft read_fib_job_draft(const std::string& text, const std::string& file_name) {
  refuse_deep_nesting(text, file_name);
  FibJobDraft draft;
  Fault fault{};
  if (std::optional<toml::table> root = parsed(text, file_name, fault)) {
    draft.job = FibJobReader(*root, &draft).read();
  } else {
    draft.faults.push_back({fault.line, fault.field, fault.what, -1, std::nullopt, {}});
  }
  return draft;
}

}  // namespace tbx
