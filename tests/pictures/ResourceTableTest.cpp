// The compiled-in resource tables of the portable build: lookups by integer type and by type
// name, modules other than the running program, and the first table winning a repeated id.
// The embedded bytes are also compared with the picture files they were made from (both builds).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Resources.h"

namespace kavrosa {
namespace {

TEST(EmbeddedPictures, HoldExactlyThePictureFiles) {
  const uint16_t ids[] = {140, 142, 155, 144, 145, 146, 147, 148, 149, 150, 151, 152};
  for (int number = 1; number <= 12; ++number) {
    const std::string path = std::string("../../resources/pictures/picture") +
                             (number < 10 ? "0" : "") + std::to_string(number) + ".jpg";
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << path;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    const auto resource = FindModuleResource(nullptr, ids[number - 1], "IMGDAT");
    ASSERT_TRUE(resource.has_value()) << number;
    ASSERT_EQ(resource->size, bytes.size()) << number;
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), resource->data)) << number;
  }
}

#ifndef _WIN32
const uint8_t kFirst[] = {1, 2, 3};
const uint8_t kSecond[] = {4, 5};
const uint8_t kThird[] = {6};

TEST(ResourceTable, ModuleOfItsOwn) {
  const ResourceEntry table[] = {
      {kResourceTypeBitmap, nullptr, 7, kFirst, sizeof kFirst},
      {0, "PICTURE", 7, kSecond, sizeof kSecond},
      {kResourceTypeRcData, nullptr, 8, kThird, sizeof kThird},
  };
  ModuleObject module;
  module.Add(table, 3);

  const auto bitmap = FindModuleResource(&module, 7, nullptr);
  ASSERT_TRUE(bitmap.has_value());
  EXPECT_EQ(bitmap->data, kFirst);
  EXPECT_EQ(bitmap->size, 3u);

  const auto named = FindModuleResource(&module, 7, "picture");
  ASSERT_TRUE(named.has_value());
  EXPECT_EQ(named->data, kSecond);

  const auto rcdata = FindModuleResource(&module, 8, ResourceTypeNumber(kResourceTypeRcData));
  ASSERT_TRUE(rcdata.has_value());
  EXPECT_EQ(rcdata->data, kThird);

  EXPECT_FALSE(FindModuleResource(&module, 8, nullptr).has_value());
  EXPECT_FALSE(FindModuleResource(&module, 7, "PICTURES").has_value());
  EXPECT_FALSE(FindModuleResource(&module, 0, nullptr).has_value());
  // The program's own resources are not in this module.
  EXPECT_FALSE(FindModuleResource(&module, 140, "IMGDAT").has_value());
}

TEST(ResourceTable, FirstEntryOfARepeatedIdWins) {
  const ResourceEntry first[] = {{0, "X", 1, kFirst, sizeof kFirst}};
  const ResourceEntry second[] = {{0, "X", 1, kSecond, sizeof kSecond}};
  ModuleObject module;
  module.Add(first, 1);
  module.Add(second, 1);
  const auto found = FindModuleResource(&module, 1, "X");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->data, kFirst);
}

TEST(ResourceTable, RunningModuleHoldsTheRegisteredTables) {
  const ModuleHandle module = RunningModule();
  ASSERT_NE(module, nullptr);
  EXPECT_TRUE(FindModuleResource(module, 140, "IMGDAT").has_value());
  EXPECT_TRUE(FindModuleResource(module, 300, nullptr).has_value());
}
#endif

}  // namespace
}  // namespace kavrosa
