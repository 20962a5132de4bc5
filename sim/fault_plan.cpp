#include "sim/fault_plan.h"

#include <algorithm>

namespace devsim {

bool watches(const FaultRule& rule, RequestClass request) {
  switch (rule.kind) {
    case FaultKind::SilentHandshake:
    case FaultKind::WrongHandshake:
      return request == RequestClass::Handshake;
    case FaultKind::BadAck:
      return request == RequestClass::Write;
    case FaultKind::Silence:
      return true;
    case FaultKind::OtherSum:
      return request == RequestClass::Read;
    default:
      break;
  }
  switch (rule.on) {
    case FaultOn::Read:
      return request == RequestClass::Read;
    case FaultOn::Write:
      return request == RequestClass::Write;
    case FaultOn::Handshake:
      return request == RequestClass::Handshake;
    case FaultOn::Long:
      break;
  }
  return request != RequestClass::Handshake;
}

ShapedReply FaultPlan::shape(RequestClass request, Bytes correctReply) {
  std::vector<const FaultRule*> hits;
  for (Entry& entry : entries_) {
    if (!watches(entry.rule, request)) {
      continue;
    }
    const std::uint64_t index = entry.watched++;
    if (index >= entry.rule.after && index - entry.rule.after < entry.rule.count) {
      hits.push_back(&entry.rule);
    }
  }
  // Apply in a fixed order so that combined rules give the same reply whatever the order in
  // which they were added: change the value, cut, extend, then suppress or delay.
  const auto order = [](FaultKind kind) {
    switch (kind) {
      case FaultKind::BadAck:
      case FaultKind::WrongHandshake:
      case FaultKind::OtherSum:
        return 0;
      case FaultKind::OneByteReply:
      case FaultKind::CutReply:
        return 1;
      case FaultKind::LongReply:
      case FaultKind::Garbage:
        return 2;
      default:
        return 3;
    }
  };
  std::stable_sort(hits.begin(), hits.end(), [&](const FaultRule* a, const FaultRule* b) {
    return order(a->kind) < order(b->kind);
  });

  ShapedReply reply{std::move(correctReply)};
  for (const FaultRule* rule : hits) {
    reply.applied.push_back(rule->kind);
    Bytes& bytes = reply.bytes;
    switch (rule->kind) {
      case FaultKind::BadAck:
        if (bytes.size() == 2) {
          const auto value = static_cast<std::uint16_t>((bytes[0] | (bytes[1] << 8)) + 1);
          bytes = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
        }
        break;
      case FaultKind::WrongHandshake:
        bytes.assign(1, rule->byte);
        break;
      case FaultKind::OtherSum:
        if (bytes.size() >= 2) {
          bytes[bytes.size() - 2] ^= 0xA5;
          bytes[bytes.size() - 1] ^= 0x5A;
        }
        break;
      case FaultKind::OneByteReply:
        bytes.resize(std::min<std::size_t>(bytes.size(), 1));
        break;
      case FaultKind::LongReply:
        bytes.insert(bytes.end(), rule->extra, rule->byte);
        break;
      case FaultKind::CutReply:
        bytes.resize(bytes.size() / 2);
        break;
      case FaultKind::Garbage:
        bytes.insert(bytes.begin(), rule->extra, rule->byte);
        break;
      case FaultKind::SilentHandshake:
      case FaultKind::DropReply:
      case FaultKind::Silence:
        reply.sent = false;
        break;
      case FaultKind::Delay:
        reply.extraDelayUs += std::int64_t{rule->ms} * 1000;
        break;
    }
  }
  if (!reply.sent) {
    reply.bytes.clear();
  }
  return reply;
}

}  // namespace devsim
