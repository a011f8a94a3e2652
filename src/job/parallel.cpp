#include "job/parallel.hpp"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace tbx {

int available_cpus() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return std::max(1U, std::thread::hardware_concurrency());
}

void for_each_chunk(std::int64_t n_chunks, int threads, const std::function<void(std::int64_t)>& work) {
  const auto n_threads = static_cast<int>(std::clamp<std::int64_t>(n_chunks, 1, std::max(1, threads)));
  if (n_threads == 1) {
    for (std::int64_t c = 0; c < n_chunks; ++c) work(c);
    return;
  }
  std::atomic<std::int64_t> next{0};
  std::exception_ptr failure;
  std::mutex failure_mutex;
  auto worker = [&] {
    try {
      for (std::int64_t c = next++; c < n_chunks; c = next++) work(c);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(failure_mutex);
      if (!failure) failure = std::current_exception();
      next = n_chunks;
    }
  };
  std::vector<std::thread> pool;
  pool.reserve(static_cast<std::size_t>(n_threads - 1));
  try {
    for (int i = 1; i < n_threads; ++i) pool.emplace_back(worker);
  } catch (const std::system_error&) {
    // No more threads to be had: the ones running and this one share the work.
  }
  worker();
  for (auto& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace tbx
