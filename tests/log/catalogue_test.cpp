#include <gtest/gtest.h>
#include "log/log.h"
TEST(Catalogue, Loads) { char b[64]; EXPECT_GT(LoadCatalogue(29, b, sizeof b), 0); EXPECT_STREQ(b, "Not connected"); }
