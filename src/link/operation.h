#pragma once

namespace vestrim::link {

// One multi-step device operation, plugged into the link engine under its
// operation number. The engine calls it when the running step is answered;
// the operation sends its next request through the engine. The engine knows
// nothing of what an operation does with the device's memory.
class Operation {
 public:
  virtual ~Operation() = default;

  // A write of this operation was acknowledged with the expected value. (A
  // bad acknowledgement never reaches the operation: the engine sends the
  // same frame again, and after the fifth bad one in a row gives up.)
  virtual void onWriteAcknowledged() {}
  // A read of this operation was answered; the data are in RxBuffer.
  virtual void onReadReply() {}
  // The block pacing delay before the next block has passed.
  virtual void onBlockPacing() {}
};

}  // namespace vestrim::link
