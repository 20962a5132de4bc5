#include "platform/serial_settings.h"

#include <gtest/gtest.h>

namespace vestrim::platform {
namespace {

TEST(SerialSettings, TheLinkSpeedsAndEveryLineFormatParse) {
  const std::optional<SerialSettings> high = parseSerialSettings("57600,N,8,1");
  ASSERT_TRUE(high);
  EXPECT_EQ(high->baud, 57600);
  EXPECT_EQ(high->parity, 'N');
  EXPECT_EQ(high->dataBits, 8);
  EXPECT_EQ(high->stopBits, StopBits::One);

  const std::optional<SerialSettings> other = parseSerialSettings("9600,e,7,1.5");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->parity, 'E');  // either case
  EXPECT_EQ(other->dataBits, 7);
  EXPECT_EQ(other->stopBits, StopBits::OneAndHalf);
  EXPECT_EQ(parseSerialSettings("19200,S,5,2")->stopBits, StopBits::Two);
  EXPECT_EQ(baudOfSettings("19200,N,8,1"), 19200);
}

TEST(SerialSettings, TextsThatAreNotSettingsAreRefused) {
  for (const char* text : {"", "57600", "57600,N,8", "57600,N,8,1,1", "57600x,N,8,1", "0,N,8,1",
                           "-9600,N,8,1", "57600,X,8,1", "57600,,8,1", "57600,N,9,1", "57600,N,4,1",
                           "57600,N,eight,1", "57600,N,8,3", "57600,N,8,1.0"}) {
    EXPECT_FALSE(parseSerialSettings(text)) << text;
    EXPECT_EQ(baudOfSettings(text), 0) << text;
  }
}

}  // namespace
}  // namespace vestrim::platform
