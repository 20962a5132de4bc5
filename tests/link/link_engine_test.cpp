#include "link/link_engine.h"

#include <gtest/gtest.h>

#include "link/requests.h"
#include "recording_view.h"
#include "scripted_prompts.h"
#include "sim/device.h"
#include "simulated_serial_port.h"
#include "virtual_scheduler.h"

namespace vestrim::link {
namespace {

using platform::MessageIcon;
using testing::fault;
using testing::RecordingView;
using testing::ScriptedPrompts;
using testing::SimulatedSerialPort;
using testing::VirtualScheduler;

// Reads one value, the way the memory-size read does, or writes a buffer into flash block by
// block, paced like a download, and ends idle.
class Probe final : public Operation {
 public:
  explicit Probe(LinkEngine& engine) : engine_(engine) {
    engine_.registerOperation(kCheckDimMMC, *this);
    engine_.registerOperation(kWriteMMC, *this);
  }
  void read(const Request& request) {
    begin(kCheckDimMMC);
    engine_.MakeBTx(request);
  }
  void write(std::uint32_t address, Bytes bytes) {
    buffer_ = std::move(bytes);
    begin(kWriteMMC);
    engine_.state().beginBlocks(address, buffer_.size());
    send();
  }
  void onReadReply() override {
    const auto& rx = engine_.RxBuffer();
    data.assign(rx.begin(), rx.begin() + engine_.lastRequest().RequestLength);
    ++replies;
    engine_.EndOperation();
  }
  void onWriteAcknowledged() override {
    ProgrammerState& state = engine_.state();
    if (state.moreBlocks()) {
      state.advance();
      engine_.blockPacingTimer().start(kBlockPacingMs);
    } else {
      finished = true;
      engine_.EndOperation();
    }
  }
  void onBlockPacing() override {
    engine_.state().stepBlockAddress();
    send();
  }
  Bytes data;
  int replies = 0;
  bool finished = false;

 private:
  void begin(std::uint8_t code) {
    engine_.Wait();
    engine_.state().OperationCode = code;
    engine_.state().RetryCount = 0;
  }
  void send() {
    const ProgrammerState& state = engine_.state();
    if (state.blockLength() == 0) {
      engine_.dispatchTimer().start();
      return;
    }
    engine_.MakeBTx(
        requests::WriteMMC(state.BlockAddress, state.BlockIndex, state.blockLength(), buffer_));
  }
  LinkEngine& engine_;
  Bytes buffer_;
};

Bytes pattern(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  }
  return bytes;
}

// An engine over an in-process device at 57600 baud, in virtual time, with
// one reading and one writing operation.
struct Rig {
  Rig() {
    texts.set(kTextIdle, "Ready");
    port.setSettings(kHighSpeedSettings);
    port.open();
    engine.setSpeedHandler([this] { reconnections.push_back(scheduler.now()); });
  }
  devsim::Device device;
  VirtualScheduler scheduler;
  SimulatedSerialPort port{device, scheduler};
  RecordingView view;
  ScriptedPrompts prompts;
  shell::LanguageTexts texts;
  LinkEngine engine{port, scheduler, view, prompts, texts};
  Probe probe{engine};
  std::vector<std::int64_t> reconnections;  // when the speed handler ran
};

class LinkEngineTest : public ::testing::Test, public Rig {};

const Bytes kTwoMegabytes = {0x00, 0x20, 0x00, 0x00};  // most significant byte first

TEST_F(LinkEngineTest, MemorySizeReadContinuesOneDispatchDelayAfterTheReply) {
  probe.read(requests::CheckDimMMC());
  EXPECT_EQ(port.written().back(), engine.LastFrame());
  EXPECT_TRUE(view.busyPointer);
  EXPECT_TRUE(view.allToolbarButtons(false));
  EXPECT_TRUE(view.allMenus(false));

  scheduler.advance(29);
  EXPECT_EQ(probe.replies, 0);
  scheduler.advance(1);
  ASSERT_EQ(probe.replies, 1);
  EXPECT_EQ(probe.data, kTwoMegabytes);
  EXPECT_EQ(engine.state().OperationCode, 0);
  EXPECT_FALSE(view.busyPointer);
  EXPECT_TRUE(view.allToolbarButtons(true));
  EXPECT_TRUE(view.allMenus(true));
  EXPECT_EQ(view.status[1], "Ready");
  EXPECT_EQ(view.status[2], "");
  EXPECT_FALSE(view.progressVisible);
  // The reply was accepted: no timeout is left to fire.
  EXPECT_TRUE(scheduler.idle());
}

TEST_F(LinkEngineTest, StaleInputLongRepliesAndRepliesByteByByteGiveTheDataAskedFor) {
  port.inject({0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x00});  // before the request
  probe.read(requests::CheckDimMMC());
  scheduler.runUntilIdle(5000);
  EXPECT_EQ(probe.data, kTwoMegabytes);

  device.addFault(fault("long-reply"));
  probe.read(requests::CheckDimMMC());
  scheduler.runUntilIdle(5000);
  EXPECT_EQ(probe.data, kTwoMegabytes);
  EXPECT_GT(engine.replyText().size(), 6u);

  port.setDeliverByteByByte(true);
  probe.read(requests::ReadMMC(128));
  scheduler.runUntilIdle(5000);
  EXPECT_EQ(probe.replies, 3);
  EXPECT_EQ(probe.data, device.memory().read(devsim::Area::Flash, 128, 166));
}

TEST(LinkEngine, ReadSumsAreCheckedOnlyOnADeviceWhoseFirstReadsCarryThem) {
  for (const bool otherRule : {false, true}) {
    SCOPED_TRACE(otherRule);
    Rig rig;
    if (otherRule) {
      rig.device.addFault(fault("other-sum:count=all"));
    }
    // Noise before the very first reply: it is sent for again on either board.
    rig.device.addFault(fault("garbage"));
    for (int i = 0; i < 3; ++i) {
      rig.probe.read(requests::CheckDimMMC());
      rig.scheduler.runUntilIdle(5000);
    }
    EXPECT_EQ(rig.probe.replies, 3);
    EXPECT_EQ(rig.probe.data, kTwoMegabytes);
    rig.device.addFault(fault("garbage"));
    rig.probe.read(requests::CheckDimMMC());
    rig.scheduler.runUntilIdle(5000);
    EXPECT_EQ(rig.probe.replies, 4);
    // Where the device sums, bytes before the reply cost one more request;
    // a device with another rule is never refused its replies.
    EXPECT_EQ(rig.port.written().size(), otherRule ? 5u : 6u);
    EXPECT_EQ(rig.probe.data == kTwoMegabytes, !otherRule);
    EXPECT_TRUE(rig.prompts.shown.empty());
  }
}

TEST_F(LinkEngineTest, BytesArrivingWhileNoReplyIsAwaitedAreIgnored) {
  probe.write(4096, pattern(10));
  scheduler.runUntilIdle(5000);
  ASSERT_TRUE(probe.finished);
  // The last request was a write with a threshold of one byte: noise now
  // must not be judged as an acknowledgement.
  for (int i = 0; i < 6; ++i) {
    port.inject({0x12});
  }
  scheduler.runUntilIdle(5000);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(engine.state().RetryCount, 0);
}

// A write the device did not confirm goes out again at its address, whatever
// block it was.
TEST(LinkEngine, BlocksGoOutInOrderAndEachBadAcknowledgementSendsTheSameBlockAgain) {
  const struct {
    const char* fault;
    std::size_t size;
    std::vector<std::uint32_t> addresses;
  } cases[] = {
      {"", 300, {4096, 4224, 4352}},
      {"", 256, {4096, 4224}},  // no empty last block
      {"bad-ack:after=1", 300, {4096, 4224, 4224, 4352}},
      {"bad-ack:after=2", 300, {4096, 4224, 4352, 4352}},  // the last block too
      {"one-byte-reply:on=write", 200, {4096, 4096, 4224}},
      {"bad-ack:count=4", 300, {4096, 4096, 4096, 4096, 4096, 4224, 4352}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.fault) + " " + std::to_string(c.size));
    Rig rig;
    if (*c.fault != '\0') {
      rig.device.addFault(fault(c.fault));
    }
    const Bytes data = pattern(c.size);
    rig.probe.write(4096, data);
    rig.scheduler.runUntilIdle(10000);
    ASSERT_TRUE(rig.probe.finished);
    const auto& sent = rig.device.requests();
    std::vector<std::uint32_t> addresses;
    for (const auto& record : sent) {
      addresses.push_back(record.address);
    }
    EXPECT_EQ(addresses, c.addresses);
    EXPECT_EQ(sent.back().data.size(), c.size % 128 == 0 ? 128u : c.size % 128);
    EXPECT_EQ(rig.device.memory().read(devsim::Area::Flash, 4096, c.size), data);
    EXPECT_EQ(rig.engine.state().RetryCount, 0);
    EXPECT_TRUE(rig.prompts.shown.empty());
    // Dispatch (30 ms) and pacing (30 ms) between two blocks; a block sent again waits for
    // the dispatch alone.
    EXPECT_EQ(sent[1].timeUs - sent[0].timeUs,
              sent[1].address == sent[0].address ? 30'000 : 60'000);
  }
}

TEST_F(LinkEngineTest, FifthBadAcknowledgementInARowShowsChecksumErrorOnceAndEndsIdle) {
  device.addFault(fault("bad-ack:count=all"));
  ProgrammerState& state = engine.state();
  state.readEnd = state.startRead = state.startWrite = state.startErase = true;
  probe.write(4096, pattern(300));
  scheduler.runUntilIdle(60000);

  EXPECT_FALSE(probe.finished);
  ASSERT_EQ(device.requests().size(), 5u);
  EXPECT_EQ(device.requests().back().address, 4096u);
  ASSERT_EQ(prompts.countOf("Checksum Error"), 1u);
  EXPECT_EQ(prompts.shown.front().icon, MessageIcon::Exclamation);
  EXPECT_EQ(state.OperationCode, 0);
  EXPECT_EQ(state.RetryCount, 4);
  EXPECT_FALSE(state.readEnd || state.startRead || state.startWrite || state.startErase);
  EXPECT_TRUE(view.allToolbarButtons(true));
  EXPECT_FALSE(view.busyPointer);
  EXPECT_TRUE(reconnections.empty());
}

TEST_F(LinkEngineTest, ReplyTimeoutFiresAfter2000MillisecondsAndRebuildsTheLink) {
  device.addFault(fault("drop-reply"));
  engine.state().startRead = true;
  engine.state().FileNotReady = true;
  probe.read(requests::CheckDimMMC());

  scheduler.advance(1999);
  EXPECT_FALSE(engine.state().TimeoutFlag);
  scheduler.advance(1);
  EXPECT_TRUE(engine.state().TimeoutFlag);
  EXPECT_EQ(engine.state().OperationCode, 0);
  EXPECT_FALSE(engine.state().startRead);
  EXPECT_FALSE(engine.state().FileNotReady);
  EXPECT_TRUE(view.busyPointer);
  // Connected at 57600 baud: the link is rebuilt without a message.
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(port.dtrChanges(), (std::vector<bool>{true, false}));
  EXPECT_TRUE(port.isOpen());

  scheduler.advance(500);
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(port.settings(), kLowSpeedSettings);
  EXPECT_EQ(reconnections, (std::vector<std::int64_t>{2500}));
  EXPECT_EQ(probe.replies, 0);
}

TEST_F(LinkEngineTest, ReplyTimeoutAt19200BaudTellsTheUserTheContactIsLost) {
  port.setSettings(kLowSpeedSettings);
  device.addFault(fault("drop-reply"));
  probe.read(requests::CheckDimMMC());
  scheduler.runUntilIdle(5000);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Contact with device lost!");
  EXPECT_EQ(prompts.shown[0].title, "Comunication Failure");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Critical);
  EXPECT_EQ(reconnections.size(), 1u);
}

TEST_F(LinkEngineTest, LateReplyAfterTheTimeoutDoesNotDisturbTheReconnection) {
  device.addFault(fault("delay:ms=2100"));
  engine.setSpeedHandler([this] {
    port.setSettings(kHighSpeedSettings);
    port.open();
    probe.read(requests::CheckDimMMC());
  });
  probe.read(requests::ReadMMC(2152));
  scheduler.runUntilIdle(20000);
  ASSERT_EQ(probe.replies, 1);
  EXPECT_EQ(probe.data, kTwoMegabytes);
}

TEST_F(LinkEngineTest, ClosedPortSendsNothingStartsNoTimeoutAndStaysBusy) {
  port.close();
  const std::size_t before = port.written().size();
  probe.read(requests::CheckDimMMC());
  EXPECT_EQ(port.written().size(), before);
  EXPECT_TRUE(scheduler.idle());
  EXPECT_TRUE(view.busyPointer);
  EXPECT_EQ(engine.state().OperationCode, kCheckDimMMC);
  bool continued = false;
  engine.OffComm([&] { continued = true; });  // the close is done already
  EXPECT_TRUE(continued);
  EXPECT_TRUE(port.dtrChanges().empty());
}

TEST_F(LinkEngineTest, BlockPacingDrivesTheHandshakeAt19200AndTheOperationAt57600) {
  struct PacingProbe final : Operation {
    void onBlockPacing() override { ++paced; }
    int paced = 0;
  } pacing;
  engine.registerOperation(kWriteMMC, pacing);
  engine.state().OperationCode = kWriteMMC;

  port.setSettings(kLowSpeedSettings);
  engine.blockPacingTimer().start(1000);
  scheduler.advance(1000);
  EXPECT_EQ(reconnections.size(), 1u);
  EXPECT_EQ(pacing.paced, 0);

  port.setSettings(kHighSpeedSettings);
  engine.blockPacingTimer().start(kBlockPacingMs);
  scheduler.advance(kBlockPacingMs);
  EXPECT_EQ(reconnections.size(), 1u);
  EXPECT_EQ(pacing.paced, 1);
}

// Every fault the device can inject leaves the engine in a known state:
// finished, idle after "Checksum Error", or handed to the reconnection.
// Nothing is left busy with no timer to move it on.
TEST(LinkEngine, EveryDeviceFaultEndsInAKnownState) {
  for (const devsim::FaultKind kind : devsim::allFaultKinds()) {
    for (const bool isWrite : {false, true}) {
      SCOPED_TRACE(std::string(devsim::faultName(kind)) + (isWrite ? " write" : " read"));
      Rig rig;
      rig.device.addFault(fault(std::string(devsim::faultName(kind)) + ":count=all"));
      if (isWrite) {
        rig.probe.write(4096, pattern(300));
      } else {
        rig.probe.read(requests::CheckDimMMC());
      }
      rig.scheduler.runUntilIdle(60000);

      EXPECT_TRUE(rig.scheduler.idle());
      const bool finished = isWrite ? rig.probe.finished : rig.probe.replies == 1;
      const bool gaveUp = rig.prompts.countOf("Checksum Error") == 1;
      EXPECT_EQ(int(finished) + int(gaveUp) + int(rig.reconnections.size() == 1), 1);
      if (finished || gaveUp) {
        EXPECT_EQ(rig.engine.state().OperationCode, 0);
        EXPECT_FALSE(rig.view.busyPointer);
      }
    }
  }
}

}  // namespace
}  // namespace vestrim::link
