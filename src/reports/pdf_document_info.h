#pragma once

#include <string>

#include "record/cycle_file.h"

// What an exported report's PDF says about itself, so that a PDF can be
// traced back to the stored file it was made from, and the two places a
// PDF/A-1b document says it: its document information dictionary and its
// XMP metadata, which must agree.
namespace vestrim::reports {

struct PdfDocumentInfo {
  std::string title;  // UTF-8, as are the others
  std::string subject;
  std::string keywords;
  std::string creator = "Vestrim";
};

// A moment in UTC.
struct PdfTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The title is the stored file's name; subject and keywords carry the
// name, the cycle number as the report shows it (none for a technical
// report) and the SHA-256 of the stored file.
PdfDocumentInfo reportDocumentInfo(const std::string& fileName, const record::CycleFile& file,
                                   const std::string& sha256);

// The XMP packet of a PDF/A-1b document: title, subject, keywords, creator,
// producer and dates as its information dictionary holds them, and the
// PDF/A part (1) and conformance (B).
std::string pdfaXmpPacket(const PdfDocumentInfo& info, const std::string& producer,
                          const PdfTime& time);

// Replaces the information dictionary of a finished PDF (the object the
// trailer's /Info names, found through a classic cross-reference table)
// with one holding `info`, `producer` and `time`, and moves the offsets of
// the objects after it. False, with `pdf` unchanged, when the file is not
// built that way.
bool setDocumentInformation(std::string& pdf, const PdfDocumentInfo& info,
                            const std::string& producer, const PdfTime& time);

}  // namespace vestrim::reports
