// Shared set-up of the window tests: a private profile, message boxes caught, a small collection.
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <map>

#include "ui/messagebox.h"
#include "test_support.h"

namespace kolva::test {

// Every file of a folder with its bytes: the collection before the tests, to compare after them
// (the reader never writes its data files and never adds a file beside them).
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files[entry.path().filename().string()] = ReadBytes(entry.path());
    return files;
}

// Messages the program would have shown in a box.
inline QStringList& Messages() {
    static QStringList messages;
    return messages;
}

// Call first in initTestCase: profile, state (the catalogue trace) and scratch pages go to
// folders of the test.
inline void IsolateFromTheUser(const TempDir& home) {
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((home / "config").string()));
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString((home / "state").string()));
    SetMessageBoxHook([](const QString& text) { Messages().append(text); });
}

// Three pages 一二三 / 明月 / 明月明月 in one volume (pages 1-3).
inline void WriteSmallCollection(const std::filesystem::path& folder) {
    WriteCollection(folder, {U"一二三", U"明月", U"明月明月"});
    WriteCatalogue(folder / "kolva.dir", {{u"類", 1, 1, 3, 1}, {u"書", 2, 1, 3, 1}, {u"巻", 3, 1, 3, 1}});
}

}  // namespace kolva::test

namespace kolva::test {

// 唐詩 > 李白 > 巻一 (pages 1-3), 巻二 (pages 1-2); 杜甫 > 巻三 (pages 5-6). Page i of the store
// is "<html>...<title>t</title>...<TD>page N of VOLUME</TD>...".
inline void WriteCatalogueCollection(const std::filesystem::path& folder) {
    struct Volume {
        const char* folder;
        int first, count;
    } volumes[] = {{"a", 1, 3}, {"b", 1, 2}, {"c", 5, 2}};
    PageStoreWriter store(folder);
    IndexWriter index;
    uint32_t pageIndex = 0;
    for (const Volume& v : volumes) {
        for (int n = v.first; n < v.first + v.count; ++n, ++pageIndex) {
            char name[32];
            std::snprintf(name, sizeof name, "%s\\%04d.htm", v.folder, n);
            store.AddPage(name, std::string("<html><head><title>t</title></head><body><table><tr><TD>") +
                                    "page " + std::to_string(n) + " of " + v.folder +
                                    "</TD><TD>明月</TD></tr></table></body></html>");
            index.AddText(pageIndex, U"明月");
        }
    }
    store.Finish();
    for (int mode : {0, 1, 2}) index.Write(folder, IndexFileStem("Index", mode));
    WriteCatalogue(folder / "kolva.dir", {{u"唐詩", 1, 1, 7, 1},
                                          {u"李白", 2, 1, 5, 1},
                                          {u"巻一", 3, 1, 3, 1},
                                          {u"巻二", 3, 4, 2, 1},
                                          {u"杜甫", 2, 6, 2, 5},
                                          {u"巻三", 3, 6, 2, 5}});
}

}  // namespace kolva::test
