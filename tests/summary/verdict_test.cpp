// The verdict at the design life, the date a run records and the hash that
// names its job file.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "files/sha256.hpp"
#include "summary/summary.hpp"

namespace tbx {
namespace {

TEST(Verdict, AgainstTheTarget) {
  struct Case {
    double beta, low, high, target;
    const char* outcome;
    bool settled;
    const char* text;
  };
  const double inf = INFINITY;
  const Case cases[] = {
      {-0.995, -1.02, -0.97, 1.3, "fails", true,
       "at 50 years the index is -0.995 (95 % interval -1.020 to -0.970), below the target 1.3: fails"},
      {2.1, 1.9, 2.3, 1.3, "passes", true,
       "at 50 years the index is 2.100 (95 % interval 1.900 to 2.300), above the target 1.3: passes"},
      // At the target passes; an interval across it is not settled.
      {1.3, 1.25, 1.35, 1.3, "passes", false,
       "at 50 years the index is 1.300 (95 % interval 1.250 to 1.350), at the target 1.3: passes (the interval "
       "includes the target: more simulations would settle it)"},
      {1.29, 1.2, 1.4, 1.3, "fails", false, nullptr},
      // No simulation fails: an infinite index passes any target.
      {inf, 3.2, inf, 3.8, "passes", false, nullptr},
      {-inf, -inf, -2.5, 1.3, "fails", true,
       "at 50 years the index is -infinity (95 % interval -infinity to -2.500), below the target 1.3: fails"},
  };
  for (const Case& c : cases) {
    TimePointSummary p;
    p.t = 50;
    p.beta = c.beta;
    p.beta_low = c.low;
    p.beta_high = c.high;
    const Verdict v = verdict_of(p, c.target);
    EXPECT_EQ(v.outcome, c.outcome) << c.beta;
    EXPECT_EQ(v.settled, c.settled) << c.beta;
    if (c.text) {
      EXPECT_EQ(verdict_text(v), c.text);
    }
  }
}

TEST(RunDate, FollowsSourceDateEpoch) {
  const char* saved = std::getenv("SOURCE_DATE_EPOCH");
  const std::string before = saved ? saved : "";
  ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  EXPECT_EQ(run_date(), "2023-11-14T22:13:20Z");
  // Not a whole number of seconds: the clock.
  for (const char* bad : {"", "12x", "-5"}) {
    ::setenv("SOURCE_DATE_EPOCH", bad, 1);
    EXPECT_NE(run_date(), "1970-01-01T00:00:00Z") << bad;
    EXPECT_EQ(run_date().size(), 20u) << bad;
  }
  if (saved) {
    ::setenv("SOURCE_DATE_EPOCH", before.c_str(), 1);
  } else {
    ::unsetenv("SOURCE_DATE_EPOCH");
  }
}

TEST(Sha256, KnownDigests) {
  EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // Padding that spills into a second block.
  EXPECT_EQ(sha256_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(sha256_hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace tbx
