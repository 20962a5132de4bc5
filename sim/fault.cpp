#include "sim/fault.h"

#include <array>
#include <charconv>
#include <vector>

namespace devsim {

namespace {

constexpr std::array kKinds = {
    FaultKind::SilentHandshake, FaultKind::WrongHandshake, FaultKind::DropReply, FaultKind::BadAck,
    FaultKind::OneByteReply,    FaultKind::LongReply,      FaultKind::Delay,     FaultKind::Garbage,
    FaultKind::CutReply,        FaultKind::Silence,        FaultKind::OtherSum};

struct KindInfo {
  std::string_view name;
  std::string_view keys;  // blank-separated keys this kind accepts besides after and count
  std::string_view what;
};

KindInfo info(FaultKind kind) {
  switch (kind) {
    case FaultKind::SilentHandshake:
      return {"silent-handshake", "", "no answer to the speed-switch frame"};
    case FaultKind::WrongHandshake:
      return {"wrong-handshake", "byte", "speed-switch frame answered with byte (default 0x55)"};
    case FaultKind::DropReply:
      return {"drop-reply", "on", "no reply to a long frame"};
    case FaultKind::BadAck:
      return {"bad-ack", "", "write applied, acknowledgement one too high"};
    case FaultKind::OneByteReply:
      return {"one-byte-reply", "on", "only the first byte of the reply"};
    case FaultKind::LongReply:
      return {"long-reply", "on extra byte", "extra bytes (default 3 x 0x55) after the reply"};
    case FaultKind::Delay:
      return {"delay", "on ms", "reply delayed by ms (default 2500)"};
    case FaultKind::Garbage:
      return {"garbage", "on extra byte", "extra bytes (default 3 x 0x55) before the reply"};
    case FaultKind::CutReply:
      return {"cut-reply", "on", "the first half of the reply, then nothing"};
    case FaultKind::Silence:
      return {"silence", "", "the request is not taken in: no reply, a write not carried out"};
    case FaultKind::OtherSum:
      return {"other-sum", "", "the value after a read's data is not their sum"};
  }
  return {"?", "", ""};
}

bool takesKey(FaultKind kind, std::string_view key) {
  if (key == "after" || key == "count") {
    return true;
  }
  std::string_view keys = info(kind).keys;
  while (!keys.empty()) {
    const auto blank = keys.find(' ');
    if (keys.substr(0, blank) == key) {
      return true;
    }
    keys = blank == std::string_view::npos ? std::string_view{} : keys.substr(blank + 1);
  }
  return false;
}

std::optional<std::uint32_t> parseNumber(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

std::string_view onName(FaultOn on) {
  switch (on) {
    case FaultOn::Read:
      return "read";
    case FaultOn::Write:
      return "write";
    case FaultOn::Handshake:
      return "handshake";
    case FaultOn::Long:
      break;
  }
  return "long";
}

std::optional<FaultOn> parseOn(std::string_view text, FaultKind kind) {
  for (const FaultOn on : {FaultOn::Long, FaultOn::Read, FaultOn::Write, FaultOn::Handshake}) {
    if (text == onName(on)) {
      // Only a delay can hit the speed-switch frame; the other reply faults shape long replies.
      if (on == FaultOn::Handshake && kind != FaultKind::Delay) {
        return std::nullopt;
      }
      return on;
    }
  }
  return std::nullopt;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  while (true) {
    const auto at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) {
      return parts;
    }
    text.remove_prefix(at + 1);
  }
}

FaultParseResult failure(std::string message) {
  return {std::nullopt, std::move(message)};
}

std::string quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

std::string hexByte(std::uint8_t value) {
  constexpr char kDigits[] = "0123456789abcdef";
  return std::string("0x") + kDigits[value >> 4] + kDigits[value & 0x0F];
}

}  // namespace

std::span<const FaultKind> allFaultKinds() {
  return kKinds;
}

std::string_view faultName(FaultKind kind) {
  return info(kind).name;
}

FaultParseResult parseFault(std::string_view text) {
  const auto parts = split(text, ':');
  std::optional<FaultKind> kind;
  for (const FaultKind k : kKinds) {
    if (faultName(k) == parts[0]) {
      kind = k;
    }
  }
  if (!kind) {
    std::string known;
    for (const FaultKind k : kKinds) {
      known += (known.empty() ? "" : ", ") + std::string(faultName(k));
    }
    return failure("unknown fault kind " + quoted(parts[0]) + " (known kinds: " + known + ")");
  }

  FaultRule rule{.kind = *kind};
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const auto equals = parts[i].find('=');
    if (equals == std::string_view::npos) {
      return failure(quoted(parts[i]) + " in fault " + quoted(text) + " is not key=value");
    }
    const std::string_view key = parts[i].substr(0, equals);
    const std::string_view value = parts[i].substr(equals + 1);
    if (!takesKey(*kind, key)) {
      return failure("fault " + quoted(faultName(*kind)) + " takes no key " + quoted(key) +
                     " (keys: after count " + std::string(info(*kind).keys) + ")");
    }
    if (key == "on") {
      const auto on = parseOn(value, *kind);
      if (!on) {
        return failure("on=" + std::string(value) + " does not apply to " +
                       quoted(faultName(*kind)) +
                       (*kind == FaultKind::Delay ? " (read, write, long or handshake)"
                                                  : " (read, write or long)"));
      }
      rule.on = *on;
      continue;
    }
    if (key == "count" && value == "all") {
      rule.count = FaultRule::kEvery;
      continue;
    }
    const auto number = parseNumber(value);
    if (!number) {
      return failure(std::string(key) + " needs a number, not " + quoted(value));
    }
    if (key == "after") {
      rule.after = *number;
    } else if (key == "count") {
      if (*number == 0) {
        return failure("count must be at least 1, or all");
      }
      rule.count = *number;
    } else if (key == "ms") {
      rule.ms = *number;
    } else if (key == "extra") {
      rule.extra = *number;
    } else if (key == "byte") {
      if (*number > 0xFF) {
        return failure("byte " + std::string(value) + " is larger than 0xff");
      }
      rule.byte = static_cast<std::uint8_t>(*number);
    }
  }
  return {rule, {}};
}

std::string formatFault(const FaultRule& rule) {
  const FaultRule defaults{.kind = rule.kind};
  std::string text(faultName(rule.kind));
  if (rule.after != defaults.after) {
    text += ":after=" + std::to_string(rule.after);
  }
  if (rule.count != defaults.count) {
    text += ":count=" +
            (rule.count == FaultRule::kEvery ? std::string("all") : std::to_string(rule.count));
  }
  if (takesKey(rule.kind, "on") && rule.on != defaults.on) {
    text += ":on=" + std::string(onName(rule.on));
  }
  if (takesKey(rule.kind, "ms") && rule.ms != defaults.ms) {
    text += ":ms=" + std::to_string(rule.ms);
  }
  if (takesKey(rule.kind, "byte") && rule.byte != defaults.byte) {
    text += ":byte=" + hexByte(rule.byte);
  }
  if (takesKey(rule.kind, "extra") && rule.extra != defaults.extra) {
    text += ":extra=" + std::to_string(rule.extra);
  }
  return text;
}

std::string faultSyntaxHelp() {
  std::string text =
      "Fault: KIND[:key=value]...  after=N lets N watched requests pass first (default 0);\n"
      "count=N|all affects that many afterwards (default 1: the first attempt only).\n";
  for (const FaultKind kind : kKinds) {
    const KindInfo i = info(kind);
    text += "  " + std::string(i.name) + ": " + std::string(i.what);
    if (!i.keys.empty()) {
      text += " [keys: " + std::string(i.keys) + "]";
    }
    text += "\n";
  }
  text += "on= read, write or long (both, the default); delay also takes on=handshake.\n";
  return text;
}

}  // namespace devsim
