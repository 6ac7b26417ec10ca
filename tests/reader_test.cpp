#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "merge/scanreader.h"

TEST(ReadPiece, Placeholder) {
  std::istringstream in("ab\r\ncd");
  char buf[10];
  EXPECT_EQ(readpiece(in, buf, 10), 3);
  EXPECT_STREQ(buf, "ab\n");
}
