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

QMessageBox* OpenMessageBox(QWidget* parent, const QString& text) {
    if (Hook()) {
        Hook()(text);
        return nullptr;
    }
    auto* box = new QMessageBox(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return box;
}

void SetMessageBoxHook(MessageBoxHook hook) { Hook() = std::move(hook); }

}  // namespace kolva
