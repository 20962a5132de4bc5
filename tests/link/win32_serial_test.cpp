#include <gtest/gtest.h>

#include "platform/win32_port_enumerator.h"
#include "platform/win32_serial_port.h"
#include "virtual_scheduler.h"

namespace vestrim::platform {
namespace {

TEST(Win32PortList, VendorIdComesFromTheUsbOrAdapterBusHardwareId) {
  EXPECT_EQ(usbVendorIdOf("USB\\VID_0403&PID_6001&REV_0600"), 0x0403);
  EXPECT_EQ(usbVendorIdOf("FTDIBUS\\VID_0403+PID_6001+A1B2C3DA\\0000"), 0x0403);
  EXPECT_EQ(usbVendorIdOf("usb\\vid_10c4&pid_ea60"), 0x10C4);
  EXPECT_EQ(usbVendorIdOf("ACPI\\PNP0501"), std::nullopt);
  EXPECT_EQ(usbVendorIdOf("USB\\VID_04"), std::nullopt);
  EXPECT_EQ(usbVendorIdOf("USB\\VID_04G3&PID_6001"), std::nullopt);
}

TEST(Win32PortList, PortsAreOrderedByNumberAndOtherNamesComeLast) {
  std::vector<SerialPortInfo> ports = {{"COM10", "", std::nullopt},
                                       {"CNCA0", "", std::nullopt},
                                       {"COM2", "", std::nullopt},
                                       {"COM1", "", std::nullopt},
                                       {"COMX", "", std::nullopt}};
  sortByPortNumber(ports);
  std::vector<std::string> names;
  for (const SerialPortInfo& port : ports) {
    names.push_back(port.name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"COM1", "COM2", "COM10", "CNCA0", "COMX"}));
}

// COM ports beyond the ones a test machine may have are never opened here:
// COM1 is the machine's own, and under Wine a real serial line.
TEST(Win32SerialPort, MissingPortFailsWithTheSystemsReasonAndLeavesThePortUsable) {
  vestrim::testing::VirtualScheduler scheduler;
  Win32SerialPort port(scheduler);
  port.setPortName("COM239");
  EXPECT_FALSE(port.open());
  EXPECT_FALSE(port.isOpen());
  EXPECT_FALSE(port.permissionDenied());
  // The reason is set into a sentence: no line break, no full stop.
  const std::string reason = port.errorText();
  ASSERT_FALSE(reason.empty());
  EXPECT_NE(reason.back(), '.');
  EXPECT_EQ(reason.find('\n'), std::string::npos);
  EXPECT_EQ(port.portName(), "COM239");

  // Settings are kept for the next open; a text that is none is refused.
  EXPECT_TRUE(port.setSettings("57600,N,8,1"));
  EXPECT_FALSE(port.setSettings("57600,N,8"));
  EXPECT_EQ(port.settings(), "57600,N,8,1");
  // A closed port takes nothing and starts no poll.
  port.write({1, 2, 3});
  port.discardInput();
  EXPECT_EQ(port.bytesAvailable(), 0);
  EXPECT_TRUE(port.readAll().empty());
  EXPECT_FALSE(scheduler.runNext());
}

}  // namespace
}  // namespace vestrim::platform
