#include "model/fib_model.hpp"

#include <limits>

namespace tbx {

FibModel::FibModel(const FibJob& job) {
  samplers_.reserve(FIB_VARIABLES);
  for (const FibInput& input : job.inputs) samplers_.emplace_back(input.distribution);
  const auto random = [&](FibVariable v) { return samplers_[static_cast<std::size_t>(v)].random(); };
  varies_ = {random(FIB_A),
             random(FIB_DX),
             random(FIB_C0),
             random(FIB_CS_DX),
             random(FIB_BE) || random(FIB_T) || random(FIB_D_RCM0) || random(FIB_KT),
             random(FIB_ALPHA)};
  // The entries that do not vary are those of any draw.
  std::array<double, UNIFORMS + 1> u{};
  u.fill(0.5);
  double r = 0.0;
  sample(u.data(), r, constant_);
}

SampleNotes FibModel::sample(const double* u, double& r, Kept& kept) const {
  double v[FIB_VARIABLES];
  for (int i = 0; i < FIB_VARIABLES; ++i) v[i] = samplers_[static_cast<std::size_t>(i)].quantile(u[i + 1]);
  const double ke = std::exp(v[FIB_BE] * (1 / FIB_TREF_KELVIN - 1 / (v[FIB_T] + CELSIUS_ZERO_KELVIN)));
  r = v[FIB_CCRIT];
  kept[COVER] = v[FIB_A];
  kept[DX] = v[FIB_DX];
  kept[C0] = v[FIB_C0];
  kept[CS] = v[FIB_CS_DX];
  kept[DIFFUSION] = ke * (v[FIB_D_RCM0] * RCM_UNIT_MM2_PER_YEAR) * v[FIB_KT];
  kept[ALPHA] = v[FIB_ALPHA];
  return {};
}

FibModel::TimePoint FibModel::at(double t) const {
  TimePoint point;
  point.t = t;
  point.ageing_shared = !varies_[ALPHA];
  if (point.ageing_shared) point.ageing = std::pow(FIB_T0_YEARS / t, constant_[ALPHA]);
  return point;
}

double FibModel::critical_depth(double dx, double c0, double cs, double ccrit, double spread) {
  constexpr double INF = std::numeric_limits<double>::infinity();
  // C falls from Cs_dx at dx towards C0 where chloride comes in; where it
  // does not (Cs_dx <= C0) the cover does not matter.
  if (!(cs > c0)) return ccrit <= cs ? INF : -INF;
  const double share = (ccrit - c0) / (cs - c0);
  if (share <= 0) return INF;
  if (share > 1) return -INF;
  if (!(spread > 0)) return dx;
  return dx + 2 * std::sqrt(spread) * erf_argument(share);
}

std::vector<RandomSource> FibModel::sources() const {
  std::vector<RandomSource> out;
  for (int i = 0; i < FIB_VARIABLES; ++i) {
    if (!samplers_[static_cast<std::size_t>(i)].random()) continue;
    RandomSource s;
    s.variable = FIB_VARIABLES_INFO[static_cast<std::size_t>(i)].name;
    s.drives.push_back(s.variable);
    s.column = i + 1;
    s.folded = false;
    out.push_back(std::move(s));
  }
  return out;
}

CoverDistribution FibModel::cover() const {
  const MomentDistribution& d = samplers_[FIB_A].distribution();
  CoverDistribution c;
  switch (d.kind) {
    case MomentKind::normal:
    case MomentKind::lognormal:
      // Shifted, a cut distribution would keep or move its bounds: neither
      // is the design cover of a given spread.
      if (d.truncated) {
        c.reason = std::string("the cover has a ") + moment_kind_name(d.kind) +
                   " distribution cut at bounds: no distribution to shift freely";
        break;
      }
      c.lognormal = d.kind == MomentKind::lognormal;
      c.sd = d.sd;
      break;
    case MomentKind::beta:
    case MomentKind::uniform:
      c.reason = std::string("the cover has a ") + moment_kind_name(d.kind) +
                 " distribution between bounds: no distribution to shift freely";
      break;
    case MomentKind::fixed:
      c.reason = "the cover is fixed: no distribution to shift";
      break;
  }
  return c;
}

}  // namespace tbx
