// Runs a job through the tbxrun library: progress in percent while it runs,
// then t and Pf at every time point and the service life.   api_example JOB
#include <cstdio>
#include <tbxrun/tbxrun.hpp>

struct PercentProgress : tbxrun::Observer {
  int shown = -1;
  void progress(const tbxrun::Progress& p) override {
    const double done = (p.point - 1) * double(p.simulations) + double(p.simulations_done);
    const int percent = int(100 * done / (double(p.points) * double(p.simulations)));
    if (percent != shown) std::fprintf(stderr, "\r%3d %%", shown = percent);
  }
};

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s JOB\n", argv[0]);
    return 2;
  }
  try {
    const tbxrun::Job job = tbxrun::Job::load(argv[1]);
    PercentProgress observer;
    const tbxrun::Results r = tbxrun::run(job, {}, &observer);
    std::fprintf(stderr, "\n");
    for (std::size_t i = 0; i < r.times.size(); ++i)
      std::printf("t = %.10g years  Pf = %.10g\n", r.times[i], r.pf[i]);
    const tbxrun::ServiceLifeSummary& life = r.summary->service_life;
    if (life.kind == "estimate" || life.kind == "at_start")  // at_start: an upper bound
      std::printf("service life: %s%.10g years\n", life.kind == "at_start" ? "at most " : "", life.years);
    else if (life.kind == "not_reached")
      std::printf("service life: beyond %.10g years\n", r.times.back());
    else
      std::printf("service life: undefined, %s\n", life.reason.c_str());
  } catch (const tbxrun::Error& e) {
    std::fputs(e.report().c_str(), stderr);
    return 1;
  }
}
