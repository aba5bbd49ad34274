// The program's message box: one OK button, captioned with the application title. Tests
// redirect it, so that no dialog waits for a click.
#pragma once

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

namespace kolva {

void ShowMessageBox(QWidget* parent, const QString& text);

// The same box without waiting for it: it is shown modal to parent's window and deletes itself
// when closed. With a hook set, the hook gets the text and no box is made (null).
QMessageBox* OpenMessageBox(QWidget* parent, const QString& text);

// While a hook is set, messages go to it instead of a dialog. An empty hook restores dialogs.
using MessageBoxHook = std::function<void(const QString&)>;
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace kolva
