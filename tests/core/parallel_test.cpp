#include "core/parallel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tbx {
namespace {

TEST(ForEachChunk, EveryChunkExactlyOnce) {
  for (const std::int64_t chunks : {0, 1, 2, 7, 1000}) {
    for (const int threads : {1, 2, 5}) {
      std::vector<std::atomic<int>> calls(static_cast<std::size_t>(chunks));
      for_each_chunk(chunks, threads, [&](std::int64_t c) { ++calls[static_cast<std::size_t>(c)]; });
      for (std::int64_t c = 0; c < chunks; ++c) {
        EXPECT_EQ(calls[static_cast<std::size_t>(c)], 1) << chunks << " chunks, " << threads << " threads";
      }
    }
  }
}

TEST(ForEachChunk, FailureIsRethrownAndTheHelpersStayUsable) {
  std::atomic<int> done{0};
  EXPECT_THROW(for_each_chunk(100, 2,
                              [&](std::int64_t c) {
                                if (c == 3) throw std::runtime_error("chunk 3");
                                ++done;
                              }),
               std::runtime_error);
  EXPECT_LT(done, 100);
  std::atomic<int> after{0};
  for_each_chunk(50, 2, [&](std::int64_t) { ++after; });
  EXPECT_EQ(after, 50);
}

TEST(ForEachChunk, NestedAndConcurrentCallsComplete) {
  // A call from inside a chunk runs on that thread; calls from two threads
  // at once take turns.
  std::atomic<int> inner{0};
  for_each_chunk(4, 2, [&](std::int64_t) { for_each_chunk(3, 2, [&](std::int64_t) { ++inner; }); });
  EXPECT_EQ(inner, 12);
  std::atomic<int> total{0};
  auto many = [&] {
    for (int i = 0; i < 20; ++i) for_each_chunk(10, 2, [&](std::int64_t) { ++total; });
  };
  std::thread other(many);
  many();
  other.join();
  EXPECT_EQ(total, 400);
}

// The producer writes into buffer c % window and the consumer reads it back:
// a chunk produced too early would overwrite a buffer not yet consumed.
TEST(ForEachChunkInOrder, ConsumesInOrderWithinTheWindow) {
  for (const int threads : {1, 2, 4}) {
    for (const int window : {1, 2, 3, 8}) {
      constexpr std::int64_t CHUNKS = 500;
      std::vector<std::int64_t> buffers(static_cast<std::size_t>(window), -1);
      std::vector<std::int64_t> consumed;
      std::mutex check;
      std::int64_t next_to_consume = 0;
      bool overtaken = false;
      for_each_chunk_in_order(
          CHUNKS, threads, window,
          [&](std::int64_t c) {
            {
              const std::lock_guard<std::mutex> lock(check);
              if (c >= next_to_consume + window) overtaken = true;
            }
            buffers[static_cast<std::size_t>(c % window)] = c;
          },
          [&](std::int64_t c) {
            consumed.push_back(buffers[static_cast<std::size_t>(c % window)]);
            const std::lock_guard<std::mutex> lock(check);
            next_to_consume = c + 1;
          });
      EXPECT_FALSE(overtaken) << threads << " threads, window " << window;
      ASSERT_EQ(consumed.size(), static_cast<std::size_t>(CHUNKS));
      for (std::int64_t c = 0; c < CHUNKS; ++c) EXPECT_EQ(consumed[static_cast<std::size_t>(c)], c);
    }
  }
}

TEST(ForEachChunkInOrder, FailuresOnEitherSideAreRethrown) {
  std::vector<std::int64_t> consumed;
  EXPECT_THROW(for_each_chunk_in_order(
                   100, 2, 4,
                   [](std::int64_t c) {
                     if (c == 10) throw std::runtime_error("produce");
                   },
                   [&](std::int64_t c) { consumed.push_back(c); }),
               std::runtime_error);
  // Chunks before the failing one may have been consumed, never one after.
  for (const std::int64_t c : consumed) EXPECT_LT(c, 10);
  EXPECT_THROW(for_each_chunk_in_order(
                   100, 2, 4, [](std::int64_t) {},
                   [](std::int64_t c) {
                     if (c == 20) throw std::runtime_error("consume");
                   }),
               std::runtime_error);
  std::atomic<int> after{0};
  for_each_chunk_in_order(
      30, 2, 4, [&](std::int64_t) { ++after; }, [](std::int64_t) {});
  EXPECT_EQ(after, 30);
}

// Three stages: prepare and consume in chunk order, one at a time; a chunk
// is produced only after it was prepared and consumed only after that.
TEST(ForEachChunkInOrder, PrepareComesFirstAndInOrder) {
  for (const int threads : {1, 2, 4}) {
    constexpr std::int64_t CHUNKS = 300;
    std::mutex check;
    std::vector<int> stage(CHUNKS, 0);  // 1 prepared, 2 produced, 3 consumed
    std::vector<std::int64_t> prepared, consumed;
    bool out_of_turn = false;
    const auto advance = [&](std::int64_t c, int to) {
      const std::lock_guard<std::mutex> lock(check);
      if (stage[static_cast<std::size_t>(c)] != to - 1) out_of_turn = true;
      stage[static_cast<std::size_t>(c)] = to;
    };
    for_each_chunk_in_order(
        CHUNKS, threads, 8,
        [&](std::int64_t c) {
          advance(c, 1);
          prepared.push_back(c);
        },
        [&](std::int64_t c) { advance(c, 2); },
        [&](std::int64_t c) {
          advance(c, 3);
          consumed.push_back(c);
        });
    EXPECT_FALSE(out_of_turn) << threads;
    ASSERT_EQ(prepared.size(), static_cast<std::size_t>(CHUNKS));
    ASSERT_EQ(consumed.size(), static_cast<std::size_t>(CHUNKS));
    for (std::int64_t c = 0; c < CHUNKS; ++c) {
      EXPECT_EQ(prepared[static_cast<std::size_t>(c)], c);
      EXPECT_EQ(consumed[static_cast<std::size_t>(c)], c);
    }
  }
}

// Each chunk's three steps on one thread, in turn; prepare and consume in
// chunk order; a failure in any step is rethrown and the helpers stay usable.
TEST(ForEachChunkInSequence, OneThreadPerChunkAndStepsInOrder) {
  for (const int threads : {1, 2, 4}) {
    constexpr std::int64_t CHUNKS = 300;
    std::mutex check;
    std::vector<std::thread::id> owner(CHUNKS);
    std::vector<std::int64_t> prepared, consumed;
    bool out_of_turn = false;
    const auto step = [&](std::int64_t c, bool first) {
      const std::lock_guard<std::mutex> lock(check);
      auto& id = owner[static_cast<std::size_t>(c)];
      if (first) id = std::this_thread::get_id();
      if (id != std::this_thread::get_id()) out_of_turn = true;
    };
    for_each_chunk_in_sequence(
        CHUNKS, threads,
        [&](std::int64_t c) {
          step(c, true);
          prepared.push_back(c);
        },
        [&](std::int64_t c) { step(c, false); },
        [&](std::int64_t c) {
          step(c, false);
          consumed.push_back(c);
        });
    EXPECT_FALSE(out_of_turn) << threads;
    ASSERT_EQ(prepared.size(), static_cast<std::size_t>(CHUNKS));
    ASSERT_EQ(consumed.size(), static_cast<std::size_t>(CHUNKS));
    for (std::int64_t c = 0; c < CHUNKS; ++c) {
      EXPECT_EQ(prepared[static_cast<std::size_t>(c)], c);
      EXPECT_EQ(consumed[static_cast<std::size_t>(c)], c);
    }
  }
  for (const int failing_step : {0, 1, 2}) {
    const auto fail_at = [failing_step](int step) {
      return [failing_step, step](std::int64_t c) {
        if (step == failing_step && c == 40) throw std::runtime_error("step");
      };
    };
    EXPECT_THROW(for_each_chunk_in_sequence(100, 2, fail_at(0), fail_at(1), fail_at(2)), std::runtime_error)
        << failing_step;
  }
  std::atomic<int> produced{0};
  for_each_chunk_in_sequence(30, 2, nullptr, [&](std::int64_t) { ++produced; }, nullptr);
  EXPECT_EQ(produced, 30);
}

TEST(AvailableCpus, AtLeastOne) { EXPECT_GE(available_cpus(), 1); }

}  // namespace
}  // namespace tbx
