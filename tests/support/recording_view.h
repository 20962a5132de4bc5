#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "platform/programmer_view.h"

namespace vestrim::testing {

// Remembers what the programmer window would show.
class RecordingView final : public platform::ProgrammerView {
 public:
  void setStatusText(int panel, const std::string& text) override { status[panel] = text; }
  void setProgressVisible(bool visible) override { progressVisible = visible; }
  void setProgressMaximum(std::uint32_t maximum) override { progressMaximum = maximum; }
  void setProgressValue(std::uint32_t value) override { progressValue = value; }
  void setBusyPointer(bool busy) override { busyPointer = busy; }
  void setToolbarButtonEnabled(platform::ToolbarButton button, bool enabled) override {
    toolbar[static_cast<std::size_t>(button)] = enabled;
  }
  void setMenuEnabled(platform::Menu menu, bool enabled) override { menus[menu] = enabled; }
  void showCatalogue(const std::vector<platform::CatalogueRow>& shown) override {
    rows = shown;
    ++catalogueShown;
  }
  void clearCatalogue() override {
    rows.clear();
    ++catalogueCleared;
  }
  void setMemorySizeLabel(const std::string& text) override { memoryLabel = text; }
  void setMemoryBar(std::uint32_t maximum, std::uint32_t value) override {
    memoryMaximum = maximum;
    memoryValue = value;
  }
  void showLinkNotice(const std::string& text) override { notices.push_back(text); }

  bool allToolbarButtons(bool enabled) const {
    for (int button = 1; button <= platform::kToolbarButtonCount; ++button) {
      if (toolbar[static_cast<std::size_t>(button)] != enabled) {
        return false;
      }
    }
    return true;
  }
  bool allMenus(bool enabled) const {
    for (const auto menu :
         {platform::Menu::File, platform::Menu::Device, platform::Menu::Version}) {
      const auto found = menus.find(menu);
      if (found == menus.end() || found->second != enabled) {
        return false;
      }
    }
    return true;
  }

  std::map<int, std::string> status;
  bool progressVisible = false;
  std::uint32_t progressMaximum = 0;
  std::uint32_t progressValue = 0;
  bool busyPointer = false;
  std::array<bool, platform::kToolbarButtonCount + 1> toolbar{};
  std::map<platform::Menu, bool> menus;
  std::vector<platform::CatalogueRow> rows;
  int catalogueShown = 0;
  int catalogueCleared = 0;
  std::string memoryLabel;
  std::uint32_t memoryMaximum = 0;
  std::uint32_t memoryValue = 0;
  std::vector<std::string> notices;
};

}  // namespace vestrim::testing
