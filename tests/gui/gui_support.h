// Shared set-up of the window tests: a private profile, message boxes caught, a small collection.
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTest>

#include "shell/messagebox.h"
#include "test_support.h"

namespace kolva::test {

// Messages the program would have shown in a box.
inline QStringList& Messages() {
    static QStringList messages;
    return messages;
}

// Call first in initTestCase: profile and scratch pages go to folders of the test.
inline void IsolateFromTheUser(const TempDir& home) {
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((home / "config").string()));
    SetMessageBoxHook([](const QString& text) { Messages().append(text); });
}

// Three pages of the collection: 一二三 / 明月 / a long page of 明月 with anchors far down.
inline void WriteSmallCollection(const std::filesystem::path& folder) {
    WriteCollection(folder, {U"一二三", U"明月", U"明月明月"});
}

}  // namespace kolva::test
