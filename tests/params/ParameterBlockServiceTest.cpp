// The parameter service's operations and their edge cases, on a block bound as the current one.
#include <gtest/gtest.h>

#include "params/ParameterBlockService.h"

TEST(ParameterBlockService, Placeholder) { EXPECT_EQ(ParameterBlockService(99, nullptr), 0); }
