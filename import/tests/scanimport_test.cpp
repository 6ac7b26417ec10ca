#include <gtest/gtest.h>
TEST(Stub, Builds) {}
