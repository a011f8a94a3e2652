#include "core/parallel.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "core/machine.hpp"

namespace tbx {

namespace {

// Set on helper threads, and on a calling thread while it takes its share.
thread_local bool in_job = false;

/// Helper threads that sleep between jobs. One job runs at a time; a job
/// started from inside a job runs on the calling thread alone.
class HelperPool {
 public:
  static HelperPool& instance() {
    static HelperPool pool;
    return pool;
  }
  HelperPool() = default;
  HelperPool(const HelperPool&) = delete;
  HelperPool& operator=(const HelperPool&) = delete;
  ~HelperPool();

  /// Runs `helper` on up to `helpers` pool threads and `own` on the calling
  /// thread; returns when every one of them has returned. Neither function
  /// may throw, and `own` must finish the job alone if need be: helpers that
  /// have not started by the time `own` returns are not waited for.
  void run(int helpers, const std::function<void()>& helper, const std::function<void()>& own);

 private:
  void serve();

  std::mutex one_job_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::vector<std::thread> threads_;
  const std::function<void()>* job_ = nullptr;
  std::uint64_t generation_ = 0;
  int wanted_ = 0;
  int taken_ = 0;
  int done_ = 0;
  bool stopping_ = false;
};

HelperPool::~HelperPool() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (auto& t : threads_) t.join();
}

void HelperPool::run(int helpers, const std::function<void()>& helper, const std::function<void()>& own) {
  if (helpers <= 0 || in_job) {
    own();
    return;
  }
  const std::lock_guard<std::mutex> one_job(one_job_);
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    while (static_cast<int>(threads_.size()) < helpers) {
      try {
        threads_.emplace_back([this] { serve(); });
      } catch (const std::system_error&) {
        break;  // no more threads to be had: fewer helpers share the work
      }
    }
    job_ = &helper;
    wanted_ = std::min(helpers, static_cast<int>(threads_.size()));
    taken_ = 0;
    done_ = 0;
    ++generation_;
  }
  wake_.notify_all();
  in_job = true;
  own();
  in_job = false;
  std::unique_lock<std::mutex> lock(mutex_);
  wanted_ = taken_;  // latecomers would find nothing left to do
  finished_.wait(lock, [&] { return done_ == taken_; });
  job_ = nullptr;
}

void HelperPool::serve() {
  in_job = true;
  std::unique_lock<std::mutex> lock(mutex_);
  std::uint64_t seen = 0;
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || (generation_ != seen && taken_ < wanted_); });
    if (stopping_) return;
    seen = generation_;
    ++taken_;
    const std::function<void()>* job = job_;
    lock.unlock();
    (*job)();
    lock.lock();
    ++done_;
    finished_.notify_all();
  }
}

int thread_count(std::int64_t n_chunks, int threads) {
  return static_cast<int>(std::clamp<std::int64_t>(n_chunks, 1, std::max(1, threads)));
}

}  // namespace

int available_cpus() {
  const int allowed = cpus_allowed();
  return allowed > 0 ? allowed : static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
}

void for_each_chunk(std::int64_t n_chunks, int threads, const std::function<void(std::int64_t)>& work) {
  const int n_threads = thread_count(n_chunks, threads);
  if (n_threads == 1) {
    for (std::int64_t c = 0; c < n_chunks; ++c) work(c);
    return;
  }
  std::atomic<std::int64_t> next{0};
  std::exception_ptr failure;
  std::mutex failure_mutex;
  const std::function<void()> share = [&] {
    try {
      for (std::int64_t c = next++; c < n_chunks; c = next++) work(c);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(failure_mutex);
      if (!failure) failure = std::current_exception();
      next = n_chunks;
    }
  };
  HelperPool::instance().run(n_threads - 1, share, share);
  if (failure) std::rethrow_exception(failure);
}

void for_each_chunk_in_order(std::int64_t n_chunks, int threads, int window,
                             const std::function<void(std::int64_t)>& produce,
                             const std::function<void(std::int64_t)>& consume) {
  for_each_chunk_in_order(n_chunks, threads, window, nullptr, produce, consume);
}

void for_each_chunk_in_order(std::int64_t n_chunks, int threads, int window,
                             const std::function<void(std::int64_t)>& prepare,
                             const std::function<void(std::int64_t)>& produce,
                             const std::function<void(std::int64_t)>& consume) {
  const int n_threads = thread_count(n_chunks, threads);
  if (n_threads == 1 || window <= 1) {
    for (std::int64_t c = 0; c < n_chunks; ++c) {
      if (prepare) prepare(c);
      produce(c);
      consume(c);
    }
    return;
  }
  // Every thread produces the next chunk whose buffer is free, and whoever
  // finds the oldest chunk ready while nobody is consuming consumes it, so
  // that consumption (writing a file, say) is not tied to one thread.
  std::mutex mutex;
  std::condition_variable changed;
  std::int64_t prepared = prepare ? 0 : n_chunks;  // chunks below this one are prepared
  std::int64_t next = 0;      // the next chunk to be produced
  std::int64_t consumed = 0;  // chunks below this one are consumed
  bool preparing = false;
  bool consuming = false;
  std::vector<std::int64_t> ready(static_cast<std::size_t>(window), -1);  // per buffer
  bool failed = false;
  std::exception_ptr failure;

  auto slot = [&](std::int64_t c) -> std::int64_t& { return ready[static_cast<std::size_t>(c % window)]; };
  // Runs f(c) with the lock released; false if it threw.
  auto unlocked = [&](std::unique_lock<std::mutex>& lock, const std::function<void(std::int64_t)>& f,
                      std::int64_t c) {
    lock.unlock();
    try {
      f(c);
      lock.lock();
      return true;
    } catch (...) {
      lock.lock();
      if (!failure) failure = std::current_exception();
      failed = true;
      return false;
    }
  };
  // One thread's share; the caller's returns only when every chunk is
  // consumed (or the work failed), a helper's when nothing is left to produce
  // and nothing can be consumed right now.
  auto share = [&](bool caller) {
    std::unique_lock<std::mutex> lock(mutex);
    while (!failed && consumed < n_chunks) {
      if (!consuming && slot(consumed) == consumed) {
        const std::int64_t c = consumed;
        consuming = true;
        if (unlocked(lock, consume, c)) {
          slot(c) = -1;
          consumed = c + 1;
        }
        consuming = false;
      } else if (!preparing && prepared < n_chunks && prepared < next + n_threads) {
        // Preparing keeps a little ahead of producing, so that producers
        // seldom wait for it.
        const std::int64_t c = prepared;
        preparing = true;
        if (unlocked(lock, prepare, c)) prepared = c + 1;
        preparing = false;
      } else if (next < prepared && next < consumed + window) {
        const std::int64_t c = next++;
        if (unlocked(lock, produce, c)) slot(c) = c;
      } else if (caller || next < n_chunks) {
        changed.wait(lock);
        continue;
      } else {
        return;
      }
      changed.notify_all();
    }
    changed.notify_all();
  };
  HelperPool::instance().run(
      n_threads - 1, [&] { share(false); }, [&] { share(true); });
  if (failure) std::rethrow_exception(failure);
}

void for_each_chunk_in_sequence(std::int64_t n_chunks, int threads, const std::function<void(std::int64_t)>& prepare,
                                const std::function<void(std::int64_t)>& produce,
                                const std::function<void(std::int64_t)>& consume) {
  const int n_threads = thread_count(n_chunks, threads);
  if (n_threads == 1) {
    for (std::int64_t c = 0; c < n_chunks; ++c) {
      if (prepare) prepare(c);
      produce(c);
      if (consume) consume(c);
    }
    return;
  }
  // The waits are short, a step of one chunk on another thread: a thread
  // first checks for a while, then sleeps until woken (when the CPUs are
  // shared with other work, say). All orders are sequentially consistent: a
  // thread about to sleep counts itself among the sleepers before it looks
  // at the counter once more, and one that moves a counter looks for
  // sleepers after, so that one of them sees the other.
  constexpr int SPINS = 4000;
  std::atomic<std::int64_t> next{0};
  std::atomic<std::int64_t> prepared{0};  // chunks below this one are prepared
  std::atomic<std::int64_t> consumed{0};  // chunks below this one are consumed
  std::atomic<int> sleepers{0};
  std::atomic<bool> failed{false};
  std::mutex mutex;
  std::condition_variable changed;
  std::exception_ptr failure;

  const auto wake = [&] {
    if (sleepers.load() > 0) {
      const std::lock_guard<std::mutex> lock(mutex);
      changed.notify_all();
    }
  };
  // Waits until `counter` reaches c; false once the work has failed.
  const auto wait_for = [&](const std::atomic<std::int64_t>& counter, std::int64_t c) {
    for (int spin = 0; spin < SPINS; ++spin) {
      if (counter.load() == c) return true;
      if (failed.load()) return false;
#if defined(__x86_64__) || defined(__i386__)
      __builtin_ia32_pause();
#endif
    }
    std::unique_lock<std::mutex> lock(mutex);
    ++sleepers;
    changed.wait(lock, [&] { return counter.load() == c || failed.load(); });
    --sleepers;
    return !failed.load();
  };
  const std::function<void()> share = [&] {
    try {
      for (std::int64_t c = next++; c < n_chunks; c = next++) {
        if (!wait_for(prepared, c)) return;
        if (prepare) prepare(c);
        prepared = c + 1;
        wake();
        produce(c);
        if (!wait_for(consumed, c)) return;
        if (consume) consume(c);
        consumed = c + 1;
        wake();
      }
    } catch (...) {
      const std::lock_guard<std::mutex> lock(mutex);
      if (!failure) failure = std::current_exception();
      failed = true;
      changed.notify_all();
    }
  };
  HelperPool::instance().run(n_threads - 1, share, share);
  if (failure) std::rethrow_exception(failure);
}

}  // namespace tbx
