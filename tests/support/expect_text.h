// Assertions on text the tests read back (pages, messages): whether it
// holds a piece, with the piece named when it does not.
#pragma once

#include <string>

#include <gtest/gtest.h>

#define EXPECT_CONTAINS(haystack, needle) \
  EXPECT_NE((haystack).find(needle), std::string::npos) << "missing: " << (needle)
#define EXPECT_LACKS(haystack, needle) \
  EXPECT_EQ((haystack).find(needle), std::string::npos) << "present: " << (needle)
