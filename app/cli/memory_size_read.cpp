#include "memory_size_read.h"

#include "link/requests.h"

namespace vestrim::cli {

MemorySizeRead::MemorySizeRead(link::LinkEngine& engine, std::function<void(std::uint32_t)> done)
    : engine_(engine), done_(std::move(done)) {
  engine_.registerOperation(link::kCheckDimMMC, *this);
}

void MemorySizeRead::start() {
  engine_.Wait();
  engine_.state().OperationCode = link::kCheckDimMMC;
  engine_.state().RetryCount = 0;
  engine_.MakeBTx(link::requests::CheckDimMMC());
}

void MemorySizeRead::onReadReply() {
  // The register holds the size most significant byte first.
  const auto& rx = engine_.RxBuffer();
  const std::uint32_t size = (std::uint32_t{rx[0]} << 24) | (std::uint32_t{rx[1]} << 16) |
                             (std::uint32_t{rx[2]} << 8) | std::uint32_t{rx[3]};
  engine_.EndOperation();
  if (done_) {
    done_(size);
  }
}

}  // namespace vestrim::cli
