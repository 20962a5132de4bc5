#include "reports/pdf_document_info.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "reports/report_lines.h"
#include "shell/version.h"

namespace vestrim::reports {
namespace {

// Each entry of a classic cross-reference table: "oooooooooo ggggg n \n".
constexpr std::size_t kXrefEntry = 20;

std::string cycleNumber(const record::CycleFile& file) {
  const std::string& h = file.DeviceHeader;
  if (h.size() < 65) {
    return {};
  }
  const auto at = [&](std::size_t position) { return static_cast<unsigned char>(h[position - 1]); };
  return fiveDigits(at(63) | at(64) << 8 | at(65) << 16) + "/" +
         fiveDigits(at(60) | at(61) << 8 | at(62) << 16);
}

std::string xmlEscaped(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// The code points of a UTF-8 text; a byte that starts no character gives
// U+FFFD.
std::vector<char32_t> codePoints(const std::string& utf8) {
  std::vector<char32_t> points;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    const int length = byte < 0x80       ? 1
                       : byte >> 5 == 6  ? 2
                       : byte >> 4 == 14 ? 3
                       : byte >> 3 == 30 ? 4
                                         : 0;
    if (length == 0 || i + static_cast<std::size_t>(length) > utf8.size()) {
      points.push_back(0xFFFD);
      ++i;
      continue;
    }
    char32_t point = length == 1 ? byte : byte & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      point =
          point << 6 | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
    }
    points.push_back(point);
    i += static_cast<std::size_t>(length);
  }
  return points;
}

// A PDF text string: UTF-16BE with its byte-order mark, written in hex.
std::string pdfText(const std::string& utf8) {
  std::string hex = "<FEFF";
  char unit[8];
  const auto put = [&](unsigned value) {
    std::snprintf(unit, sizeof unit, "%04X", value);
    hex += unit;
  };
  for (const char32_t point : codePoints(utf8)) {
    if (point >= 0x10000) {
      put(0xD800 + ((point - 0x10000) >> 10));
      put(0xDC00 + ((point - 0x10000) & 0x3FF));
    } else {
      put(static_cast<unsigned>(point));
    }
  }
  return hex + ">";
}

// The time as the XMP metadata writes it, 2025-03-14T10:05:09Z, or as the
// information dictionary does, (D:20250314100509Z).
std::string xmpDate(const PdfTime& t) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::string pdfDate(const PdfTime& t) {
  char text[40];
  std::snprintf(text, sizeof text, "(D:%04d%02d%02d%02d%02d%02dZ)", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::optional<std::size_t> number(const std::string& text, std::size_t& at) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\r' || text[at] == '\n')) {
    ++at;
  }
  const std::size_t start = at;
  std::size_t value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 12) {
    value = value * 10 + static_cast<std::size_t>(text[at++] - '0');
  }
  return at > start ? std::optional<std::size_t>(value) : std::nullopt;
}

}  // namespace

PdfDocumentInfo reportDocumentInfo(const std::string& fileName, const record::CycleFile& file,
                                   const std::string& sha256) {
  PdfDocumentInfo info;
  info.title = fileName;
  info.creator = std::string("Vestrim ") + shell::kVersion;
  if (file.IsTechnicalReport) {
    info.subject = "Technical report " + fileName + ", SHA-256 of the stored file " + sha256;
    info.keywords = fileName + ", technical report, sha256:" + sha256;
  } else {
    const std::string number = cycleNumber(file);
    info.subject = "Cycle report of " + fileName + ", cycle number " + number +
                   ", SHA-256 of the stored file " + sha256;
    info.keywords = fileName + ", cycle " + number + ", sha256:" + sha256;
  }
  return info;
}

std::string pdfaXmpPacket(const PdfDocumentInfo& info, const std::string& producer,
                          const PdfTime& time) {
  const std::string date = xmpDate(time);
  const auto alternative = [](const char* name, const std::string& text) {
    return std::string("      <") + name + "><rdf:Alt><rdf:li xml:lang=\"x-default\">" +
           xmlEscaped(text) + "</rdf:li></rdf:Alt></" + name + ">\n";
  };
  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
         "  <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
         "    <rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n" +
         alternative("dc:title", info.title) +
         (info.subject.empty() ? std::string() : alternative("dc:description", info.subject)) +
         "    </rdf:Description>\n"
         "    <rdf:Description rdf:about=\"\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\"\n"
         "      " +
         (info.keywords.empty() ? std::string()
                                : "pdf:Keywords=\"" + xmlEscaped(info.keywords) + "\" ") +
         "pdf:Producer=\"" + xmlEscaped(producer) +
         "\"/>\n"
         "    <rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
         "      xmp:CreatorTool=\"" +
         xmlEscaped(info.creator) + "\" xmp:CreateDate=\"" + date + "\" xmp:ModifyDate=\"" + date +
         "\"/>\n"
         "    <rdf:Description rdf:about=\"\" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\"\n"
         "      pdfaid:part=\"1\" pdfaid:conformance=\"B\"/>\n"
         "  </rdf:RDF>\n"
         "</x:xmpmeta>\n"
         "<?xpacket end=\"w\"?>";
}

bool setDocumentInformation(std::string& pdf, const PdfDocumentInfo& info,
                            const std::string& producer, const PdfTime& time) {
  // The trailer names the information dictionary; the table tells where it is.
  const std::size_t trailer = pdf.rfind("trailer");
  const std::size_t startxref = pdf.rfind("startxref");
  if (trailer == std::string::npos || startxref == std::string::npos || startxref < trailer) {
    return false;
  }
  std::size_t at = pdf.find("/Info", trailer);
  const std::optional<std::size_t> infoObject =
      at < startxref ? number(pdf, at += 5) : std::nullopt;
  at = startxref + 9;
  const std::optional<std::size_t> xref = number(pdf, at);
  if (!infoObject || !xref || *xref >= trailer || pdf.compare(*xref, 4, "xref") != 0) {
    return false;
  }
  at = *xref + 4;
  const std::optional<std::size_t> first = number(pdf, at);
  const std::optional<std::size_t> count = number(pdf, at);
  while (at < pdf.size() && (pdf[at] == ' ' || pdf[at] == '\r' || pdf[at] == '\n')) {
    ++at;
  }
  const std::size_t entries = at;
  if (!first || !count || *infoObject < *first || *infoObject >= *first + *count ||
      entries + *count * kXrefEntry > trailer) {
    return false;
  }
  std::size_t entry = entries + (*infoObject - *first) * kXrefEntry;
  const std::optional<std::size_t> objectStart = number(pdf, entry);
  const std::string head = std::to_string(*infoObject) + " 0 obj";
  const std::size_t objectEnd = objectStart ? pdf.find("endobj", *objectStart) : std::string::npos;
  if (!objectStart || *objectStart >= *xref || pdf.compare(*objectStart, head.size(), head) != 0 ||
      objectEnd == std::string::npos || objectEnd > *xref) {
    return false;
  }

  const std::string date = pdfDate(time);
  std::string dictionary = head + "\n<<\n/Title " + pdfText(info.title);
  if (!info.subject.empty()) {
    dictionary += "\n/Subject " + pdfText(info.subject);
  }
  if (!info.keywords.empty()) {
    dictionary += "\n/Keywords " + pdfText(info.keywords);
  }
  dictionary += "\n/Creator " + pdfText(info.creator) + "\n/Producer " + pdfText(producer) +
                "\n/CreationDate " + date + "\n/ModDate " + date + "\n>>\nendobj";
  const std::size_t oldLength = objectEnd + 6 - *objectStart;
  const long shift = static_cast<long>(dictionary.size()) - static_cast<long>(oldLength);
  // Every object after the dictionary moves by `shift`; so do the table
  // and the trailer, and with them the offset after "startxref".
  for (std::size_t k = 0; k < *count; ++k) {
    std::size_t field = entries + k * kXrefEntry;
    const std::optional<std::size_t> offset = number(pdf, field);
    if (!offset || pdf[entries + k * kXrefEntry + 17] != 'n' || *offset <= *objectStart) {
      continue;
    }
    char text[12];
    std::snprintf(text, sizeof text, "%010ld", static_cast<long>(*offset) + shift);
    pdf.replace(entries + k * kXrefEntry, 10, text);
  }
  std::size_t tail = startxref + 9;
  const std::size_t digitsStart = tail;
  number(pdf, tail);
  pdf.replace(digitsStart, tail - digitsStart,
              "\n" + std::to_string(static_cast<long>(*xref) + shift));
  pdf.replace(*objectStart, oldLength, dictionary);
  return true;
}

}  // namespace vestrim::reports
