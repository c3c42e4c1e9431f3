#include <gtest/gtest.h>
#include "process/command_words.h"
TEST(CommandWords, Placeholder) { EXPECT_EQ(CommandWordCountIn("p a b"), 2); }
