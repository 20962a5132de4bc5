#pragma once

#include <QDialog>

#include "link/connection.h"
#include "platform/port_dialog_view.h"
#include "platform/port_enumerator.h"

class QComboBox;
class QLabel;

namespace vestrim::link::ui {

// The port selection dialog (FrmSelSer): shown when the device cannot be
// reached. It lists the ports found, adapters of the device's family first,
// each with what the system says it is, tells why the last attempt failed,
// and connects again on OK.
class PortDialog final : public QDialog, public platform::PortDialogView {
  Q_OBJECT

 public:
  PortDialog(const platform::PortEnumerator& ports, QWidget* parent = nullptr);
  // The connection the dialog answers to; set once both exist.
  void setConnection(Connection* connection) { connection_ = connection; }

  void showPortDialog(const std::vector<std::string>& choices, const std::string& text) override;
  void hidePortDialog() override;

 private:
  void ok();

  const platform::PortEnumerator& ports_;
  Connection* connection_ = nullptr;
  QComboBox* choices_ = nullptr;
  QLabel* problem_ = nullptr;
};

}  // namespace vestrim::link::ui
