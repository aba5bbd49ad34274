// ファイル → 取り込み… and ファイル → 開く…: files made into a collection by the tools beside the
// program (this test lies beside them in the build), the collection searchable where it was asked
// for; a cancel or a failure leaves nothing behind, and says why when it failed.
#include <QAction>
#include <QProcess>
#include <QProgressBar>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

#include "gui/gui_support.h"
#include "pane/leftform.h"
#include "platform/scratch.h"
#include "shell/commands.h"
#include "shell/importcmd.h"
#include "shell/mainfrm.h"
#include "view/bookview.h"

using namespace kolva;

namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }

// The names in a folder.
std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// kolva-search's rows for keywords in the main text of the collection in folder.
QStringList MainTextRows(const fs::path& folder, const QString& keywords) {
    QProcess search;
    search.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kolva-search"),
                 {QStringLiteral("--data"), Q(folder), QStringLiteral("--target"), QStringLiteral("main"),
                  QStringLiteral("--"), keywords});
    if (!search.waitForFinished(60000) || search.exitCode() != 0) return {QStringLiteral("failed")};
    QStringList rows = QString::fromUtf8(search.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!rows.isEmpty()) rows.removeLast();  // the totals
    return rows;
}

}  // namespace

class ImportTest : public QObject {
    Q_OBJECT

    test::TempDir m_home, m_data, m_files, m_out;
    ScratchFolder m_scratch;
    std::unique_ptr<CMainFrame> m_frame;
    QStringList m_chosen;        // the files the import dialog gives
    fs::path m_target;           // the folder it gives
    QStringList m_opened;        // folders the reader was started on
    bool m_cancel = false;       // Cancel pressed as soon as the import runs
    QList<int> m_values;         // of the progress bar, once the import runs

    void Trigger(int id) { m_frame->Action(id)->trigger(); }

private slots:
    void initTestCase() {
        test::IsolateFromTheUser(m_home);
        test::WriteSmallCollection(m_data.path());
        QVERIFY(m_scratch.Create(m_home.path()));
        // 第一回 and 第二回 start volumes; each paragraph ends a line.
        test::WriteBytes(m_files / "moon.txt",
                         "第一回　月\n\n明月照大江。山川草木皆静か。\n\n第二回　星\n\n星空は美しい。明月再照。\n");
        test::WriteBytes(m_files / "broken.epub", "this is no archive");
        SetImportCommandHooks({
            [this](QStringList& files, QString& folder) {
                files = m_chosen;
                folder = Q(m_target);
                return true;
            },
            [this](QString& folder) {
                folder = Q(m_target);
                return true;
            },
            [this](const QString& folder) { m_opened.append(folder); },
            [this](QWidget* progress) {
                auto* bar = progress->findChild<QProgressBar*>();
                QVERIFY(bar);
                connect(bar, &QProgressBar::valueChanged, this, [this](int value) { m_values.append(value); });
                if (!m_cancel) return;
                auto* cancel = progress->findChild<QPushButton*>();
                QVERIFY(cancel);
                cancel->click();
            },
        });
    }
    void init() {
        test::Messages().clear();
        m_opened.clear();
        m_cancel = false;
        m_chosen = {Q(m_files / "moon.txt")};
        m_frame = std::make_unique<CMainFrame>(AppPaths{m_data.path(), m_data.path(), m_scratch.Path()});
        m_frame->m_pLeftForm->OnInitialUpdate();
        m_frame->m_pBookView->OnInitialUpdate();
        m_frame->show();
    }
    void cleanup() {
        m_frame.reset();
        fs::remove_all(m_out.path());
        fs::create_directory(m_out.path());
    }

    void importBuildsASearchableCollectionAndOpensIt() {
        for (const bool existing : {false, true}) {  // a new folder, or an empty one chosen
            m_target = m_out / (existing ? "empty" : "new") / "coll";
            if (existing) fs::create_directories(m_target);
            m_opened.clear();
            m_values.clear();
            Trigger(ID_FILE_IMPORT);
            QCOMPARE(test::Messages(), QStringList());
            // The tools' progress lines move the bar: the build's last line (all pages) fills it.
            QVERIFY(!m_values.isEmpty());
            QCOMPARE(m_values.back(), 1000);
            QCOMPARE(m_opened, QStringList{Q(m_target)});
            QVERIFY(fs::exists(m_target / "kolva.dir"));
            // The working folder beside it is gone.
            QCOMPARE(Names(m_target.parent_path()), std::vector<std::string>{"coll"});
            const QStringList rows = MainTextRows(m_target, QStringLiteral("明月"));
            QCOMPARE(rows.size(), 2);
            QVERIFY2(rows[0].contains(QStringLiteral("第一回　月")) && rows[1].contains(QStringLiteral("第二回　星")),
                     qPrintable(rows.join(QLatin1Char('\n'))));
            QCOMPARE(MainTextRows(m_target, QStringLiteral("山川草木")).size(), 1);
        }
        // ファイル → 開く… starts the reader on a collection, and refuses a folder without one.
        m_opened.clear();
        Trigger(ID_FILE_OPEN_COLLECTION);
        QCOMPARE(m_opened, QStringList{Q(m_target)});
        m_target = m_out.path();
        Trigger(ID_FILE_OPEN_COLLECTION);
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(test::Messages().size(), 1);
        QVERIFY(test::Messages().front().contains(QStringLiteral("kolva.dir")));

        // The collections built or opened come back under 最近のコレクション, latest first, the
        // one shown among them; one picked is opened, Ctrl+O asks for another.
        QMenu* recent = m_frame->findChild<QMenu*>(QStringLiteral("RecentCollections"));
        QVERIFY(recent);
        emit recent->aboutToShow();
        QStringList offered;
        for (QAction* a : recent->actions()) offered.append(a->text());
        const QString second = Q(m_out / "empty" / "coll"), first = Q(m_out / "new" / "coll");
        QCOMPARE(offered.mid(0, 2), (QStringList{second, first}));
        QVERIFY(offered.contains(QDir::cleanPath(Q(m_data.path()))));
        m_opened.clear();
        recent->actions()[1]->trigger();
        QCOMPARE(m_opened, QStringList{first});
        fs::remove_all(m_out / "new");  // a collection gone is offered no more
        emit recent->aboutToShow();
        QVERIFY(!recent->actions()[0]->text().contains(QStringLiteral("/new/")));
        QCOMPARE(recent->actions()[0]->text(), second);
        m_opened.clear();
        m_target = m_out / "empty" / "coll";
        m_frame->activateWindow();  // the window's keys work in the active window
        QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
        QTest::keyClick(m_frame->m_pLeftForm->Tree(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(m_opened, QStringList{second});
    }

    // Whatever stops the import, the folder asked for is as it was and nothing is left beside it.
    void aCancelOrAFailureLeavesNothing() {
        struct Case {
            const char* name;
            bool cancel;
            QStringList files;
            bool existing;         // the target is an empty folder before
            QString message;       // part of the message shown, empty for none
        };
        const QStringList moon = {Q(m_files / "moon.txt")};
        const Case cases[] = {
            {"cancel", true, moon, false, {}},
            {"cancel into an empty folder", true, moon, true, {}},
            {"a file the importer refuses", false, {Q(m_files / "moon.txt"), Q(m_files / "broken.epub")}, false,
             QStringLiteral("broken.epub")},
            {"a missing file", false, {Q(m_files / "none.txt")}, false, QStringLiteral("none.txt")},
        };
        for (const Case& c : cases) {
            test::Messages().clear();
            m_opened.clear();
            m_cancel = c.cancel;
            m_chosen = c.files;
            m_target = m_out / "coll";
            if (c.existing) fs::create_directory(m_target);
            Trigger(ID_FILE_IMPORT);
            QVERIFY2(m_opened.isEmpty(), c.name);
            QCOMPARE(Names(m_out.path()), c.existing ? std::vector<std::string>{"coll"} : std::vector<std::string>{});
            if (c.existing) QVERIFY2(fs::is_empty(m_target), c.name);
            if (c.message.isEmpty()) {
                QVERIFY2(test::Messages().isEmpty(), qPrintable(test::Messages().join(QLatin1Char('\n'))));
            } else {
                QCOMPARE(test::Messages().size(), 1);
                QVERIFY2(test::Messages().front().contains(c.message), qPrintable(test::Messages().front()));
            }
            fs::remove_all(m_target);
        }
    }

    // A folder holding something of the user's is never the target: refused before any tool runs.
    void aFolderInUseIsRefused() {
        m_target = m_out / "mine";
        fs::create_directory(m_target);
        test::WriteBytes(m_target / "notes.txt", "mine");
        Trigger(ID_FILE_IMPORT);
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(test::Messages().size(), 1);
        QCOMPARE(Names(m_out.path()), std::vector<std::string>{"mine"});
        QCOMPARE(Names(m_target), std::vector<std::string>{"notes.txt"});
    }

    void cleanupTestCase() { SetImportCommandHooks({}); }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ImportTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "import_test.moc"
