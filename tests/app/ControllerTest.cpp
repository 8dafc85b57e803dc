#include <gtest/gtest.h>

#include "app/StringTable.h"
#include "res/resource.h"

TEST(StringTable, HoldsTheShellTexts) {
  EXPECT_EQ(std::u16string(FindString(IDS_NOT_CONNECTED)), u" Устройство не подключено");
  EXPECT_EQ(FindString(99999), nullptr);
}
