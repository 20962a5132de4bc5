#include "shell/language_setup.h"

#include <gtest/gtest.h>

#include "recording_main_window.h"
#include "scripted_prompts.h"
#include "shell/language_dialogs.h"
#include "temp_folder.h"

namespace vestrim::shell {
namespace {

using testing::RecordingMainWindow;
using testing::ScriptedPrompts;
using testing::TempFolder;

std::string languageFile(const std::string& word) {
  return "1,\"01 " + word + "\"\r\n2,\"02 " + word + "\"\r\n" + word + " caption\r\n";
}

TEST(LanguageSetup, DefaultLanguageGivesBothTextsAndMessagesAndAnUnknownOneTheFirstListed) {
  TempFolder folder;
  folder.write("Zulu.lng", languageFile("Zulu"));
  folder.write("english.LNG", languageFile("English"));
  for (const std::string wanted : {"Zulu", "", "Klingon"}) {
    ScriptedPrompts prompts;
    LanguageState language;
    ASSERT_TRUE(initialiseLanguage(folder.path(), wanted, language, prompts));
    const std::string used = wanted == "Zulu" ? "Zulu" : "English";
    EXPECT_EQ(language.DefaultLanguage, wanted == "Zulu" ? "Zulu" : "english");
    EXPECT_EQ(language.texts[3], used + " caption");
    EXPECT_EQ(language.messages[2], "02 " + used);
    EXPECT_EQ(language.LanguageList, (std::vector<std::string>{"english", "Zulu"}));
    EXPECT_TRUE(prompts.shown.empty());
  }
  // The settings file is not rewritten by the initialisation.
  EXPECT_FALSE(std::filesystem::exists(folder.path() / kSettingsFileName));
}

TEST(LanguageSetup, OnlyTheFirstTenLanguagesAreKnownAndNoneTellsTheUserToReinstall) {
  TempFolder folder;
  for (char c = 'A'; c <= 'L'; ++c) {
    folder.write(std::string(1, c) + ".lng", languageFile(std::string(1, c)));
  }
  ScriptedPrompts prompts;
  LanguageState language;
  ASSERT_TRUE(initialiseLanguage(folder.path(), "L", language, prompts));
  EXPECT_EQ(language.LanguageList.size(), 10u);
  EXPECT_EQ(language.LanguageList.back(), "J");
  EXPECT_EQ(language.DefaultLanguage, "A");

  TempFolder empty;
  empty.write("notes.txt", "x");
  EXPECT_FALSE(initialiseLanguage(empty.path(), "", language, prompts));
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "File missing!\nReinstall program");
  EXPECT_EQ(prompts.shown[0].title, "Error");
  EXPECT_EQ(prompts.shown[0].icon, platform::MessageIcon::Critical);
}

TEST(DefaultLanguageDialog, ConfirmingWritesTheChoiceAndOpensTheFileManager) {
  TempFolder folder;
  folder.write("English.lng", languageFile("English"));
  folder.write("Italiano.lng", languageFile("Italiano"));
  SettingsLines settings{PortSetting::fromNumber(4), "/data", ""};
  RecordingMainWindow mainWindow;
  ScriptedPrompts prompts;
  DefaultLanguageDialog dialog(folder.path(), settings, mainWindow, prompts);
  ASSERT_TRUE(dialog.load());
  EXPECT_FALSE(mainWindow.toolbarEnabled);
  EXPECT_EQ(dialog.languages(), (std::vector<std::string>{"English", "Italiano"}));
  EXPECT_EQ(dialog.shown(), "English");

  dialog.choose("Italiano");
  ASSERT_TRUE(dialog.confirm());
  EXPECT_EQ(settings.DefaultLanguage, "Italiano");
  EXPECT_EQ(readSettingsFile(folder.path()),
            (SettingsLines{PortSetting::fromNumber(1), "/data", "Italiano"}));
  EXPECT_TRUE(mainWindow.toolbarEnabled);
  EXPECT_TRUE(mainWindow.buttons[1]);
  for (int button = 2; button <= 6; ++button) {
    EXPECT_FALSE(mainWindow.buttons[button]) << button;
  }
  EXPECT_EQ(mainWindow.buttons.count(7), 0u);  // the pen-drive button keeps its state
  EXPECT_EQ(mainWindow.fileManagerShown, 1);
}

TEST(DefaultLanguageDialog, ListsElevenLanguagesAtMostAndRefusesAnEmptyFolder) {
  TempFolder folder;
  for (char c = 'A'; c <= 'M'; ++c) {
    folder.write(std::string(1, c) + ".lng", "");
  }
  SettingsLines settings;
  RecordingMainWindow mainWindow;
  ScriptedPrompts prompts;
  DefaultLanguageDialog dialog(folder.path(), settings, mainWindow, prompts);
  ASSERT_TRUE(dialog.load());
  EXPECT_EQ(dialog.languages().size(), 11u);

  TempFolder empty;
  DefaultLanguageDialog nothing(empty.path(), settings, mainWindow, prompts);
  EXPECT_FALSE(nothing.load());
  EXPECT_EQ(prompts.countOf("File missing!\nReinstall program"), 1u);
}

TEST(NextStartLanguageDialog, BoxShowsWhetherALanguageIsStoredAndRewritesTheFileWhenChanged) {
  TempFolder folder;
  SettingsLines settings{PortSetting::fromNumber(6), "/elsewhere", "English"};
  writeSettingsFile(folder.path(), {PortSetting::fromNumber(9), "/stored", "English"});
  RecordingMainWindow mainWindow;
  NextStartLanguageDialog dialog(folder.path(), settings, mainWindow);
  dialog.load();
  EXPECT_FALSE(dialog.askAgain());
  EXPECT_EQ(settings.PortNumber, PortSetting::fromNumber(9));
  EXPECT_EQ(settings.DataFolder, "/stored");

  ASSERT_TRUE(dialog.setAskAgain(true));
  EXPECT_EQ(readSettingsFile(folder.path()),
            (SettingsLines{PortSetting::fromNumber(1), folder.path().string(), ""}));
  EXPECT_EQ(settings.DataFolder, folder.path().string());
  EXPECT_TRUE(mainWindow.toolbarEnabled);

  ASSERT_TRUE(dialog.setAskAgain(false));
  EXPECT_EQ(readSettingsFile(folder.path())->DefaultLanguage, "English");

  dialog.setAskAgain(true);
  NextStartLanguageDialog reopened(folder.path(), settings, mainWindow);
  reopened.load();
  EXPECT_TRUE(reopened.askAgain());
  reopened.close();
  EXPECT_TRUE(mainWindow.windowEnabled);
  EXPECT_TRUE(mainWindow.fileManagerEnabled);
}

}  // namespace
}  // namespace vestrim::shell
