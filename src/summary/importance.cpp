#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>

#include "core/parallel.hpp"
#include "summary/prepared_vector.hpp"
#include "summary/summary.hpp"

namespace tbx {

namespace {

double correlation(const std::vector<double>& x, const std::vector<double>& y) {
  const auto n = static_cast<double>(x.size());
  double mx = 0;
  double my = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    mx += x[i];
    my += y[i];
  }
  mx /= n;
  my /= n;
  double sxy = 0;
  double sxx = 0;
  double syy = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double dx = x[i] - mx;
    const double dy = y[i] - my;
    sxy += dx * dy;
    sxx += dx * dx;
    syy += dy * dy;
  }
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
};

/// The bits of float(x), mapped so that unsigned order is numeric order.
std::uint32_t float_key(double x) {
  const float f = static_cast<float>(x) == 0 ? 0.0f : static_cast<float>(x);  // -0 with +0
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return (bits >> 31) != 0 ? ~bits : bits | 0x80000000u;
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
  prepared_resize(r, n);
  for (std::size_t i = 0; i < n;) {
    std::size_t k = i + 1;
    while (k < n && v[items[k].index] == v[items[i].index]) ++k;
    const double mean_rank = 0.5 * static_cast<double>(i + 1 + k);
    for (std::size_t m = i; m < k; ++m) r[items[m].index] = mean_rank;
    i = k;
  }
}

}  // namespace

ImportanceSummary importance_factors(
    std::vector<double> g, const std::vector<SimulationModel::Source>& sources,
    const std::function<void(const SimulationModel::Source&, std::vector<double>& z)>& fill, int threads) {
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
  auto keep_used = [&](std::vector<double>& v) {
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
  {
    const auto n = static_cast<double>(gu.size());
    double mean = 0;
    for (const double v : gu) mean += v;
    mean /= n;
    double squares = 0;
    for (const double v : gu) squares += (v - mean) * (v - mean);
    if (without_scatter(mean, std::sqrt(squares / (n - 1)), s.used)) {
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
  // The sources one per task, each with its own work space.
  s.factors.resize(sources.size());
  for_each_chunk(static_cast<std::int64_t>(sources.size()), threads, [&](std::int64_t c) {
    const SimulationModel::Source& source = sources[static_cast<std::size_t>(c)];
    std::vector<double> z;
    std::vector<double> z_ranks;
    RankSpace space;
    fill(source, z);
    keep_used(z);
    ImportanceFactor& f = s.factors[static_cast<std::size_t>(c)];
    f.variable = source.variable;
    f.drives = source.drives;
    f.alpha = correlation(gu, z);
    ranks(z, space, z_ranks);
    f.spearman = correlation(g_ranks, z_ranks);
  });
  double norm = 0;
  for (const ImportanceFactor& f : s.factors) norm += f.alpha * f.alpha;
  // The correlations of a limit state that is linear in independent normal
  // variables are the direction cosines themselves; otherwise they are scaled
  // to unit length, so that the shares add up to 100 %.
  norm = std::sqrt(norm);
  for (ImportanceFactor& f : s.factors) {
    if (norm > 0) f.alpha /= norm;
    f.share = 100 * f.alpha * f.alpha;
  }
  return s;
}

}  // namespace tbx
