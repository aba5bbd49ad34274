// Start-up of the reader, the splitter and the reading view.
#include <QClipboard>
#include <QDesktopServices>
#include <QProcess>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QToolBar>
#include <QWebEngineLoadingInfo>

#include "controls/scrolltoolbar.h"
#include "gui/gui_support.h"
#include "pane/leftform.h"
#include "platform/scratch.h"
#include "ui/appinfo.h"
#include "shell/book.h"
#include "shell/mainfrm.h"
#include "view/bookview.h"

using namespace kolva;

// Takes the URLs the program asks the desktop to open.
class HelpCatcher : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { opened = url; }

public:
    QUrl opened;
};

class StartupTest : public QObject {
    Q_OBJECT

    test::TempDir m_home;
    test::TempDir m_data;
    std::map<std::string, std::string> m_before;  // the collection as written
    ScratchFolder m_scratch;

    std::unique_ptr<CMainFrame> MakeFrame(const std::filesystem::path& data) {
        AppPaths paths{m_data.path(), data, m_scratch.Path()};
        auto frame = std::make_unique<CMainFrame>(paths);
        frame->m_pLeftForm->OnInitialUpdate();
        frame->m_pBookView->OnInitialUpdate();
        frame->resize(1200, 800);
        frame->showMaximized();
        if (!QTest::qWaitForWindowExposed(frame.get())) qWarning("window not exposed");
        return frame;
    }
    static QString SavedPanes() {
        return QSettings(kProfileOrganisation, kAppTitle).value("SplitterWnd/Panes_0").toString();
    }
    // Loads a page into the view and waits until it is shown.
    static void Show(CBookView* view, const QString& path, const QString& anchor = {}) {
        QSignalSpy loaded(view, &QWebEngineView::loadFinished);
        view->Navigate2(path, anchor);
        QVERIFY(loaded.wait(20000));
    }
    QString WritePage(const QString& name, const QString& body) {
        const std::string html = ("<html><head><meta charset=\"UTF-8\"></head><body>" + body +
                                  "</body></html>").toStdString();
        m_scratch.WriteFile(name.toStdString(), html);
        return QString::fromStdString(m_scratch.FilePath(name.toStdString()).string());
    }

private slots:
    void initTestCase() {
        test::IsolateFromTheUser(m_home);
        test::WriteSmallCollection(m_data.path());
        m_before = test::Snapshot(m_data.path());
        QVERIFY(m_scratch.Create(m_home.path()));
    }
    void init() { test::Messages().clear(); }

    void startsWithCaptionPanesAndBlankPage() {
        auto frame = MakeFrame(m_data.path());
        QCOMPARE(frame->windowTitle(), QStringLiteral("Veltra--現代全文検索(Kolva全集)"));
        QVERIFY(frame->windowState() & Qt::WindowMaximized);
        QCOMPARE(frame->toolBarArea(frame->ToolBar()), Qt::TopToolBarArea);
        QVERIFY(!(frame->ToolBar()->allowedAreas() & (Qt::LeftToolBarArea | Qt::RightToolBarArea)));
        QCOMPARE(frame->Splitter()->sizes().value(0), 260);
        QCOMPARE(frame->GetBookView(), frame->m_pBookView);
        QCOMPARE(frame->m_pBookView->GetLocationURL(), QStringLiteral("about:blank"));
        QVERIFY(frame->m_pLeftForm->Index().IsOpen());
        QVERIFY(test::Messages().isEmpty());
    }

    void missingCollectionShowsTheMessageOnce() {
        test::TempDir empty;
        auto frame = MakeFrame(empty.path());
        QCOMPARE(test::Messages(), (QStringList{QStringLiteral("データを開けませんでした。"),
                                                QStringLiteral("you delete data file!")}));
        QVERIFY(!frame->m_pLeftForm->Index().IsOpen());
    }

    void splitterHidesShowsAndSavesItsSizes() {
        auto frame = MakeFrame(m_data.path());
        ST_SplitterWnd* splitter = frame->Splitter();
        const int viewWidth = splitter->sizes().value(1);
        frame->m_pLeftForm->setFocus();
        splitter->ToggleSide(0);
        QCOMPARE(splitter->HiddenColumn(), 0);
        QVERIFY(!frame->m_pLeftForm->isVisible());
        QVERIFY(!frame->m_pLeftForm->hasFocus());
        splitter->ToggleSide(1);  // another column: nothing happens
        QCOMPARE(splitter->HiddenColumn(), 0);
        splitter->ToggleSide(0);
        QCOMPARE(splitter->HiddenColumn(), -1);
        QVERIFY(frame->m_pLeftForm->isVisible());
        QCOMPARE(splitter->sizes().value(0), 260);

        frame.reset();  // closing writes the sizes of the last layout
        QCOMPARE(SavedPanes(), QStringLiteral("-1 260 -1 %1").arg(viewWidth));

        frame = MakeFrame(m_data.path());
        QCOMPARE(frame->Splitter()->sizes().value(0), 260);
        frame->Splitter()->ToggleSide(0);
        frame->close();
        QCOMPARE(SavedPanes(), QStringLiteral("0 260 -1 %1").arg(viewWidth));

        // The left pane's width is kept for the next start, also when it was hidden.
        frame = MakeFrame(m_data.path());
        const int total = frame->Splitter()->width() - frame->Splitter()->handleWidth();
        frame->Splitter()->setSizes({400, total - 400});
        frame->Splitter()->ToggleSide(0);
        frame.reset();
        frame = MakeFrame(m_data.path());
        QCOMPARE(frame->Splitter()->sizes().value(0), 400);
        frame->Splitter()->setSizes({260, total - 260});  // as the other tests expect it
        frame.reset();
    }

    void navigatesToAnchorsAndReadsTheLocationBack() {
        auto frame = MakeFrame(m_data.path());
        CBookView* view = frame->m_pBookView;
        QString body;
        for (int i = 0; i < 3; ++i)
            body += QStringLiteral("<a name=\"%1\"></a><div style=\"height:3000px\">%2</div>")
                        .arg(i, 4, 10, QLatin1Char('0'))
                        .arg(i);
        const QString path = WritePage("anchors.html", body);
        Show(view, path, "0002");
        QCOMPARE(view->GetLocationURL(), path + "#0002");
        QTRY_VERIFY_WITH_TIMEOUT(view->page()->scrollPosition().y() > 5000, 10000);
        view->Navigate2(path, "0000");
        QTRY_VERIFY_WITH_TIMEOUT(view->page()->scrollPosition().y() < 100, 10000);
    }

    void rightButtonAndCtrlNeverReachTheBrowser() {
        auto frame = MakeFrame(m_data.path());
        CBookView* view = frame->m_pBookView;
        QTRY_VERIFY_WITH_TIMEOUT(view->focusProxy() != nullptr, 10000);
        QWidget* engine = view->focusProxy();
        QTest::mousePress(engine, Qt::RightButton, {}, QPoint(20, 20));
        QVERIFY(!view->PopupMenu()->isVisible());  // blank page: no menu
        Show(view, WritePage("text.html", "<p>明月</p>"));
        QTest::mousePress(engine, Qt::RightButton, {}, QPoint(20, 20));
        QTRY_VERIFY(view->PopupMenu()->isVisible());
        const QList<QAction*> items = view->PopupMenu()->actions();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0]->text(), QStringLiteral("コピー(300字以内に制限しています。)"));
        QCOMPARE(items[1]->text(), QStringLiteral("すべて選択。"));
        view->PopupMenu()->hide();
        QTest::keyClick(engine, Qt::Key_Control);  // Ctrl pressed and released alone
        QCOMPARE(test::Messages(), QStringList{QStringLiteral("マウスの右ボタンでコピーして下さい。")});
    }

    void copyKeepsAtMost600Bytes() {
        QCOMPARE(CutToByteLimit(QString(300, QChar(0x660E)), 600), QString(300, QChar(0x660E)));
        QCOMPARE(CutToByteLimit(QString(301, QChar(0x660E)), 600), QString(300, QChar(0x660E)));
        QCOMPARE(CutToByteLimit(QString(599, 'a') + QChar(0x660E), 600), QString(599, 'a'));
        QCOMPARE(CutToByteLimit(QString(598, 'a') + QStringLiteral("\U00020000b"), 600),
                 QString(598, 'a') + QStringLiteral("\U00020000"));

        auto frame = MakeFrame(m_data.path());
        CBookView* view = frame->m_pBookView;
        QClipboard* clipboard = QGuiApplication::clipboard();
        struct Case {
            QString text;
            QString expected;
            bool keepsHtml;
        } cases[] = {
            {QString(300, QChar(0x660E)), QString(300, QChar(0x660E)), true},
            {QString(301, QChar(0x660E)), QString(300, QChar(0x660E)), false},
            {QString(700, 'a'), QString(600, 'a'), false},
        };
        for (const Case& c : cases) {
            Show(view, WritePage("copy.html", "<p id=t>" + c.text + "</p>"));
            frame->m_pLeftForm->setFocus();  // the command comes from elsewhere
            view->OnSelectAll();
            QTRY_VERIFY_WITH_TIMEOUT(view->hasSelection(), 10000);
            QSignalSpy done(view, &CBookView::copyFinished);
            view->OnCopyLimited();
            QVERIFY(done.wait(10000));
            QCOMPARE(clipboard->text().trimmed(), c.expected);
            QCOMPARE(clipboard->mimeData()->hasHtml(), c.keepsHtml);
        }
        // With nothing selected, another program's clipboard stays as it was.
        Show(view, WritePage("copy.html", "<p>明月</p>"));
        clipboard->setText(QString(1000, 'z'));
        QSignalSpy done(view, &CBookView::copyFinished);
        view->OnCopyLimited();
        QVERIFY(done.count() == 1 || done.wait(5000));
        QCOMPARE(clipboard->text(), QString(1000, 'z'));
    }

    // On a 1024-pixel screen the reader's position stays in sight: the slider and the page label
    // keep their places on the toolbar rather than going into its overflow menu.
    void toolbarKeepsSliderAndLabelAt1024Pixels() {
        auto frame = MakeFrame(m_data.path());
        frame->showNormal();
        frame->resize(1024, 740);
        QTRY_COMPARE(frame->width(), 1024);
        CSCrollToolBar* bar = frame->ToolBar();
        for (QWidget* control : {static_cast<QWidget*>(bar->Slider()), static_cast<QWidget*>(bar->PageLabel())}) {
            QTRY_VERIFY(control->isVisible());
            QVERIFY(bar->rect().contains(control->geometry()));
        }
    }

    void commandLineFlags() {
        struct Case {
            QStringList args;
            bool splash;
            QString file;
            QString data = {};
            QString trace = {};
        } cases[] = {
            {{"kolva"}, true, {}},
            {{"kolva", "-Embedding"}, false, {}},
            {{"kolva", "/automation"}, false, {}},
            {{"kolva", "/p", "book.txt"}, true, "book.txt"},
            {{"kolva", "/no/such/folder/x.txt"}, true, "/no/such/folder/x.txt"},
            {{"kolva", "--no-splash"}, false, {}},
            {{"kolva", "--data", "/srv/texts", "book.txt"}, true, "book.txt", "/srv/texts"},
            {{"kolva", "--data=/srv/texts"}, true, {}, "/srv/texts"},
            {{"kolva", "--trace", "/tmp/t.txt", "--no-splash"}, false, {}, {}, "/tmp/t.txt"},
            {{"kolva", "--trace=t.txt"}, true, {}, {}, "t.txt"},
        };
        for (const Case& c : cases) {
            const CommandLineInfo info = ParseCommandLine(c.args);
            QCOMPARE(info.showSplash, c.splash);
            QCOMPARE(info.fileName, c.file);
            QCOMPARE(info.dataFolder, c.data);
            QCOMPARE(info.traceFile, c.trace);
            QVERIFY(!info.help && !info.version);
        }
        QVERIFY(ParseCommandLine({"kolva", "--help"}).help);
        QVERIFY(ParseCommandLine({"kolva", "--no-splash", "-h"}).help);
        QVERIFY(ParseCommandLine({"kolva", "--version"}).version);
        // The reader answers them without a window, and with no display at all.
        QProcess reader;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        reader.setProcessEnvironment(env);
        reader.start(QCoreApplication::applicationDirPath() + QStringLiteral("/kolva"), {QStringLiteral("--help")});
        QVERIFY(reader.waitForFinished(20000));
        QCOMPARE(reader.exitCode(), 0);
        QVERIFY(reader.readAllStandardOutput().contains("--data DIR"));
    }

    // Help is the page beside the program (a build copies it beside its programs).
    void helpIsFoundBesideTheProgram() {
        HelpCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        auto frame = MakeFrame(m_data.path());
        test::Messages().clear();
        frame->OnHelp();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.opened, QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + "/help.html"));
        QVERIFY(test::Messages().isEmpty());
    }
    // Whatever the tests did, the collection is as it was written and nothing was added to it.
    void cleanupTestCase() { QVERIFY(!m_before.empty() && test::Snapshot(m_data.path()) == m_before); }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "startup_test.moc"
