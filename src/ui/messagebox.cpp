#include "ui/messagebox.h"

#include <QMessageBox>

#include "ui/appinfo.h"

namespace kolva {

namespace {
MessageBoxHook& Hook() {
    static MessageBoxHook hook;
    return hook;
}
}  // namespace

void ShowMessageBox(QWidget* parent, const QString& text) {
    if (Hook()) {
        Hook()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

}  // namespace kolva
