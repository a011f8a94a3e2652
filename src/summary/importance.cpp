#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>

#include "core/parallel.hpp"
#include "summary/prepared_vector.hpp"
#include "prob/normal.hpp"
#include "summary/form.hpp"
#include "summary/sobol.hpp"
#include "summary/summary.hpp"

namespace tbx {

namespace {

/// The mean of x and the sum of the squares of its deviations, once for the
/// correlations of x with every source.
struct Centered {
  const std::vector<double>& x;
  double mean = 0, squares = 0;
  explicit Centered(const std::vector<double>& values) : x(values) {
    for (const double v : x) mean += v;
    mean /= static_cast<double>(x.size());
    for (const double v : x) squares += (v - mean) * (v - mean);
  }
};

double correlation(const Centered& cx, const std::vector<double>& y) {
  const std::vector<double>& x = cx.x;
  const auto n = static_cast<double>(x.size());
  double my = 0;
  for (const double v : y) my += v;
  my /= n;
  const double mx = cx.mean;
  double sxy = 0;
  double syy = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double dx = x[i] - mx;
    const double dy = y[i] - my;
    sxy += dx * dy;
    syy += dy * dy;
  }
  const double sxx = cx.squares;
  return sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0.0;
}

struct Item {
  std::uint32_t key;
  std::uint32_t index;
};

/// Work space of ranks(), kept between calls: fresh memory costs more to
/// touch than the sort itself.
struct RankSpace {
  std::vector<Item> items, next;
  std::vector<std::uint32_t> buckets;
};

/// The bits of float(x), mapped so that unsigned order is numeric order.
std::uint32_t float_key(double x) {
  const float f = static_cast<float>(x) == 0 ? 0.0f : static_cast<float>(x);  // -0 with +0
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return (bits >> 31) != 0 ? ~bits : bits | 0x80000000u;
}

/// Ranks 1..n of `v` into r from `items`, the indices of v in the order of
/// its values, ties sharing their mean rank. False, with r unspecified, where
/// the items are not in that order. Each item is given its place as its rank
/// (an integer, exact in a double), and only runs of equal values are
/// rewritten, with the mean of their places: the rank of a single value is
/// that same mean.
bool ordered_ranks(const std::vector<double>& v, const std::vector<Item>& items, std::vector<double>& r) {
  const std::size_t n = v.size();
  prepared_resize(r, n);
  auto share = [&](std::size_t from, std::size_t to) {
    const double mean_rank = 0.5 * static_cast<double>(from + 1 + to);
    for (std::size_t m = from; m < to; ++m) r[items[m].index] = mean_rank;
  };
  std::size_t run = 0;  // the first place of the current run of equal values
  double previous = v[items[0].index];
  double place = 1;
  r[items[0].index] = place;
  for (std::size_t i = 1; i < n; ++i) {
    const std::uint32_t index = items[i].index;
    const double value = v[index];
    place += 1;
    r[index] = place;
    if (value == previous) continue;
    if (!(previous < value)) return false;
    if (i - run > 1) share(run, i);
    run = i;
    previous = value;
  }
  if (n - run > 1) share(run, n);
  return true;
}

/// Ranks 1..n of `v` (no NaN) into r, ties sharing their mean rank. A radix
/// sort on the values rounded to float (three passes over eight-byte items:
/// the sort is bound by memory traffic), then the few runs that rounding
/// made equal are put in exact order by their doubles.
void ranks(const std::vector<double>& v, RankSpace& space, std::vector<double>& r) {
  constexpr int DIGIT = 11;
  constexpr std::uint32_t MASK = (1u << DIGIT) - 1;
  const std::size_t n = v.size();
  std::vector<Item>& items = space.items;
  std::vector<Item>& next = space.next;
  prepared_resize(items, n);
  prepared_resize(next, n);
  for (std::size_t i = 0; i < n; ++i) items[i] = {float_key(v[i]), static_cast<std::uint32_t>(i)};
  std::vector<std::size_t> count(MASK + 2);
  for (int shift = 0; shift < 32; shift += DIGIT) {
    std::fill(count.begin(), count.end(), 0);
    for (const Item& item : items) ++count[((item.key >> shift) & MASK) + 1];
    if (count[((items[0].key >> shift) & MASK) + 1] == n) continue;  // one digit for all: nothing moves
    for (std::size_t b = 1; b < count.size(); ++b) count[b] += count[b - 1];
    for (const Item& item : items) next[count[(item.key >> shift) & MASK]++] = item;
    items.swap(next);
  }
  for (std::size_t i = 0; i < n;) {
    std::size_t k = i + 1;
    while (k < n && items[k].key == items[i].key) ++k;
    if (k - i > 1) {
      std::sort(items.begin() + static_cast<std::ptrdiff_t>(i), items.begin() + static_cast<std::ptrdiff_t>(k),
                [&](const Item& a, const Item& b) { return v[a.index] < v[b.index]; });
    }
    i = k;
  }
  ordered_ranks(v, items, r);
}

/// ranks() where `keys` are in the order of v (spread evenly over 32 bits, as
/// the generator's states are): one bucket pass with about one key per
/// bucket instead of three radix passes. False, with r unspecified, where
/// the keys' order turns out not to be that of v; then ranks() must do.
bool ranks_by_keys(const std::vector<double>& v, const std::vector<std::uint32_t>& keys, RankSpace& space,
                   std::vector<double>& r) {
  const std::size_t n = v.size();
  std::vector<Item>& items = space.items;
  prepared_resize(items, n);
  std::vector<std::uint32_t>& start = space.buckets;
  start.assign(n + 1, 0);
  auto bucket = [n](std::uint32_t key) { return static_cast<std::size_t>((std::uint64_t{key} * n) >> 32); };
  for (std::size_t i = 0; i < n; ++i) ++start[bucket(keys[i]) + 1];
  for (std::size_t b = 1; b <= n; ++b) start[b] += start[b - 1];
  for (std::size_t i = 0; i < n; ++i) items[start[bucket(keys[i])]++] = {keys[i], static_cast<std::uint32_t>(i)};
  // Buckets follow the order of their keys: an insertion sort over all
  // items moves each only within its bucket, past about one other.
  for (std::size_t i = 1; i < n; ++i) {
    const Item item = items[i];
    if (!(item.key < items[i - 1].key)) continue;
    std::size_t k = i;
    do {
      items[k] = items[k - 1];
      --k;
    } while (k > 0 && items[k - 1].key > item.key);
    items[k] = item;
  }
  // The order checked and the ranks given in one pass.
  return ordered_ranks(v, items, r);
}

}  // namespace

ImportanceSummary importance_factors(
    std::vector<double> g, const std::vector<SimulationModel::Source>& sources,
    const std::function<void(const SimulationModel::Source&, std::vector<double>& z)>& fill, int threads) {
  return importance_factors(
      std::move(g), sources,
      [&](const SimulationModel::Source& source, std::vector<double>& z, std::vector<std::uint32_t>&) {
        fill(source, z);
      },
      threads);
}

ImportanceSummary importance_factors(
    std::vector<double> g, const std::vector<SimulationModel::Source>& sources,
    const std::function<void(const SimulationModel::Source&, std::vector<double>& z, std::vector<std::uint32_t>& keys)>&
        fill,
    int threads) {
  ImportanceSummary s;
  std::vector<std::size_t> used;
  for (std::size_t j = 0; j < g.size(); ++j) {
    if (std::isfinite(g[j])) used.push_back(j);
  }
  s.used = static_cast<std::int64_t>(used.size());
  if (used.size() < 3) {
    s.reason = "fewer than three simulations have a limit state that is a number (two give a correlation of +-1 "
               "whatever the variables)";
    return s;
  }
  const bool all = used.size() == g.size();
  // Only the simulations whose G is a number (in place, to spare memory).
  auto keep_used = [&](auto& v) {
    if (all) return;
    for (std::size_t k = 0; k < used.size(); ++k) v[k] = v[used[k]];
    v.resize(used.size());
  };
  std::vector<double>& gu = g;
  keep_used(gu);
  // Correlations do not depend on the scale: values near the largest double
  // are brought down by a power of two (exactly) before their squares
  // overflow.
  double largest = 0;
  for (const double v : gu) largest = std::max(largest, std::fabs(v));
  if (largest > 0x1p500) {
    for (double& v : gu) v *= 0x1p-600;
  }
  // The mean and squares of G once, for its scatter and every correlation.
  const Centered g_centered(gu);
  {
    const auto n = static_cast<double>(gu.size());
    if (without_scatter(g_centered.mean, std::sqrt(g_centered.squares / (n - 1)), s.used)) {
      s.reason = std::string(NO_SCATTER) +
                 " at the design life (its sd is no larger than the rounding of its mean): no variable explains "
                 "any of its variance, and correlations with it would be rounding";
      return s;
    }
  }
  std::vector<double> g_ranks;
  {
    RankSpace space;
    ranks(gu, space, g_ranks);
  }
  const Centered rank_centered(g_ranks);
  // The sources shared among as many tasks as run at once, each task with
  // one work space for all its sources: fresh memory costs more to touch
  // than the work done in it.
  s.factors.resize(sources.size());
  const auto tasks = static_cast<std::int64_t>(
      std::min(sources.size(), static_cast<std::size_t>(threads_to_use(threads))));
  for_each_chunk(tasks, threads, [&](std::int64_t task) {
    std::vector<double> z;
    std::vector<std::uint32_t> keys;
    std::vector<double> z_ranks;
    RankSpace space;
    for (auto c = static_cast<std::size_t>(task); c < sources.size(); c += static_cast<std::size_t>(tasks)) {
      const SimulationModel::Source& source = sources[c];
      keys.clear();
      fill(source, z, keys);
      keep_used(z);
      if (!keys.empty()) keep_used(keys);
      ImportanceFactor& f = s.factors[c];
      f.variable = source.variable;
      f.drives = source.drives;
      f.rho = correlation(g_centered, z);
      if (keys.empty() || !ranks_by_keys(z, keys, space, z_ranks)) ranks(z, space, z_ranks);
      f.spearman = correlation(rank_centered, z_ranks);
    }
  });
  double norm = 0;
  for (const ImportanceFactor& f : s.factors) norm += f.rho * f.rho;
  s.rho_squared_sum = norm;
  // The former measure: the correlations scaled to unit length.
  norm = std::sqrt(norm);
  for (ImportanceFactor& f : s.factors) {
    f.scaled = norm > 0 ? f.rho / norm : f.rho;
    f.share = 100 * f.scaled * f.scaled;
  }
  return s;
}

namespace {

/// The uniform number of a standard normal value, as accurate in the upper
/// tail as in the lower; beyond 8 the uniform would round to 0 or 1.
double uniform_of(double z) {
  z = std::min(8.0, std::max(-8.0, z));
  return z > 0 ? 1 - normal_cdf(-z) : normal_cdf(z);
}

/// G of the sources' uniform numbers, the other columns at their median.
class SourceLimitState {
 public:
  SourceLimitState(const SimulationModel& model, double t)
      : g_(model.limit_state_of(t)), sources_(model.sources()), uniforms_(model.uniforms()) {}
  const std::vector<SimulationModel::Source>& sources() const { return sources_; }
  double operator()(const std::vector<double>& u) const {
    std::vector<double> all(static_cast<std::size_t>(uniforms_) + 1, 0.5);
    for (std::size_t i = 0; i < sources_.size(); ++i) all[static_cast<std::size_t>(sources_[i].column)] = u[i];
    return g_(all.data());
  }

 private:
  SimulationModel::UniformLimitState g_;
  std::vector<SimulationModel::Source> sources_;
  int uniforms_;
};

}  // namespace

FormSummary form_at(const SimulationModel& model, double t) {
  const SourceLimitState g(model, t);
  const std::vector<SimulationModel::Source>& sources = g.sources();
  const FormResult r = form_search(
      [&](const std::vector<double>& z) {
        std::vector<double> u(z.size());
        for (std::size_t i = 0; i < z.size(); ++i) u[i] = uniform_of(z[i]);
        return g(u);
      },
      sources.size());
  FormSummary s;
  s.reason = r.reason;
  s.converged = r.converged;
  s.note = r.note;
  s.iterations = r.iterations;
  s.evaluations = r.evaluations;
  s.beta = r.beta;
  s.pf = 100 * normal_cdf(-r.beta);
  if (!r.reason.empty()) return s;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    FormVariable v;
    v.variable = sources[i].variable;
    v.u = r.u[i];
    v.alpha = r.alpha[i];
    v.value = model.variable_value(sources[i], uniform_of(r.u[i]));
    s.variables.push_back(v);
  }
  return s;
}

SobolSummary sobol_at(const SimulationModel& model, double t, std::int64_t simulations) {
  SobolSummary s;
  s.simulations = simulations;
  if (simulations <= 0) return s;
  const SourceLimitState g(model, t);
  const std::vector<SimulationModel::Source>& sources = g.sources();
  const std::int64_t n = simulations;
  // Sample A: the series' own simulations 1..n; B: the next n of the same
  // generator.
  const SobolResult r = sobol_indices(
      n, sources.size(),
      [&](std::int64_t row, bool b, std::vector<double>& u) {
        std::vector<double> all(static_cast<std::size_t>(model.uniforms()) + 1);
        model.simulation_uniforms(b ? n + row : row, all.data());
        for (std::size_t i = 0; i < sources.size(); ++i) u[i] = all[static_cast<std::size_t>(sources[i].column)];
      },
      g, model.threads());
  s.reason = r.reason;
  s.rows = r.rows;
  s.evaluations = r.evaluations;
  if (sources.empty() && s.reason.empty()) s.reason = "no variable is random";
  for (std::size_t i = 0; i < r.indices.size(); ++i) {
    const SobolIndex& x = r.indices[i];
    s.variables.push_back({sources[i].variable, x.first, x.first_low, x.first_high, x.total, x.total_low,
                           x.total_high});
  }
  return s;
}

}  // namespace tbx
