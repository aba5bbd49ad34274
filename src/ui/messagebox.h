// The program's message box: one OK button, captioned with the application title. Tests
// redirect it, so that no dialog waits for a click.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace kolva {

void ShowMessageBox(QWidget* parent, const QString& text);

// While a hook is set, messages go to it instead of a dialog. An empty hook restores dialogs.
using MessageBoxHook = std::function<void(const QString&)>;
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace kolva
