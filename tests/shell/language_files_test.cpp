#include "shell/language_files.h"

#include <gtest/gtest.h>

#include "shell/text_encoding.h"
#include "temp_folder.h"

namespace vestrim::shell {
namespace {

using testing::TempFolder;

TEST(LanguageFiles, CommentIsCutWithItsBlanksButALineWithoutOneKeepsThem) {
  EXPECT_EQ(captionOfLine("Connect   ;toolbar button"), "Connect");
  EXPECT_EQ(captionOfLine("Connect   "), "Connect   ");
  EXPECT_EQ(captionOfLine(";--"), "");
  EXPECT_EQ(captionOfLine("Rate; per ; minute"), "Rate");
  EXPECT_EQ(captionOfLine(""), "");
}

TEST(LanguageFiles, LineNumberIsTheTextNumber) {
  TempFolder folder;
  const auto file = folder.write("A.lng", "1,\"01 January\"\r\nsecond ;c\r\n\r\nfourth  \r\n");
  LanguageTexts texts;
  texts.set(9, "left over from before");
  ASSERT_TRUE(LoadLanguageTexts(file, texts));
  EXPECT_EQ(texts[0], "");
  EXPECT_EQ(texts[1], "1,\"01 January\"");
  EXPECT_EQ(texts[2], "second");
  EXPECT_EQ(texts[3], "");
  EXPECT_EQ(texts[4], "fourth  ");
  EXPECT_EQ(texts[5], "");
  EXPECT_EQ(texts[9], "");
}

TEST(LanguageFiles, LinesBeyondTheTableAreIgnored) {
  TempFolder folder;
  std::string many;
  for (int line = 1; line <= 1005; ++line) {
    many += "text " + std::to_string(line) + "\r\n";
  }
  LanguageTexts texts;
  ASSERT_TRUE(LoadLanguageTexts(folder.write("A.lng", many), texts));
  EXPECT_EQ(texts[1000], "text 1000");
  EXPECT_EQ(texts[1001], "");
}

TEST(LanguageFiles, MessageRecordsTakeQuotedTextsWithCommasAndIgnoreNumbersBeyondTheTable) {
  TempFolder folder;
  const auto file = folder.write("A.lng",
                                 "7,\"Door open\"\r\n"
                                 "  8 , \"Pressure, too low\"\r\n"
                                 "600,\"no room\"\r\n"
                                 "9,plain text  \r\n"
                                 "523,\"last\"\r\n");
  LanguageMessages messages;
  EXPECT_EQ(LoadLanguageMessages(file, messages), 5);
  EXPECT_EQ(messages[7], "Door open");
  EXPECT_EQ(messages[8], "Pressure, too low");
  EXPECT_EQ(messages[9], "plain text");
  EXPECT_EQ(messages[523], "last");
}

TEST(LanguageFiles, MessageReadingStopsAtTheFirstRecordThatIsNotANumberAndAText) {
  TempFolder folder;
  const auto file = folder.write("A.lng",
                                 "1,\"one\"\r\n"
                                 "2,\"two\",\"three\"\r\n"  // a third field starts a bad record
                                 "4,\"four\"\r\n");
  LanguageMessages messages;
  EXPECT_EQ(LoadLanguageMessages(file, messages), 2);
  EXPECT_EQ(messages[2], "two");
  EXPECT_EQ(messages[4], "");

  const auto caption = folder.write("B.lng", "1,\"one\"\r\nConnect\r\n5,\"five\"\r\n");
  EXPECT_EQ(LoadLanguageMessages(caption, messages), 1);
  EXPECT_EQ(messages[5], "");
}

TEST(LanguageFiles, OpenQuoteEndsAtItsLineSoLaterRecordsSurvive) {
  TempFolder folder;
  const auto file = folder.write("A.lng", "1,\"unclosed\r\n2,\"two\"\r\n");
  LanguageMessages messages;
  EXPECT_EQ(LoadLanguageMessages(file, messages), 2);
  EXPECT_EQ(messages[1], "unclosed");
  EXPECT_EQ(messages[2], "two");
}

TEST(LanguageFiles, AtMost294RecordsAreRead) {
  TempFolder folder;
  std::string records;
  for (int n = 1; n <= 300; ++n) {
    records += std::to_string(n) + ",\"m" + std::to_string(n) + "\"\r\n";
  }
  LanguageMessages messages;
  EXPECT_EQ(LoadLanguageMessages(folder.write("A.lng", records), messages), 294);
  EXPECT_EQ(messages[294], "m294");
  EXPECT_EQ(messages[295], "");
}

TEST(LanguageFiles, LowMessagesAreClearedAndHighOnesKeptFromAnEarlierLoad) {
  TempFolder folder;
  LanguageMessages messages;
  messages.set(10, "old low");
  messages.set(254, "old 254");
  messages.set(255, "old 255");
  messages.set(400, "old high");
  ASSERT_TRUE(LoadLanguageMessages(folder.write("A.lng", "400,\"new\"\r\n"), messages));
  EXPECT_EQ(messages[10], "");
  EXPECT_EQ(messages[254], "");
  EXPECT_EQ(messages[255], "old 255");
  EXPECT_EQ(messages[400], "new");
}

TEST(LanguageFiles, MissingFileLoadsNothing) {
  TempFolder folder;
  LanguageMessages messages;
  LanguageTexts texts;
  EXPECT_FALSE(LoadLanguageMessages(folder.path() / "None.lng", messages));
  EXPECT_FALSE(LoadLanguageTexts(folder.path() / "None.lng", texts));
}

TEST(LanguageFiles, Utf8FileLoadsIntoTheSameTablesAsItsWindows1252Twin) {
  const std::string latin1 =
      "1,\"01 Gennaio\"\r\n3,\"Temperatura \xB0"
      "C, citt\xE0\"\r\n"
      "Attivit\xE0 ;comment\r\n";
  TempFolder folder;
  const auto single = folder.write("Single.lng", latin1);
  const auto utf8 = folder.write("Utf8.lng", "\xEF\xBB\xBF" + windows1252ToUtf8(latin1));
  const auto utf8NoMark = folder.write("Utf8b.lng", windows1252ToUtf8(latin1));
  LanguageTexts expectedTexts;
  LanguageMessages expectedMessages;
  LoadLanguageTexts(single, expectedTexts);
  LoadLanguageMessages(single, expectedMessages);
  EXPECT_EQ(expectedMessages[3],
            "Temperatura \xB0"
            "C, citt\xE0");
  for (const auto& file : {utf8, utf8NoMark}) {
    LanguageTexts texts;
    LanguageMessages messages;
    LoadLanguageTexts(file, texts);
    LoadLanguageMessages(file, messages);
    for (std::size_t n = 0; n <= 3; ++n) {
      EXPECT_EQ(texts[n], expectedTexts[n]) << n;
      EXPECT_EQ(messages[n], expectedMessages[n]) << n;
    }
  }
}

}  // namespace
}  // namespace vestrim::shell
