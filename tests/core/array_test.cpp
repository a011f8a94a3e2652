#include "core/array.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace tbx {
namespace {

std::string fatal_text(void (*action)()) {
  try {
    action();
  } catch (const FatalError& e) {
    return e.report();
  }
  return "no fatal error";
}

TEST(Arrays, IndicesStartAtOneAndContentsStartAtZero) {
  RealVector v(3);
  IntVector iv(3);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(v[i], 0.0);
    EXPECT_EQ(iv[i], 0);
  }
  v[3] = 2.5;
  EXPECT_EQ(v.data()[2], 2.5);
}

TEST(Arrays, MatrixRowsFollowEachOtherInOneBlock) {
  RealMatrix m(2, 9);
  for (int j = 1; j <= 9; ++j) {
    m[1][j] = j;
    m[2][j] = 10 + j;
  }
  const double* first = &m[1][1];
  for (int k = 0; k < 18; ++k) EXPECT_EQ(first[k], k < 9 ? k + 1 : k + 2) << k;
  const Span1<double> row = m[2];
  EXPECT_EQ(row.size(), 9);
  EXPECT_EQ(row[1], 11.0);
}

TEST(Arrays, ZeroCountStillGivesOneElement) {
  RealVector v(0);
  ASSERT_TRUE(v.allocated());
  v[1] = 1.0;
  free_vector(v);
  EXPECT_FALSE(v.allocated());
  RealMatrix m(0, 3);
  EXPECT_TRUE(m.allocated());
}

TEST(Arrays, ImpossibleSizesEndInTheAllocationMessage) {
  const std::string expected = "\nERROR:\nMemory allocation failed\n\n";
  EXPECT_EQ(fatal_text([] { RealVector v(-1); }), expected);
  EXPECT_EQ(fatal_text([] { IntVector v(std::numeric_limits<std::int64_t>::max()); }), expected);
  // 2,000,000,000 rows of 2^62 columns: the product must not wrap.
  EXPECT_EQ(fatal_text([] { RealMatrix m(2'000'000'000, std::int64_t{1} << 62); }), expected);
  EXPECT_EQ(fatal_text([] { RealMatrix m(-2, 3); }), expected);
}

TEST(Arrays, ReleasingNothingIsAnError) {
  EXPECT_EQ(fatal_text([] {
              RealVector v;
              free_vector(v);
            }),
            "\nERROR:\nfreed1: unexpected null pointer\n\n");
  EXPECT_EQ(fatal_text([] {
              RealMatrix m;
              free_matrix(m);
            }),
            "\nERROR:\nfreed2: unexpected null pointer\n\n");
  EXPECT_EQ(fatal_text([] {
              IntVector v;
              free_ivector(v);
            }),
            "\nERROR:\nfreei1: unexpected null pointer\n\n");
}

TEST(FatalError, LayoutWithAndWithoutLine) {
  EXPECT_EQ(fatal_report("Missing ;", 7), "\nERROR:\nMissing ;\nLine n.        7\n\n");
  EXPECT_EQ(fatal_report("Usage:  tbxrun  jobname", 0), "\nERROR:\nUsage:  tbxrun  jobname\n\n");
  EXPECT_EQ(fatal_report("x", 123456789), "\nERROR:\nx\nLine n. 123456789\n\n");
  EXPECT_THROW(fatal_error("x", 0), FatalError);
}

}  // namespace
}  // namespace tbx
