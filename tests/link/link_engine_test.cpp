#include "link/link_engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "link/requests.h"
#include "recording_view.h"
#include "scripted_prompts.h"
#include "sim/device.h"
#include "simulated_serial_port.h"
#include "virtual_scheduler.h"

namespace vestrim::link {
namespace {

using platform::MessageIcon;
using testing::RecordingView;
using testing::ScriptedPrompts;
using testing::SimulatedSerialPort;
using testing::VirtualScheduler;

devsim::FaultRule fault(const std::string& text) {
  auto parsed = devsim::parseFault(text);
  if (!parsed.rule) {
    ADD_FAILURE() << "bad fault text " << text << ": " << parsed.error;
    return {};
  }
  return *parsed.rule;
}

// Reads one value, the way the memory-size read does, and ends idle.
class SingleRead final : public Operation {
 public:
  explicit SingleRead(LinkEngine& engine) : engine_(engine) {
    engine_.registerOperation(kCheckDimMMC, *this);
  }
  void start(const Request& request) {
    engine_.Wait();
    engine_.state().OperationCode = kCheckDimMMC;
    engine_.state().RetryCount = 0;
    engine_.MakeBTx(request);
  }
  void onReadReply() override {
    const auto& rx = engine_.RxBuffer();
    data.assign(rx.begin(), rx.begin() + engine_.lastRequest().RequestLength);
    ++replies;
    engine_.EndOperation();
  }
  Bytes data;
  int replies = 0;

 private:
  LinkEngine& engine_;
};

// Writes a buffer into flash block by block, paced like a download.
class BlockWrite final : public Operation {
 public:
  explicit BlockWrite(LinkEngine& engine) : engine_(engine) {
    engine_.registerOperation(kWriteMMC, *this);
  }
  void start(std::uint32_t address, Bytes data) {
    buffer_ = std::move(data);
    engine_.Wait();
    engine_.state().OperationCode = kWriteMMC;
    engine_.state().RetryCount = 0;
    engine_.state().beginBlocks(address, buffer_.size());
    send();
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
  bool finished = false;

 private:
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

class LinkEngineTest : public ::testing::Test {
 protected:
  LinkEngineTest() {
    texts.set(kTextIdle, "Ready");
    port.setSettings(kHighSpeedSettings);
    port.open();
    engine.setSpeedHandler([this] {
      ++setSpeedCalls;
      setSpeedTimes.push_back(scheduler.now());
    });
  }

  std::vector<devsim::RequestRecord> writesTo(std::uint8_t area) const {
    std::vector<devsim::RequestRecord> writes;
    for (const auto& record : device.requests()) {
      if (record.kind == devsim::RequestKind::Write && (record.command & 0x7F) == area) {
        writes.push_back(record);
      }
    }
    return writes;
  }

  devsim::Device device;
  VirtualScheduler scheduler;
  SimulatedSerialPort port{device, scheduler};
  RecordingView view;
  ScriptedPrompts prompts;
  shell::LanguageTexts texts;
  LinkEngine engine{port, scheduler, view, prompts, texts};
  SingleRead read{engine};
  BlockWrite write{engine};
  int setSpeedCalls = 0;
  std::vector<std::int64_t> setSpeedTimes;
};

TEST_F(LinkEngineTest, MemorySizeReadContinuesOneDispatchDelayAfterTheReply) {
  read.start(requests::CheckDimMMC());
  EXPECT_EQ(port.written().back(), engine.LastFrame());
  EXPECT_TRUE(view.busyPointer);
  EXPECT_TRUE(view.allToolbarButtons(false));
  EXPECT_TRUE(view.allMenus(false));

  scheduler.advance(29);
  EXPECT_EQ(read.replies, 0);
  scheduler.advance(1);
  ASSERT_EQ(read.replies, 1);
  EXPECT_EQ(read.data, (Bytes{0x00, 0x20, 0x00, 0x00}));  // 2 MiB, most significant byte first
  EXPECT_EQ(engine.state().OperationCode, 0);
  EXPECT_FALSE(view.busyPointer);
  EXPECT_TRUE(view.allToolbarButtons(true));
  EXPECT_TRUE(view.allMenus(true));
  EXPECT_EQ(view.status[1], "Ready");
  EXPECT_EQ(view.status[2], "");
  EXPECT_FALSE(view.progressVisible);
  // The reply was accepted: no timeout is left to fire.
  EXPECT_TRUE(scheduler.activeTimers().empty());
}

TEST_F(LinkEngineTest, StaleInputBeforeARequestIsNeverTakenForTheReply) {
  port.setReceiveThreshold(0);
  port.inject({0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x00});
  read.start(requests::CheckDimMMC());
  scheduler.runUntilIdle(5000);
  EXPECT_EQ(read.data, (Bytes{0x00, 0x20, 0x00, 0x00}));
}

TEST_F(LinkEngineTest, BytesArrivingWhileNoReplyIsAwaitedAreIgnored) {
  write.start(4096, pattern(10));
  scheduler.runUntilIdle(5000);
  ASSERT_TRUE(write.finished);
  // The last request was a write with a threshold of one byte: noise now
  // must not be judged as an acknowledgement.
  for (int i = 0; i < 6; ++i) {
    port.inject({0x12});
  }
  scheduler.runUntilIdle(5000);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(engine.state().RetryCount, 0);
}

TEST_F(LinkEngineTest, ReadReplyLongerThanAskedYieldsItsFirstNBytes) {
  device.addFault(fault("long-reply"));
  read.start(requests::CheckDimMMC());
  scheduler.runUntilIdle(5000);
  EXPECT_EQ(read.data, (Bytes{0x00, 0x20, 0x00, 0x00}));
  EXPECT_GT(engine.replyText().size(), 6u);
}

TEST_F(LinkEngineTest, ReplyDeliveredByteByByteGivesWhatItGivesWhole) {
  read.start(requests::ReadMMC(128));
  scheduler.runUntilIdle(5000);
  const Bytes whole = read.data;
  ASSERT_EQ(whole.size(), 166u);

  port.setDeliverByteByByte(true);
  read.start(requests::ReadMMC(128));
  scheduler.runUntilIdle(5000);
  EXPECT_EQ(read.replies, 2);
  EXPECT_EQ(read.data, whole);
}

TEST_F(LinkEngineTest, BlocksAreWrittenInOrderAndPacedThirtyMillisecondsApart) {
  const Bytes data = pattern(300);
  write.start(4096, data);
  scheduler.runUntilIdle(10000);
  ASSERT_TRUE(write.finished);
  const auto writes = writesTo(0x50);
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0].address, 4096u);
  EXPECT_EQ(writes[1].address, 4224u);
  EXPECT_EQ(writes[2].address, 4352u);
  EXPECT_EQ(writes[2].data.size(), 44u);
  // Dispatch (30 ms) and pacing (30 ms) between two blocks.
  EXPECT_EQ(writes[1].timeUs - writes[0].timeUs, 60'000);
  EXPECT_EQ(device.memory().read(devsim::Area::Flash, 4096, 300), data);
}

TEST_F(LinkEngineTest, BlockOfExactlyFullSizeSendsNoEmptyLastBlock) {
  write.start(4096, pattern(256));
  scheduler.runUntilIdle(10000);
  ASSERT_TRUE(write.finished);
  EXPECT_EQ(writesTo(0x50).size(), 2u);
}

TEST_F(LinkEngineTest, BadAcknowledgementResendsTheSameBlockAtTheSameAddress) {
  const Bytes data = pattern(300);
  device.addFault(fault("bad-ack:after=1"));
  write.start(4096, data);
  scheduler.runUntilIdle(10000);
  ASSERT_TRUE(write.finished);
  const auto writes = writesTo(0x50);
  ASSERT_EQ(writes.size(), 4u);
  EXPECT_EQ(writes[1].address, 4224u);
  EXPECT_EQ(writes[2].address, 4224u);
  EXPECT_EQ(writes[2].data, writes[1].data);
  EXPECT_EQ(writes[3].address, 4352u);
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(engine.state().RetryCount, 0);
  EXPECT_EQ(device.memory().read(devsim::Area::Flash, 4096, 300), data);
}

// A bad acknowledgement of the last block, or of a single request, sends it
// again too: a write the device did not confirm is never taken as done.
TEST_F(LinkEngineTest, BadAcknowledgementOfTheLastBlockSendsItAgainBeforeGoingOn) {
  const Bytes data = pattern(300);
  device.addFault(fault("bad-ack:after=2"));
  write.start(4096, data);
  scheduler.runUntilIdle(10000);
  ASSERT_TRUE(write.finished);
  const auto writes = writesTo(0x50);
  ASSERT_EQ(writes.size(), 4u);
  EXPECT_EQ(writes[2].address, 4352u);
  EXPECT_EQ(writes[3].address, 4352u);
  EXPECT_EQ(writes[3].data, writes[2].data);
}

TEST_F(LinkEngineTest, OneByteAcknowledgementCountsAsBadAndTheBlockGoesOutAgain) {
  device.addFault(fault("one-byte-reply:on=write"));
  write.start(4096, pattern(200));
  scheduler.runUntilIdle(10000);
  ASSERT_TRUE(write.finished);
  const auto writes = writesTo(0x50);
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0].address, writes[1].address);
  EXPECT_EQ(writes[0].data, writes[1].data);
}

TEST_F(LinkEngineTest, FourBadAcknowledgementsInARowAreStillRecovered) {
  device.addFault(fault("bad-ack:count=4"));
  write.start(4096, pattern(300));
  scheduler.runUntilIdle(10000);
  EXPECT_TRUE(write.finished);
  const auto writes = writesTo(0x50);
  ASSERT_EQ(writes.size(), 7u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(writes[i].address, 4096u);
  }
  EXPECT_EQ(writes[5].address, 4224u);
  EXPECT_EQ(prompts.countOf("Checksum Error"), 0u);
}

TEST_F(LinkEngineTest, FifthBadAcknowledgementInARowShowsChecksumErrorOnceAndEndsIdle) {
  device.addFault(fault("bad-ack:count=all"));
  engine.state().readEnd = true;
  engine.state().startRead = true;
  engine.state().startWrite = true;
  engine.state().startErase = true;
  write.start(4096, pattern(300));
  scheduler.runUntilIdle(60000);

  EXPECT_FALSE(write.finished);
  const auto writes = writesTo(0x50);
  ASSERT_EQ(writes.size(), 5u);
  for (const auto& sent : writes) {
    EXPECT_EQ(sent.address, 4096u);
  }
  ASSERT_EQ(prompts.countOf("Checksum Error"), 1u);
  EXPECT_EQ(prompts.shown.front().icon, MessageIcon::Exclamation);
  EXPECT_EQ(engine.state().OperationCode, 0);
  EXPECT_EQ(engine.state().RetryCount, 4);
  EXPECT_FALSE(engine.state().readEnd);
  EXPECT_FALSE(engine.state().startRead);
  EXPECT_FALSE(engine.state().startWrite);
  EXPECT_FALSE(engine.state().startErase);
  EXPECT_TRUE(view.allToolbarButtons(true));
  EXPECT_FALSE(view.busyPointer);
  EXPECT_EQ(setSpeedCalls, 0);
}

TEST_F(LinkEngineTest, ReplyTimeoutFiresAfter2000MillisecondsAndRebuildsTheLink) {
  device.addFault(fault("drop-reply"));
  engine.state().startRead = true;
  engine.state().FileNotReady = true;
  read.start(requests::CheckDimMMC());
  const std::int64_t sent = scheduler.now();

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
  EXPECT_EQ(setSpeedCalls, 0);

  scheduler.advance(500);
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(port.settings(), kLowSpeedSettings);
  ASSERT_EQ(setSpeedCalls, 1);
  EXPECT_EQ(setSpeedTimes.front() - sent, 2500);
  EXPECT_EQ(read.replies, 0);
}

TEST_F(LinkEngineTest, ReplyTimeoutAt19200BaudTellsTheUserTheContactIsLost) {
  port.setSettings(kLowSpeedSettings);
  device.addFault(fault("drop-reply"));
  read.start(requests::CheckDimMMC());
  scheduler.runUntilIdle(5000);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Contact with device lost!");
  EXPECT_EQ(prompts.shown[0].title, "Comunication Failure");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Critical);
  EXPECT_EQ(setSpeedCalls, 1);
}

TEST_F(LinkEngineTest, ReplyThatStopsHalfWayStillEndsInTheTimeout) {
  device.addFault(fault("one-byte-reply:on=read"));
  read.start(requests::CheckDimMMC());
  scheduler.advance(2000);
  EXPECT_TRUE(engine.state().TimeoutFlag);
  EXPECT_EQ(read.replies, 0);
}

TEST_F(LinkEngineTest, LateReplyAfterTheTimeoutDoesNotDisturbTheReconnection) {
  device.addFault(fault("delay:ms=2100"));
  engine.setSpeedHandler([this] {
    port.setSettings(kHighSpeedSettings);
    port.open();
    read.start(requests::CheckDimMMC());
  });
  read.start(requests::ReadMMC(2152));
  scheduler.runUntilIdle(20000);
  ASSERT_EQ(read.replies, 1);
  EXPECT_EQ(read.data, (Bytes{0x00, 0x20, 0x00, 0x00}));
}

TEST_F(LinkEngineTest, ClosedPortSendsNothingStartsNoTimeoutAndStaysBusy) {
  port.close();
  const std::size_t before = port.written().size();
  read.start(requests::CheckDimMMC());
  EXPECT_EQ(port.written().size(), before);
  EXPECT_TRUE(scheduler.activeTimers().empty());
  EXPECT_TRUE(view.busyPointer);
  EXPECT_EQ(engine.state().OperationCode, kCheckDimMMC);
}

TEST_F(LinkEngineTest, BlockPacingDrivesTheHandshakeAt19200AndTheOperationAt57600) {
  struct PacingProbe final : Operation {
    void onBlockPacing() override { ++paced; }
    int paced = 0;
  } probe;
  engine.registerOperation(kWriteMMC, probe);
  engine.state().OperationCode = kWriteMMC;

  port.setSettings(kLowSpeedSettings);
  engine.blockPacingTimer().start(1000);
  scheduler.advance(1000);
  EXPECT_EQ(setSpeedCalls, 1);
  EXPECT_EQ(probe.paced, 0);

  port.setSettings(kHighSpeedSettings);
  engine.blockPacingTimer().start(kBlockPacingMs);
  scheduler.advance(kBlockPacingMs);
  EXPECT_EQ(setSpeedCalls, 1);
  EXPECT_EQ(probe.paced, 1);
}

TEST_F(LinkEngineTest, CatalogueEndTimerRunsTheRegisteredStepAfterOneSecond) {
  int steps = 0;
  engine.setCatalogueEndStep([&] { ++steps; });
  engine.catalogueEndTimer().start();
  scheduler.advance(999);
  EXPECT_EQ(steps, 0);
  scheduler.advance(1);
  EXPECT_EQ(steps, 1);
}

TEST_F(LinkEngineTest, OffCommWithTheCloseDoneRunsItsContinuationAtOnce) {
  port.close();
  bool continued = false;
  engine.OffComm([&] { continued = true; });
  EXPECT_TRUE(continued);
  EXPECT_TRUE(port.dtrChanges().empty());
}

// Every fault the device can inject leaves the engine in a known state:
// finished, idle after "Checksum Error", or handed to the reconnection.
// Nothing is left busy with no timer to move it on.
TEST_F(LinkEngineTest, EveryDeviceFaultEndsInAKnownState) {
  for (const devsim::FaultKind kind : devsim::allFaultKinds()) {
    SCOPED_TRACE(std::string(devsim::faultName(kind)));
    for (const bool isWrite : {false, true}) {
      devsim::Device faulty;
      VirtualScheduler clock;
      SimulatedSerialPort line(faulty, clock);
      RecordingView shown;
      ScriptedPrompts asked;
      LinkEngine link(line, clock, shown, asked, texts);
      SingleRead reader(link);
      BlockWrite writer(link);
      int reconnections = 0;
      link.setSpeedHandler([&] { ++reconnections; });
      line.setSettings(kHighSpeedSettings);
      line.open();
      faulty.addFault(fault(std::string(devsim::faultName(kind)) + ":count=all"));

      if (isWrite) {
        writer.start(4096, pattern(300));
      } else {
        reader.start(requests::CheckDimMMC());
      }
      clock.runUntilIdle(60000);

      EXPECT_TRUE(clock.activeTimers().empty());
      const bool finished = isWrite ? writer.finished : reader.replies == 1;
      const bool gaveUp = asked.countOf("Checksum Error") == 1;
      EXPECT_EQ(int(finished) + int(gaveUp) + int(reconnections == 1), 1)
          << (isWrite ? "write" : "read");
      if (finished || gaveUp) {
        EXPECT_EQ(link.state().OperationCode, 0);
        EXPECT_FALSE(shown.busyPointer);
      }
    }
  }
}

}  // namespace
}  // namespace vestrim::link
