#include "util/memory/Memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "support/RecordingAssertionHandler.h"

namespace {

TEST(MemoryTest, DuplicateCopiesTheBlockToANewArray) {
  testsupport::RecordingAssertionHandler handler;
  const char source[] = {'a', 'b', 'c', '\0'};
  util::ScopedArray<char> copy(util::duplicate(source, 4));
  ASSERT_NE(nullptr, copy.get());
  EXPECT_NE(source, copy.get());
  EXPECT_EQ(0, std::memcmp(source, copy.get(), 4));
  EXPECT_TRUE(handler.reports.empty());
}

TEST(MemoryTest, DuplicateOfNullIsReportedAndNeverReadsIt) {
  testsupport::RecordingAssertionHandler handler;
  util::ScopedArray<char> copy(util::duplicate(nullptr, 3));
  ASSERT_NE(nullptr, copy.get());
  EXPECT_EQ(0, std::memcmp("\0\0\0", copy.get(), 3));
  ASSERT_EQ(1u, handler.reports.size());
  EXPECT_EQ("src", handler.condition(0));
  EXPECT_EQ("source/util/memory/Memory.cpp", handler.file(0));
}

TEST(MemoryTest, DuplicateOfNothingIsReportedAndGivesAnEmptyArray) {
  testsupport::RecordingAssertionHandler handler;
  util::ScopedArray<char> copy(util::duplicate("x", 0));
  EXPECT_NE(nullptr, copy.get());
  ASSERT_EQ(1u, handler.reports.size());
  EXPECT_EQ("size > 0", handler.condition(0));
}

struct Counted {
  static int destroyed;
  ~Counted() { ++destroyed; }
};
int Counted::destroyed = 0;

TEST(MemoryTest, ScopedArrayReleasesOnceAlsoWhenAnExceptionPasses) {
  Counted::destroyed = 0;
  Counted* array = new Counted[3];
  {
    util::ScopedArray<Counted> owner(array);
    EXPECT_EQ(array, owner.get());
    EXPECT_EQ(array, owner.get());
  }
  EXPECT_EQ(3, Counted::destroyed);

  Counted::destroyed = 0;
  try {
    util::ScopedArray<Counted> owner(new Counted[2]);
    throw std::runtime_error("leaving");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(2, Counted::destroyed);

  util::ScopedArray<Counted> empty(nullptr);
  EXPECT_EQ(nullptr, empty.get());
}

} // namespace
