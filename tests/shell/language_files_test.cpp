#include "shell/language_files.h"

#include <gtest/gtest.h>

#include "shell/text_encoding.h"
#include "temp_folder.h"

namespace vestrim::shell {
namespace {

using testing::TempFolder;

// Loads `bytes` as a language file's messages into `messages`; the number of records read.
std::optional<int> loadMessages(const std::string& bytes, LanguageMessages& messages) {
  const TempFolder folder;
  return LoadLanguageMessages(folder.write("A.lng", bytes), messages);
}

TEST(LanguageFiles, CommentIsCutWithItsBlanksButALineWithoutOneKeepsThem) {
  EXPECT_EQ(captionOfLine("Connect   ;toolbar button"), "Connect");
  EXPECT_EQ(captionOfLine("Connect   "), "Connect   ");
  EXPECT_EQ(captionOfLine(";--"), "");
  EXPECT_EQ(captionOfLine("Rate; per ; minute"), "Rate");
  EXPECT_EQ(captionOfLine(""), "");
}

TEST(LanguageFiles, LineNumberIsTheTextNumberUpTo1000) {
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
  EXPECT_EQ(texts[9], "");

  std::string many;
  for (int line = 1; line <= 1005; ++line) {
    many += "text " + std::to_string(line) + "\r\n";
  }
  ASSERT_TRUE(LoadLanguageTexts(folder.write("B.lng", many), texts));
  EXPECT_EQ(texts[1000], "text 1000");
  EXPECT_EQ(texts[1001], "");
  EXPECT_FALSE(LoadLanguageTexts(folder.path() / "None.lng", texts));
  LanguageMessages messages;
  EXPECT_FALSE(LoadLanguageMessages(folder.path() / "None.lng", messages));
}

TEST(LanguageFiles, MessageRecordsTakeQuotedTextsWithCommasAndIgnoreNumbersBeyondTheTable) {
  LanguageMessages messages;
  EXPECT_EQ(loadMessages("7,\"Door open\"\r\n"
                         "  8 , \"Pressure, too low\"\r\n"
                         "600,\"no room\"\r\n"
                         "9,plain text  \r\n"
                         "1,\"unclosed\r\n"  // an open quote ends at its line
                         "523,\"last\"\r\n",
                         messages),
            6);
  EXPECT_EQ(messages[7], "Door open");
  EXPECT_EQ(messages[8], "Pressure, too low");
  EXPECT_EQ(messages[9], "plain text");
  EXPECT_EQ(messages[1], "unclosed");
  EXPECT_EQ(messages[523], "last");
}

TEST(LanguageFiles, MessageReadingStopsAtTheFirstRecordThatIsNotANumberAndAText) {
  LanguageMessages messages;
  // A third field starts a bad record.
  EXPECT_EQ(loadMessages("1,\"one\"\r\n2,\"two\",\"three\"\r\n4,\"four\"\r\n", messages), 2);
  EXPECT_EQ(messages[2], "two");
  EXPECT_EQ(messages[4], "");
  EXPECT_EQ(loadMessages("1,\"one\"\r\nConnect\r\n5,\"five\"\r\n", messages), 1);
  EXPECT_EQ(messages[5], "");

  std::string records;
  for (int n = 1; n <= 300; ++n) {
    records += std::to_string(n) + ",\"m" + std::to_string(n) + "\"\r\n";
  }
  EXPECT_EQ(loadMessages(records, messages), 294);
  EXPECT_EQ(messages[294], "m294");
  EXPECT_EQ(messages[295], "");
}

TEST(LanguageFiles, LowMessagesAreClearedAndHighOnesKeptFromAnEarlierLoad) {
  LanguageMessages messages;
  messages.set(10, "old low");
  messages.set(254, "old 254");
  messages.set(255, "old 255");
  messages.set(400, "old high");
  ASSERT_TRUE(loadMessages("400,\"new\"\r\n", messages));
  EXPECT_EQ(messages[10], "");
  EXPECT_EQ(messages[254], "");
  EXPECT_EQ(messages[255], "old 255");
  EXPECT_EQ(messages[400], "new");
}

TEST(LanguageFiles, Utf8FileLoadsIntoTheSameTablesAsItsWindows1252Twin) {
  const std::string latin1 =
      "1,\"01 Gennaio\"\r\n3,\"Temperatura \xB0"
      "C, citt\xE0\"\r\n"
      "Attivit\xE0 ;comment\r\n";
  TempFolder folder;
  for (const std::string& bytes :
       {latin1, "\xEF\xBB\xBF" + windows1252ToUtf8(latin1), windows1252ToUtf8(latin1)}) {
    LanguageTexts texts;
    LanguageMessages messages;
    LoadLanguageTexts(folder.write("A.lng", bytes), texts);
    LoadLanguageMessages(folder.path() / "A.lng", messages);
    EXPECT_EQ(messages[1], "01 Gennaio");
    EXPECT_EQ(messages[3],
              "Temperatura \xB0"
              "C, citt\xE0");
    EXPECT_EQ(texts[3], "Attivit\xE0");
    EXPECT_EQ(texts[2],
              "3,\"Temperatura \xB0"
              "C, citt\xE0\"");
  }
}

}  // namespace
}  // namespace vestrim::shell
