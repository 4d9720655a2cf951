#include "core/version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

TEST(Version, IsDottedTriple) {
    std::string v = funkor::programVersion();
    EXPECT_EQ(std::count(v.begin(), v.end(), '.'), 2);
}
