#include "platform/xml/ExpansionGuard.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using platform::xml::ExpansionGuard;

constexpr std::size_t allowance = ExpansionGuard::allowance;

TEST(ExpansionGuard, RefusesOnlyPastBothTheAllowanceAndTheMultipleOfTheDocument) {
  const struct {
    std::size_t charged;
    std::size_t documentRead;
    bool allowed;
  } cases[] = {
      {allowance, 0, true},                       // the allowance itself
      {allowance + 1, 0, false},                  // past it, with nothing read
      {allowance + 1, (allowance + 1) / 10, true}, // within ten times the document
      {10 * allowance, allowance, true},
      {10 * allowance + 10, allowance, false},
  };
  for (const auto& row : cases) {
    ExpansionGuard guard;
    EXPECT_EQ(row.allowed, guard.charge(row.charged, row.documentRead))
        << row.charged << " bytes with " << row.documentRead << " read";
    EXPECT_EQ(!row.allowed, guard.refused());
  }
}

TEST(ExpansionGuard, CountsEveryReferenceAndStaysRefused) {
  ExpansionGuard guard;
  for (int i = 0; i < 32; ++i) {
    ASSERT_TRUE(guard.charge(allowance / 32, 0)) << "reference " << i;
  }
  EXPECT_FALSE(guard.charge(1, 0));
  EXPECT_FALSE(guard.charge(0, SIZE_MAX)) << "a refused pass stays refused";

  ExpansionGuard saturated;
  saturated.charge(SIZE_MAX, SIZE_MAX);
  EXPECT_FALSE(saturated.charge(SIZE_MAX, 0)) << "the count saturates instead of wrapping to a small number";
}

} // namespace
