// Commands of the main window: page, volume and hit stepping with their enable rules, the full
// width switch, cut and paste, dead keys, the slider, the toolbar pictures, the splash and the About box.
#include <QAction>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTreeWidget>

#include "controls/scrolltoolbar.h"
#include "gui/gui_support.h"
#include "pane/keywordbox.h"
#include "pane/leftform.h"
#include "pane/resultlist.h"
#include "platform/scratch.h"
#include "shell/aboutdlg.h"
#include "shell/commands.h"
#include "shell/mainfrm.h"
#include "shell/splash.h"
#include "view/bookview.h"

using namespace kolva;

namespace {

// Slots: 1 類 (level 1) > 2 書 > 3 巻A (pages 1-3), 4 巻B (pages 5-24); 5 空書 (a book without
// volumes); 6 類二 > 7 書七 (none) , 8 書八 > 9 巻C (pages 1-2). Page index = store order.
void WriteVolumesCollection(const std::filesystem::path& folder) {
    PageStoreWriter store(folder);
    IndexWriter index;
    uint32_t p = 0;
    auto volume = [&](const char* name, int first, int count) {
        for (int n = first; n < first + count; ++n, ++p) {
            store.AddPage(std::string(name) + "\\" + std::to_string(n) + ".htm",
                          "<html><title>t</title><TD>" + std::string(name) + std::to_string(n) +
                              "</TD><TD>" + std::string(name) + std::to_string(n) + "</TD></html>");
            index.AddText(p, U"頁");
        }
    };
    volume("A", 1, 3);
    volume("B", 5, 20);
    volume("C", 1, 2);
    store.Finish();
    for (int mode : {0, 1, 2}) index.Write(folder, IndexFileStem("Index", mode));
    WriteCatalogue(folder / "kolva.dir", {{u"類", 1, 1, 23, 1},
                                          {u"書", 2, 1, 23, 1},
                                          {u"巻A", 3, 1, 3, 1},
                                          {u"巻B", 3, 4, 20, 5},
                                          {u"空書", 2, 24, 0, 0},
                                          {u"類二", 1, 24, 2, 1},
                                          {u"書七", 2, 24, 0, 0},
                                          {u"書八", 2, 24, 2, 1},
                                          {u"巻C", 3, 24, 2, 1}});
}

}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT

    test::TempDir m_home, m_data;
    std::map<std::string, std::string> m_before;  // the collection as written
    ScratchFolder m_scratch;
    std::unique_ptr<CMainFrame> m_frame;

    CLeftForm* Form() { return m_frame->m_pLeftForm; }
    // Whether a command is enabled as the frame keeps it: its signals, not a poll, keep it current.
    bool Enabled(int id) {
        return m_frame->Action(id)->isEnabled();
    }
    QString Label() { return m_frame->ToolBar()->PageLabel()->text(); }
    void Select(int slot) { Form()->Tree()->setCurrentItem(Form()->ItemOfSlot(slot)); }
    int SelectedSlot() { return Form()->Tree()->currentItem()->data(0, Qt::UserRole).toInt(); }

private slots:
    void initTestCase() {
        test::IsolateFromTheUser(m_home);
        QDir::setCurrent(QString::fromStdString(m_home.path().string()));
        WriteVolumesCollection(m_data.path());
        m_before = test::Snapshot(m_data.path());
        QVERIFY(m_scratch.Create(m_home.path()));
    }
    void init() {
        test::Messages().clear();
        m_frame = std::make_unique<CMainFrame>(AppPaths{m_data.path(), m_data.path(), m_scratch.Path()});
        Form()->OnInitialUpdate();
        m_frame->m_pBookView->OnInitialUpdate();
        m_frame->resize(1200, 800);
        m_frame->show();
    }
    void cleanup() { m_frame.reset(); }

    void nothingIsEnabledBeforeAVolumeOrAPage() {
        for (int id : {ID_PREV_PAGE, ID_NEXT_PAGE, ID_PREV_VOLUME, ID_NEXT_VOLUME, ID_PREV_HIT,
                       ID_NEXT_HIT, ID_EDIT_COPY, ID_EDIT_SELECT_ALL, ID_FILE_PRINT, ID_FILE_PRINT_SETUP})
            QVERIFY2(!Enabled(id), qPrintable(QString::number(id)));
        QVERIFY(Enabled(ID_VIEW_SHOW_ALL));
        QVERIFY(Enabled(ID_APP_ABOUT));
        // The slider moves nothing before a volume is open.
        m_frame->ToolBar()->Slider()->setRange(0, 5);
        QTest::keyClick(m_frame->ToolBar()->Slider(), Qt::Key_Right);
        QCOMPARE(Label(), QString());
    }

    void pagesOfAVolume() {
        Select(4);
        QCOMPARE(Form()->Session().Node(), 4);
        QCOMPARE(Form()->Session().Page(), 5);
        CXSliderCtrl* slider = m_frame->ToolBar()->Slider();
        QCOMPARE(slider->minimum(), 5);
        QCOMPARE(slider->maximum(), 24);
        QCOMPARE(slider->value(), 5);
        QCOMPARE(Label(), QStringLiteral("5/24"));  // the page and the last page of its volume
        QVERIFY2(m_frame->windowTitle().startsWith(QStringLiteral("書 巻B 5頁 - ")), qPrintable(m_frame->windowTitle()));
        {  // the title stays when the window or the pane changes size or a tab is picked
            const QString title = m_frame->windowTitle();
            m_frame->resize(m_frame->width() + 40, m_frame->height());
            Form()->resize(Form()->width() + 30, Form()->height());
            Form()->Tab()->setCurrentIndex(1);
            Form()->Tab()->setCurrentIndex(0);
            QApplication::processEvents();
            QCOMPARE(m_frame->windowTitle(), title);
        }
        QVERIFY(!Enabled(ID_PREV_PAGE));
        QVERIFY(Enabled(ID_NEXT_PAGE));
        Form()->Session().MoveTo(Form()->Session().Node(), 23);
        m_frame->OnNextPage();
        QCOMPARE(Form()->Session().Page(), 24);
        QCOMPARE(slider->value(), 24);
        QCOMPARE(Label(), QStringLiteral("24/24"));
        QVERIFY(!Enabled(ID_NEXT_PAGE));
        QVERIFY(Enabled(ID_PREV_PAGE));
        QVERIFY(test::ReadBytes(Form()->VolumePageFile()).find("B24") != std::string::npos);
        // The slider shows a page when its movement ends: here a key.
        QTest::keyClick(slider, Qt::Key_Left);
        QCOMPARE(Form()->Session().Page(), 23);
        QCOMPARE(Label(), QStringLiteral("23/24"));
        QVERIFY(test::ReadBytes(Form()->VolumePageFile()).find("B23") != std::string::npos);
    }

    void volumesInSlotOrder() {
        Select(4);
        QVERIFY(Enabled(ID_NEXT_VOLUME));
        QVERIFY(Enabled(ID_PREV_VOLUME));
        m_frame->OnNextVolume();  // slots 5 to 8 are passed over
        QCOMPARE(Form()->Session().Node(), 9);
        QCOMPARE(Form()->Session().Page(), 1);
        QCOMPARE(SelectedSlot(), 9);  // no sibling to step to: the volume opened
        QCOMPARE(Form()->Session().RangeNode(), uint16_t(9));
        QVERIFY(!Enabled(ID_NEXT_VOLUME));
        m_frame->OnNextVolume();
        QCOMPARE(test::Messages(), QStringList{QStringLiteral("もう最後の巻まで至りました。")});
        QCOMPARE(Form()->Session().Node(), 9);
        m_frame->OnPrevVolume();
        QCOMPARE(Form()->Session().Node(), 4);
        QCOMPARE(SelectedSlot(), 4);
        m_frame->OnPrevVolume();
        QCOMPARE(Form()->Session().Node(), 3);
        QCOMPARE(SelectedSlot(), 3);  // the previous sibling
        QVERIFY(!Enabled(ID_PREV_VOLUME));
        test::Messages().clear();
        m_frame->OnPrevVolume();
        QCOMPARE(test::Messages(), QStringList{QStringLiteral("これ以上戻れません。もう巻一に至っています。")});
        m_frame->OnNextVolume();
        QCOMPARE(SelectedSlot(), 4);  // the next sibling
    }

    // A result row moves the reading position to its page: label, slider and page commands
    // follow; back and forward go through the pages viewed, result pages among them.
    void controlsFollowAResultPageAndHistoryGoesBack() {
        Select(4);  // 巻B, page 5
        Form()->Tab()->setCurrentIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(Form()->InputCtrl()->IsLoaded(), 20000);
        Form()->InputCtrl()->SetValue(QStringLiteral("頁"));
        Form()->SetRange(kWholeCollection);  // (picking 巻B made it the range)
        Form()->OnSearch();
        QTreeWidgetItem* row = nullptr;  // the second page of 巻C: page index 24
        for (int i = 0; i < Form()->ResultList()->topLevelItemCount(); ++i)
            if (Form()->ResultList()->topLevelItem(i)->data(0, Qt::UserRole).toInt() == 24)
                row = Form()->ResultList()->topLevelItem(i);
        QVERIFY(row);
        row->setSelected(true);
        CXSliderCtrl* slider = m_frame->ToolBar()->Slider();
        const auto at = [&](int node, int page, const char* label) {
            QCOMPARE(Form()->Session().Node(), node);
            QCOMPARE(Form()->Session().Page(), page);
            QCOMPARE(slider->value(), page);
            QCOMPARE(Label(), QString::fromUtf8(label));
        };
        at(9, 2, "2/2");
        QCOMPARE(slider->minimum(), 1);
        QCOMPARE(slider->maximum(), 2);
        QVERIFY(!Enabled(ID_NEXT_PAGE));
        QVERIFY(Enabled(ID_PREV_PAGE));
        m_frame->OnPrevPage();  // from the page shown, not from 巻B
        at(9, 1, "1/2");
        QVERIFY(test::ReadBytes(Form()->VolumePageFile()).find("C1") != std::string::npos);

        QCOMPARE(m_frame->Action(ID_HISTORY_BACK)->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Left));
        QCOMPARE(m_frame->Action(ID_HISTORY_FORWARD)->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Right));
        QVERIFY(Enabled(ID_HISTORY_BACK));
        QVERIFY(!Enabled(ID_HISTORY_FORWARD));
        m_frame->Action(ID_HISTORY_BACK)->trigger();  // the result page again
        at(9, 2, "2/2");
        QVERIFY(test::ReadBytes(Form()->ResultPageFile()).find("C2") != std::string::npos);
        m_frame->Action(ID_HISTORY_BACK)->trigger();
        at(4, 5, "5/24");
        QVERIFY(!Enabled(ID_HISTORY_BACK));
        QVERIFY(Enabled(ID_HISTORY_FORWARD));
        m_frame->Action(ID_HISTORY_FORWARD)->trigger();
        at(9, 2, "2/2");
        // A page viewed after going back drops the pages ahead.
        m_frame->OnPrevVolume();
        QVERIFY(!Enabled(ID_HISTORY_FORWARD));
    }

    // The page keys of the view turn the pages of the volume being read, within it; the zoom
    // is kept in the profile for the next start.
    void readingKeysTurnPagesAndZoomIsKept() {
        Select(4);  // 巻B, pages 5-24
        CBookView* view = m_frame->m_pBookView;
        emit view->readingKeyPressed(CBookView::ReadingKey::kNextPage);
        QCOMPARE(Form()->Session().Page(), 6);
        emit view->readingKeyPressed(CBookView::ReadingKey::kLastPage);
        QCOMPARE(Form()->Session().Page(), 24);
        emit view->readingKeyPressed(CBookView::ReadingKey::kNextPage);  // the last page: stays
        QCOMPARE(Form()->Session().Page(), 24);
        emit view->readingKeyPressed(CBookView::ReadingKey::kFirstPage);
        QCOMPARE(Form()->Session().Page(), 5);
        emit view->readingKeyPressed(CBookView::ReadingKey::kPreviousPage);
        QCOMPARE(Form()->Session().Page(), 5);
        QCOMPARE(Label(), QStringLiteral("5/24"));
        view->ZoomBy(+2);
        const double zoom = view->zoomFactor();
        m_frame.reset();
        init();
        QCOMPARE(m_frame->m_pBookView->zoomFactor(), zoom);
        m_frame->m_pBookView->ResetZoom();
        // From the contents tree, the 表示 menu's keys zoom the view.
        m_frame->show();
        m_frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
        Form()->Tree()->setFocus();
        QTest::keyClick(Form()->Tree(), Qt::Key_Equal, Qt::ControlModifier);
        QVERIFY(m_frame->m_pBookView->zoomFactor() > 1.05);
        QTest::keyClick(Form()->Tree(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(m_frame->m_pBookView->zoomFactor(), 1.0);
        QTest::keyClick(Form()->Tree(), Qt::Key_Minus, Qt::ControlModifier);
        QVERIFY(m_frame->m_pBookView->zoomFactor() < 0.95);
        m_frame->m_pBookView->ResetZoom();
    }

    void hitsOfAResultPage() {
        std::string page = "<html><body>";
        for (int i = 0; i < 5; ++i)
            page += "<a name=\"000" + std::to_string(i) + "\"></a><div style=\"height:2000px\">x</div>";
        QVERIFY(m_scratch.WriteFile("windows1.html", page + "</body></html>"));
        Form()->ShowResultFile(m_scratch.FilePath("windows1.html"), 5, 0);  // a page of 5 hits
        QVERIFY(!Enabled(ID_PREV_HIT));
        QVERIFY(Enabled(ID_NEXT_HIT));
        const QString file = QString::fromStdString(Form()->ResultPageFile().string());
        m_frame->OnNextHit();
        QCOMPARE(m_frame->m_pBookView->GetLocationURL(), file + "#0001");
        for (int i = 0; i < 3; ++i) m_frame->OnNextHit();
        QCOMPARE(m_frame->m_pBookView->GetLocationURL(), file + "#0004");
        QVERIFY(!Enabled(ID_NEXT_HIT));
        QVERIFY(Enabled(ID_PREV_HIT));
        QTRY_VERIFY_WITH_TIMEOUT(!m_frame->m_pBookView->IsBlank() && Enabled(ID_EDIT_COPY), 10000);
    }

    void showAllTwiceCutAndPaste() {
        m_frame->OnShowAll();
        QVERIFY(!Form()->isVisible());
        m_frame->OnShowAll();
        QVERIFY(Form()->isVisible());
        QCOMPARE(m_frame->Splitter()->sizes().value(0), 260);

        QLineEdit* box = qobject_cast<QLineEdit*>(Form()->Control("listPageBox"));
        box->setReadOnly(false);
        box->setText("12");
        // Cut and paste work wherever text can be typed; the file keys without a command do
        // nothing.
        box->selectAll();
        QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(box->text(), QString());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("12"));
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(box->text(), QStringLiteral("1212"));
        for (Qt::Key key : {Qt::Key_N, Qt::Key_S})
            QTest::keyClick(box, key, Qt::ControlModifier);
        QCOMPARE(box->text(), QStringLiteral("1212"));
    }

    void toolbarPicturesShowTheBackgroundThroughMagenta() {
        QImage strip(80, 40, QImage::Format_RGB32);
        strip.fill(qRgb(1, 2, 3));
        strip.setPixel(0, 0, qRgb(255, 0, 255));
        const QImage masked = MaskStrip(strip, qRgb(255, 0, 255));
        QCOMPARE(qAlpha(masked.pixel(0, 0)), 0);
        QCOMPARE(masked.pixel(1, 0), qRgb(1, 2, 3));

        // On screen: the first button's corner is magenta in the strips, so the toolbar's
        // picture shows there; elsewhere the button's own picture covers it.
        CSCrollToolBar* bar = m_frame->ToolBar();
        QWidget* button = bar->widgetForAction(m_frame->Action(ID_EDIT_SELECT_ALL));
        const QImage shot = bar->grab().toImage();
        const QImage& picture = bar->Background();
        const QSize icon = bar->iconSize();
        const QPoint corner = button->geometry().center() - QPoint(icon.width() / 2, icon.height() / 2);
        QCOMPARE(shot.pixel(corner), picture.pixel(corner.x() % picture.width(), corner.y() % picture.height()));
        const QPoint ink = corner + QPoint(12, 12);  // a line of the page picture
        QVERIFY(shot.pixel(ink) != picture.pixel(ink.x() % picture.width(), ink.y() % picture.height()));
    }

    void splashGoesAtTheFirstKeyOrClick() {
        CSplashWnd::EnableSplashScreen(false);
        CSplashWnd::ShowSplashScreen(m_frame.get());
        QVERIFY(!CSplashWnd::Current());
        QKeyEvent key(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
        QVERIFY(!CSplashWnd::PreTranslateAppMessage(&key));

        CSplashWnd::EnableSplashScreen(true);
        CSplashWnd::ShowSplashScreen(m_frame.get());
        CSplashWnd* splash = CSplashWnd::Current();
        QVERIFY(splash && splash->isVisible());
        QCOMPARE(splash->Timer().interval(), 3000);  // at most 3 s; the ready window closes it sooner
        QVERIFY(splash->Timer().isActive());
        QVERIFY(splash->Player()->IsPlaying());
        QVERIFY(splash->Player()->Movie().endsWith("/main.swf"));
        QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton, {}, {});
        QVERIFY(!CSplashWnd::PreTranslateAppMessage(&move));
        QVERIFY(CSplashWnd::PreTranslateAppMessage(&key));  // swallowed: F3 does nothing else
        QVERIFY(!CSplashWnd::Current());
        QVERIFY(!CSplashWnd::PreTranslateAppMessage(&key));
        CSplashWnd::EnableSplashScreen(false);
    }

    void aboutBoxClosesOnARelease() {
        CAboutDlg about;
        QCOMPARE(about.size(), QSize(500, 350));
        QVERIFY(about.windowFlags() & Qt::FramelessWindowHint);
        about.show();
        QTest::mouseRelease(&about, Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(about.result(), int(QDialog::Accepted));
        QVERIFY(!about.isVisible());
    }
    // Whatever the tests did, the collection is as it was written and nothing was added to it.
    void cleanupTestCase() { QVERIFY(!m_before.empty() && test::Snapshot(m_data.path()) == m_before); }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    CommandsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "commands_test.moc"
