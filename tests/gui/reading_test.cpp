// The reading view as a reader meets it: pages of both parities set at a reading width, the
// Ctrl hint as a window of its own, and pages that stay documents (no scripts, no files outside
// the program's folders, no network, no navigation away).
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinterInfo>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTimer>
#include <QWebEngineScript>

#include "builder/builder.h"
#include <QClipboard>
#include <QWheelEvent>
#include "gui/gui_support.h"
#include "index/index.h"
#include "platform/scratch.h"
#include "view/bookview.h"
#include "view/documentpage.h"

using namespace kolva;

// Catches the addresses the program hands to the desktop's browser.
class DesktopBrowser : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class ReadingTest : public QObject {
    Q_OBJECT

    test::TempDir m_home, m_data, m_source;
    ScratchFolder m_scratch;
    std::unique_ptr<CBookView> m_view;
    DesktopBrowser m_browser;

    QString ScratchPath(const std::string& name) {
        return QString::fromStdString(m_scratch.FilePath(name).string());
    }
    QString WriteScratch(const std::string& name, const std::string& html) {
        m_scratch.WriteFile(name, html);
        return ScratchPath(name);
    }
    void Show(const QString& path, const QString& anchor = {}) {
        QSignalSpy loaded(m_view.get(), &QWebEngineView::loadFinished);
        m_view->Navigate2(path, anchor);
        QVERIFY(loaded.wait(20000));
    }
    // Runs a script beside the page's own (whose scripts are off) and waits for its answer.
    QVariant Run(const QString& script) {
        QVariant result;
        bool done = false;
        m_view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                      [&](const QVariant& v) { result = v, done = true; });
        if (!QTest::qWaitFor([&] { return done; }, 10000)) qWarning("no answer from the page");
        return result;
    }
    // The centre of an element of the page, in the view's pixels.
    QPoint CentreOf(const QString& id) {
        const QVariantList r =
            Run(QStringLiteral("(function(){var b=document.getElementById('%1').getBoundingClientRect();"
                               "return [b.left+b.width/2, b.top+b.height/2];})()")
                    .arg(id))
                .toList();
        return r.size() == 2 ? QPoint(int(r[0].toDouble()), int(r[1].toDouble())) : QPoint();
    }
    QWidget* Engine() { return m_view->focusProxy(); }

private slots:
    void initTestCase() {
        test::IsolateFromTheUser(m_home);
        QVERIFY(m_scratch.Create(m_home.path()));
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_browser, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_browser, "open");
        m_view = std::make_unique<CBookView>();
        m_view->SetReadableFolders({ScratchPath(""), QString::fromStdString(m_data.path().string())});
        m_view->resize(1140, 820);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        m_view->OnInitialUpdate();
        QTRY_VERIFY_WITH_TIMEOUT(Engine() != nullptr, 10000);
    }
    void init() { test::Messages().clear(); }
    void cleanupTestCase() {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        m_view.reset();
    }

    // A text page is laid out so that its body is read at a width on even and odd pages alike,
    // and the page shown from the contents is set like the same page composed with its marks.
    void bodyCellHasAReadingWidthOnBothParities() {
        const std::string poem =
            "《秋登兰山寄张五》\n{作者：孟浩然}\n\n北山白云里，隐者自怡悦。\n相望始登高，心随雁飞灭。\n"
            "愁因薄暮起，兴是清秋发。\n时见归村人，沙行渡头歇。\n天边树若荠，江畔洲如月。\n";
        test::WriteBytes(m_source / "catalogue.txt", "1\t唐詩\n2\t唐詩三百首\n3\t卷一\tv1\n");
        std::filesystem::create_directories(m_source / "v1");
        for (int n = 1; n <= 4; ++n) test::WriteBytes(m_source / "v1" / (std::to_string(n) + ".txt"), poem);
        BuildCollection(ReadCollectionSource(m_source.path()), m_data.path());
        CIndex index;
        QVERIFY(index.Open(m_data.path(), "Index", 0));

        const QString measure = QStringLiteral(
            "(function(){var c=document.querySelectorAll('table.wd_gray td');"
            "var r=[];for(var i=0;i<c.length;++i){var b=c[i].getBoundingClientRect();"
            "r.push(b.left,b.width);}return r;})()");
        for (int pageIndex = 0; pageIndex < 4; ++pageIndex) {
            const int column = (pageIndex + 1) % 2;  // page numbers 1..4
            std::string composed, stored;
            QVERIFY(index.ComposePage(pageIndex, composed, u"月", 0, 1) > 0);
            QVERIFY(index.PageStore().ReadPage(pageIndex, stored));
            Show(WriteScratch("windows1.html", composed), QStringLiteral("0000"));
            const QVariantList marked = Run(measure).toList();
            Show(WriteScratch("windows.html", stored));
            const QVariantList plain = Run(measure).toList();
            QCOMPARE(marked.size(), 4);
            const double body = marked[2 * column + 1].toDouble();
            QVERIFY2(body >= 400, qPrintable(QStringLiteral("page %1: body cell %2 px").arg(pageIndex + 1).arg(body)));
            QCOMPARE(plain, marked);
        }
    }

    void ctrlHintIsOneWindowWithItsOwnKeysAndClicks() {
        Show(WriteScratch("text.html", "<html><body><p>明月</p></body></html>"));
        SetMessageBoxHook({});  // the real box
        // A box that waited for a click would stop the test here: close it and fail instead.
        bool blocked = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [&] {
            blocked = true;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<QMessageBox*>(w)) w->close();
        });
        watchdog.start(3000);
        auto boxes = [] {
            int n = 0;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<QMessageBox*>(w) && w->isVisible()) ++n;
            return n;
        };
        QTest::keyClick(Engine(), Qt::Key_Control);
        QVERIFY(!blocked);
        QTRY_COMPARE(boxes(), 1);
        QMessageBox* box = m_view->HintBox();
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("マウスの右ボタンでコピーして下さい。"));
        QVERIFY(!m_view->isAncestorOf(box));
        QTest::keyPress(box, Qt::Key_Control);
        QTest::keyClick(Engine(), Qt::Key_Control);
        QTest::mousePress(box, Qt::RightButton, {}, QPoint(10, 10));
        QTest::mouseRelease(box, Qt::RightButton, {}, QPoint(10, 10));
        QVERIFY(!blocked);
        QCOMPARE(boxes(), 1);
        QVERIFY(!m_view->PopupMenu()->isVisible());
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_COMPARE(boxes(), 0);
        watchdog.stop();
        test::IsolateFromTheUser(m_home);  // boxes caught again
        QTest::keyClick(Engine(), Qt::Key_Control);
        QCOMPARE(test::Messages(), QStringList{QStringLiteral("マウスの右ボタンでコピーして下さい。")});
    }

    // Keys in the view: Ctrl+C copies the selection (no hint), Ctrl+=/-/0 and Ctrl+wheel zoom,
    // the page keys ask the window to turn the page.
    void copyZoomAndReadingKeysInTheView() {
        Show(WriteScratch("keys.html", "<html><body><p>明月光</p></body></html>"));
        m_view->activateWindow();
        Engine()->setFocus();
        Run(QStringLiteral("window.getSelection().selectAllChildren(document.body)"));
        QTRY_VERIFY_WITH_TIMEOUT(m_view->hasSelection(), 10000);
        QGuiApplication::clipboard()->clear();
        test::Messages().clear();
        QSignalSpy copied(m_view.get(), &CBookView::copyFinished);
        QTest::keyPress(Engine(), Qt::Key_Control);
        QTest::keyClick(Engine(), Qt::Key_C, Qt::ControlModifier);
        QTest::keyRelease(Engine(), Qt::Key_Control);
        QVERIFY(copied.count() == 1 || copied.wait(5000));
        QTRY_VERIFY(QGuiApplication::clipboard()->text().contains(QStringLiteral("明月光")));
        QVERIFY(test::Messages().isEmpty());  // Ctrl with another key: no hint

        QSignalSpy zoomed(m_view.get(), &CBookView::zoomChanged);
        QTest::keyClick(Engine(), Qt::Key_Equal, Qt::ControlModifier);
        QVERIFY(qAbs(m_view->zoomFactor() - 1.1) < 0.01);
        QTest::keyClick(Engine(), Qt::Key_Minus, Qt::ControlModifier);
        QTest::keyClick(Engine(), Qt::Key_Minus, Qt::ControlModifier);
        QVERIFY(m_view->zoomFactor() < 1.0);
        QTest::keyClick(Engine(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(m_view->zoomFactor(), 1.0);
        QCOMPARE(zoomed.count(), 4);
        QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), {}, QPoint(0, 120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Engine(), &wheel);
        QVERIFY(m_view->zoomFactor() > 1.0);
        m_view->ResetZoom();

        QSignalSpy keys(m_view.get(), &CBookView::readingKeyPressed);
        for (Qt::Key key : {Qt::Key_PageDown, Qt::Key_Space, Qt::Key_Right, Qt::Key_PageUp, Qt::Key_Left})
            QTest::keyClick(Engine(), key);
        QTest::keyClick(Engine(), Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(Engine(), Qt::Key_End, Qt::ControlModifier);
        using K = CBookView::ReadingKey;
        const K expected[] = {K::kNextPage, K::kNextPage, K::kNextPage, K::kPreviousPage,
                              K::kPreviousPage, K::kFirstPage, K::kLastPage};
        QCOMPARE(keys.count(), 7);
        for (int i = 0; i < 7; ++i) QCOMPARE(keys[i][0].value<K>(), expected[i]);
    }

    void printingWithoutAPrinterSaysSoAndPreviewStillWorks() {
        if (!QPrinterInfo::availablePrinters().isEmpty()) QSKIP("this computer has a printer");
        Show(WriteScratch("text.html", "<html><body><p>明月</p></body></html>"));
        m_view->OnPrint();
        m_view->OnPrintSetup();
        const QString message = QString::fromUtf8(kNoPrinterMessage);
        QCOMPARE(test::Messages(), (QStringList{message, message}));

        int pages = 0;
        QTimer poll;
        QElapsedTimer waited;
        waited.start();
        connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QPrintPreviewDialog*>(w);
                if (!dialog || !dialog->isVisible()) continue;
                auto* preview = dialog->findChild<QPrintPreviewWidget*>();
                pages = preview ? preview->pageCount() : 0;
                if (pages > 0 || waited.elapsed() > 20000) dialog->reject();
            }
        });
        poll.start(100);
        m_view->OnPrintPreview();
        QVERIFY(pages > 0);
    }

    void hostilePagesStayDocuments() {
        // A file outside the program's folders, and a server of the test standing for the network:
        // neither may be reached.
        const std::filesystem::path outside = m_home / "secret.svg";
        test::WriteBytes(outside, "<svg xmlns='http://www.w3.org/2000/svg' width='7' height='7'/>");
        const std::string secret =
            QUrl::fromLocalFile(QString::fromStdString(outside.string())).toString().toStdString();
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        int connections = 0;
        connect(&server, &QTcpServer::newConnection, [&] {
            while (QTcpSocket* socket = server.nextPendingConnection()) ++connections, socket->close();
        });
        const std::string net = "http://127.0.0.1:" + std::to_string(server.serverPort());

        const std::string page =
            "<html><head><meta charset=\"UTF-8\"><title>t</title>"
            "<link rel=stylesheet href=\"" + net + "/style.css\"></head><body>"
            "<script>document.title='ran';var x=new XMLHttpRequest();x.open('GET','" + secret +
            "',false);x.send();document.body.setAttribute('data-got',x.responseText);"
            "window.open('" + net + "/popup');</script>"
            "<p>明月</p><img id=file src=\"" + secret + "\"><img id=remote src=\"" + net + "/remote.png\">"
            "<iframe src=\"" + secret + "\"></iframe><iframe src=\"" + net + "/frame\"></iframe>"
            "<p><a id=tofile href=\"" + secret + "\">file</a></p>"
            "<p><a id=web href=\"http://example.invalid/page\">web</a></p>"
            "<p><a id=pop target=_blank href=\"https://example.invalid/pop\">pop</a></p>"
            "<p><a id=jump href=\"#end\">jump</a></p>"
            "<form action=\"" + net + "/form\"><input id=send type=submit value=send></form>"
            "<div style=\"height:3000px\"></div><a name=end id=end>end</a></body></html>";
        QSignalSpy refused(m_view->DocumentPage(), &CDocumentPage::navigationRefused);
        const QString path = WriteScratch("hostile.html", page);
        Show(path);
        QTest::qWait(500);
        QCOMPARE(m_view->title(), QStringLiteral("t"));  // the script did not run
        QVERIFY(Run(QStringLiteral("document.body.getAttribute('data-got')")).isNull());
        QCOMPARE(Run(QStringLiteral("document.getElementById('file').naturalWidth")).toInt(), 0);

        const int windows = int(QApplication::topLevelWidgets().size());
        struct Click {
            const char* id;
            std::string refusedUrl;  // empty: the click stays in the page
            bool handed;             // to the desktop's browser
        } clicks[] = {
            {"tofile", secret, false},
            {"web", "http://example.invalid/page", true},
            {"pop", "https://example.invalid/pop", true},
            {"send", net + "/form?", false},
            {"jump", {}, false},
        };
        for (const Click& c : clicks) {
            refused.clear();
            m_browser.opened.clear();
            const QPoint at = CentreOf(QString::fromLatin1(c.id));
            QVERIFY2(!at.isNull(), c.id);
            QTest::mouseClick(Engine(), Qt::LeftButton, {}, at);
            if (c.refusedUrl.empty()) {
                QTRY_COMPARE_WITH_TIMEOUT(m_view->GetLocationURL(), path + "#end", 5000);
                QTRY_VERIFY_WITH_TIMEOUT(m_view->page()->scrollPosition().y() > 1000, 5000);
                continue;
            }
            const QUrl url(QString::fromStdString(c.refusedUrl));
            QTRY_VERIFY2_WITH_TIMEOUT(!refused.isEmpty(), c.id, 5000);
            QCOMPARE(refused.last()[0].toUrl(), url);
            QCOMPARE(refused.last()[1].toBool(), c.handed);
            QCOMPARE(m_browser.opened, c.handed ? QList<QUrl>{url} : QList<QUrl>{});
            QCOMPARE(m_view->GetLocationURL(), path);
        }
        QCOMPARE(int(QApplication::topLevelWidgets().size()), windows);  // no pop-up window

        // A page that refreshes itself to a file or to a web address stays where it is.
        for (const std::string& to : {secret, net + "/refresh"}) {
            refused.clear();
            const QString refreshing = WriteScratch(
                "refresh.html", "<html><head><meta http-equiv=\"refresh\" content=\"0;url=" + to +
                                    "\"></head><body><p>明月</p></body></html>");
            Show(refreshing);
            QTRY_VERIFY_WITH_TIMEOUT(!refused.isEmpty(), 5000);
            QCOMPARE(refused.last()[0].toUrl(), QUrl(QString::fromStdString(to)));
            QTest::qWait(300);
            QCOMPARE(m_view->GetLocationURL(), refreshing);
        }
        QCOMPARE(connections, 0);
    }

    // The guard's own rule, behind the engine's: files inside the readable folders only.
    void guardAllowsTheReadableFoldersOnly() {
        const std::filesystem::path inside = m_home / "inside", other = m_home / "other";
        std::filesystem::create_directories(inside / "sub");
        std::filesystem::create_directories(other);
        std::filesystem::create_symlink(other, inside / "link");
        CPageGuard guard;
        guard.SetReadableFolders({QString::fromStdString(inside.string())});
        const QString in = QString::fromStdString(inside.string());
        struct Case {
            QString url;
            bool allowed;
        } cases[] = {
            {QUrl::fromLocalFile(in + "/page.html").toString(), true},
            {QUrl::fromLocalFile(in + "/sub/page.html").toString(), true},
            {QUrl::fromLocalFile(in + "/../other/page.html").toString(), false},
            {QUrl::fromLocalFile(in + "/link/page.html").toString(), false},  // a link out
            {QUrl::fromLocalFile(in + "-twin/page.html").toString(), false},  // a prefix only
            {QStringLiteral("file:///etc/hostname"), false},
            {QStringLiteral("http://127.0.0.1/"), false},
            {QStringLiteral("https://example.invalid/"), false},
            {QStringLiteral("qrc:/input.htm"), false},
            {QStringLiteral("data:image/png;base64,AAAA"), true},
            {QStringLiteral("about:blank"), true},
        };
        for (const Case& c : cases) QVERIFY2(guard.Allows(QUrl(c.url)) == c.allowed, qPrintable(c.url));
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ReadingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "reading_test.moc"
