#pragma once

#include <string>
#include <vector>

namespace vestrim::platform {

// The port selection dialog: shown when the device cannot be reached on the
// stored port. It offers `choices`, shows `text` in its box, and explains:
// "USB comunication error. Make sure that the USB cable is connected to the
// device and retry. If the trouble persists, contact our technical support."
class PortDialogView {
 public:
  virtual ~PortDialogView() = default;
  virtual void showPortDialog(const std::vector<std::string>& choices, const std::string& text) = 0;
  virtual void hidePortDialog() = 0;
};

inline constexpr const char* kPortDialogPrompt = "Select new com :";
inline constexpr const char* kPortDialogExplanation =
    "USB comunication error. Make sure that the USB cable is connected to the device and retry. "
    "If the trouble persists, contact our technical support.";

}  // namespace vestrim::platform
