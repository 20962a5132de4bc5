#include "shell/text_encoding.h"

#include <cstdint>
#include <optional>

namespace vestrim::shell {
namespace {

// Code points of bytes 0x80..0x9F; 0 where Windows-1252 leaves a byte
// undefined (it then maps to the C1 control of the same number).
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       //
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// Decodes the UTF-8 character at `text[i]`; advances `i`. Returns nullopt for
// a malformed sequence (stray continuation, overlong form, surrogate, cut off).
std::optional<char32_t> decodeUtf8(std::string_view text, std::size_t& i) {
  const auto lead = static_cast<std::uint8_t>(text[i]);
  int extra = 0;
  char32_t code = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    code = lead & 0x07;
  } else {
    return std::nullopt;
  }
  if (i + static_cast<std::size_t>(extra) >= text.size()) {
    return std::nullopt;
  }
  for (int k = 1; k <= extra; ++k) {
    const auto next = static_cast<std::uint8_t>(text[i + static_cast<std::size_t>(k)]);
    if ((next & 0xC0) != 0x80) {
      return std::nullopt;
    }
    code = (code << 6) | (next & 0x3F);
  }
  constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return std::nullopt;
  }
  i += static_cast<std::size_t>(extra) + 1;
  return code;
}

void appendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

}  // namespace

std::string windows1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<std::uint8_t>(c);
    char32_t code = byte;
    if (byte >= 0x80 && byte <= 0x9F && kHighControls[byte - 0x80] != 0) {
      code = kHighControls[byte - 0x80];
    }
    appendUtf8(out, code);
  }
  return out;
}

bool isMultiByteUtf8(std::string_view text) {
  bool multiByte = false;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t start = i;
    if (!decodeUtf8(text, i)) {
      return false;
    }
    multiByte = multiByte || i - start > 1;
  }
  return multiByte;
}

std::string utf8ToWindows1252(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);
  }
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::optional<char32_t> code = decodeUtf8(text, i);
    if (!code) {
      out.push_back('?');
      ++i;
      continue;
    }
    if (*code < 0x80 || (*code >= 0xA0 && *code <= 0xFF)) {
      out.push_back(static_cast<char>(*code));
      continue;
    }
    char byte = '?';
    for (std::size_t k = 0; k < std::size(kHighControls); ++k) {
      if (kHighControls[k] == *code) {
        byte = static_cast<char>(0x80 + k);
        break;
      }
    }
    out.push_back(byte);
  }
  return out;
}

std::string textFileToWindows1252(std::string_view bytes) {
  const bool bom = bytes.starts_with("\xEF\xBB\xBF");
  if (bom || isMultiByteUtf8(bytes)) {
    return utf8ToWindows1252(bytes);
  }
  return std::string(bytes);
}

std::string printable(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      c = '.';
    }
  }
  return text;
}

}  // namespace vestrim::shell
