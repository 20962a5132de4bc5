#include "link/port_discovery.h"

#include <gtest/gtest.h>

#include "link/port_names.h"

namespace vestrim::link {
namespace {

class ListedPorts final : public platform::PortEnumerator {
 public:
  explicit ListedPorts(std::vector<platform::SerialPortInfo> ports) : ports_(std::move(ports)) {}
  std::vector<platform::SerialPortInfo> ports() const override { return ports_; }

 private:
  std::vector<platform::SerialPortInfo> ports_;
};

TEST(PortDiscovery, FirstAdapterOfTheDeviceFamilyIsTheDevicePort) {
  const ListedPorts ports({{"/dev/ttyS0", "16550A", std::nullopt},
                           {"/dev/ttyACM0", "modem", 0x2341},
                           {"/dev/ttyUSB1", "adapter", 0x0403},
                           {"/dev/ttyUSB2", "adapter", 0x0403}});
  EXPECT_EQ(GetUsbPortName(ports), "/dev/ttyUSB1");
  EXPECT_EQ(GetUsbPortName(ListedPorts({{"/dev/ttyS0", "", std::nullopt}})), "");
}

TEST(PortDiscovery, DialogOffersAdaptersFirstThenTheOtherPortsInTheirOrder) {
  const ListedPorts ports({{"/dev/ttyS0", "", std::nullopt},
                           {"/dev/ttyUSB3", "", 0x0403},
                           {"/dev/ttyS1", "", std::nullopt},
                           {"/dev/ttyUSB0", "", 0x0403}});
  EXPECT_EQ(
      portDialogChoices(ports),
      dialogOffersNumberedPorts()
          ? (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
                                      "COM8", "/dev/ttyS0", "/dev/ttyUSB3", "/dev/ttyS1",
                                      "/dev/ttyUSB0"})
          : (std::vector<std::string>{"/dev/ttyUSB3", "/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyS1"}));
  // Windows: COM1 to COM8 always, then the ports the system lists beyond them,
  // an adapter given COM12 among them.
  const ListedPorts windows({{"COM3", "", std::nullopt}, {"COM12", "adapter", 0x0403}});
  if (dialogOffersNumberedPorts()) {
    EXPECT_EQ(portDialogChoices(windows).size(), 9U);
    EXPECT_EQ(portDialogChoices(windows).back(), "COM12");
  }
}

TEST(PortDiscovery, ListsAndDialogMarkAdaptersAndPortsThisUserMayNotOpen) {
  const ListedPorts ports({{"/dev/ttyUSB0", "FT232R USB UART", 0x0403, true},
                           {"/dev/ttyUSB1", "", 0x0403, false},
                           {"/dev/ttyS0", "16550A", std::nullopt, true},
                           {"/dev/ttyACM0", "", 0x2341, false}});
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"/dev/ttyUSB0  [device adapter]  [no permission]  FT232R USB UART",
       "/dev/ttyUSB0 \x97 FT232R USB UART (no permission)"},
      {"/dev/ttyUSB1  [device adapter]", "/dev/ttyUSB1"},
      {"/dev/ttyS0  [no permission]  16550A", "/dev/ttyS0 \x97 16550A (no permission)"},
      {"/dev/ttyACM0", "/dev/ttyACM0"},
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(portListLine(ports.ports()[i]), expected[i].first);
    EXPECT_EQ(portDialogEntry(ports.ports()[i].name, ports), expected[i].second);
  }
}

TEST(PortDiscovery, PortNamesAndSettingsValuesConvertBothWays) {
  EXPECT_EQ(portSettingOf("COM12"), shell::PortSetting::fromNumber(12));
  EXPECT_EQ(portSettingOf("COM1"), shell::PortSetting::fromNumber(1));
  EXPECT_EQ(portSettingOf("/dev/ttyUSB0"), shell::PortSetting::fromPath("/dev/ttyUSB0"));
  EXPECT_FALSE(portSettingOf("COM"));
  EXPECT_FALSE(portSettingOf("COM999"));
  EXPECT_FALSE(portSettingOf("ttyUSB0"));
  EXPECT_EQ(portNameOf(shell::PortSetting::fromPath("/dev/pts/4")), "/dev/pts/4");
  EXPECT_EQ(portNameOf(shell::PortSetting::fromNumber(0)), "");
  // Where ports have no numbers, COM n is the n-th serial line.
  EXPECT_EQ(portNameOf(shell::PortSetting::fromNumber(2)),
            dialogOffersNumberedPorts() ? "COM2" : "/dev/ttyS1");
}

}  // namespace
}  // namespace vestrim::link
