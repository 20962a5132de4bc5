#include "record/sealed_record.h"

#include <algorithm>
#include <cstdio>

namespace vestrim::record {
namespace {

std::string twoDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

// The seal of a time given as seconds of the day, or nothing when the time
// falls outside the day (such a time has no valid text and never matches).
std::optional<std::string> sealAt(const shell::LocalTime& date, int secondsOfDay) {
  if (secondsOfDay < 0 || secondsOfDay > 23 * 3600 + 59 * 60 + 59) {
    return std::nullopt;
  }
  shell::LocalTime time = date;
  time.hour = secondsOfDay / 3600;
  time.minute = secondsOfDay / 60 % 60;
  time.second = secondsOfDay % 60;
  return dateSeal(time);
}

}  // namespace

std::string dateSeal(const shell::LocalTime& time) {
  const std::string d = twoDigits(time.day) + twoDigits(time.month) + twoDigits(time.year % 100);
  const std::string t = twoDigits(time.hour) + twoDigits(time.minute) + twoDigits(time.second);
  std::string seal;
  for (std::size_t i = 0; i < 6; ++i) {
    seal.push_back(d[i]);
    seal.push_back(t[5 - i]);
  }
  return seal;
}

std::optional<shell::LocalTime> sealedTime(const std::string& stamp) {
  if (stamp.size() != 12 ||
      !std::all_of(stamp.begin(), stamp.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  // D1 T6 D2 T5 D3 T4 D4 T3 D5 T2 D6 T1: D at the even places, T backwards
  // at the odd ones.
  const auto pair = [&](std::size_t first, std::size_t second) {
    return (stamp[first] - '0') * 10 + (stamp[second] - '0');
  };
  const shell::LocalTime time{2000 + pair(8, 10), pair(4, 6), pair(0, 2),
                              pair(11, 9),        pair(7, 5), pair(3, 1)};
  if (time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31 || time.hour > 23 ||
      time.minute > 59 || time.second > 59) {
    return std::nullopt;
  }
  return time;
}

bool sealMatches(const std::string& seal, const shell::LocalTime& modified) {
  if (seal.size() != kSealLength) {
    return false;
  }
  const int t = modified.hour * 3600 + modified.minute * 60 + modified.second;
  std::optional<std::string> built = sealAt(modified, t);
  if (built == seal) {
    return true;
  }
  // Characters 9 to 12 hold the year and the hour.
  const auto yearAndHour = [](const std::string& text) { return text.substr(8, 4); };
  int current = t;
  if (built && yearAndHour(*built) != yearAndHour(seal)) {
    if (sealAt(modified, t - 3600) == seal) {
      return true;
    }
    built = sealAt(modified, t + 3600);
    if (!built || yearAndHour(*built) != yearAndHour(seal)) {
      return false;
    }
    current = t + 3600;
  }
  // Within five seconds, never across the hour: a neighbour in another hour
  // differs in characters 9 to 12.
  for (int delta = -5; delta <= 5; ++delta) {
    if (sealAt(modified, current + delta) == seal) {
      return true;
    }
  }
  return false;
}

Bytes sealContents(const std::string& stamp, std::span<const std::uint8_t> deviceFile) {
  // The byte read after the end of the file is part of the sealed contents:
  // it is 0x00, counted in the sum and written.
  std::uint32_t sum = 0;
  for (const std::uint8_t byte : deviceFile) {
    sum += byte;
  }
  sum &= 0xFFFF;
  Bytes sealed(stamp.begin(), stamp.end());
  sealed.push_back(static_cast<std::uint8_t>(sum / 256));
  sealed.insert(sealed.end(), deviceFile.begin(), deviceFile.end());
  sealed.push_back(0x00);
  sealed.push_back(static_cast<std::uint8_t>(sum % 256));
  return sealed;
}

std::optional<std::span<const std::uint8_t>> sealedRecord(const Bytes& sealed) {
  if (sealed.size() < kSealOverhead) {
    return std::nullopt;
  }
  std::uint32_t sum = 0;
  for (std::size_t i = 13; i + 1 < sealed.size(); ++i) {
    sum += sealed[i];
  }
  sum &= 0xFFFF;
  if (sum / 256 != sealed[12] || sum % 256 != sealed.back()) {
    return std::nullopt;
  }
  return std::span(sealed).subspan(13, sealed.size() - kSealOverhead);
}

bool isTechnicalReport(const Bytes& stored) {
  // The file code starts at stored offset 45 (device offset 32); files
  // sealed with their mark one byte earlier are recognised too.
  const auto markAt = [&](std::size_t offset) {
    return stored.size() > offset + 1 && stored[offset] == 'T' && stored[offset + 1] == 'R';
  };
  return markAt(44) || markAt(45);
}

}  // namespace vestrim::record
