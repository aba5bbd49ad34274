#include <gtest/gtest.h>

#include "index/index.h"

TEST(Smoke, Links) { EXPECT_EQ(kolva::CharToSlot(0x3400), 0); }
