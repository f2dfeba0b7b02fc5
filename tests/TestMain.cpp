// Shared main for every test executable: plain GoogleTest, with no output buffering so that a
// crash under Wine still shows what ran before it.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
