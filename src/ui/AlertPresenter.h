#pragma once

#include "platform/Alert.h"

class QMessageBox;
class QWidget;

namespace pressling::ui {

// Shows alert as a window-modal message box over parent's window and returns at once; the box
// deletes itself when a button closes it. Title, message and button titles are localisation
// keys. The buttons keep their order; a cancel-style button is also what Escape picks. Returns
// the box, owned by parent, for callers that want to follow it. Main thread; parent not null.
QMessageBox* presentAlert(QWidget* parent, const Alert& alert);

}  // namespace pressling::ui
