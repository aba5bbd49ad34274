// Searching from the pane: keyword box, options, totals, result list and paging, result pages.
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QToolTip>
#include <QTreeWidget>

#include "gui/gui_support.h"
#include "pane/keywordbox.h"
#include "pane/leftform.h"
#include "pane/resultlist.h"
#include "platform/scratch.h"
#include "ui/appinfo.h"
#include "view/bookview.h"

using namespace kolva;

namespace {

// 類 > 書 > 巻 spans pages 0-249 (one 一 each, numbered 1-250); pages 250-259 lie in the
// category under no volume and hold 一一二. Every page has its text in the body cell.
void WriteSearchCollection(const std::filesystem::path& folder) {
    PageStoreWriter store(folder);
    IndexWriter index;
    for (uint32_t p = 0; p < 260; ++p) {
        const int number = int(p) + 1;
        const std::u32string text = p < 250 ? U"一" : U"一一二";
        const std::string body = p < 250 ? "一" : "一一二";
        const bool first = number % 2 == 0;
        store.AddPage(test::PageName(number),
                      "<html><title>t</title><TD>" + std::string(first ? body : "x") + "</TD><TD>" +
                          (first ? "x" : body) + "</TD></html>");
        index.AddText(p, text);
    }
    store.Finish();
    for (int mode : {0, 1, 2}) index.Write(folder, IndexFileStem("Index", mode));
    WriteCatalogue(folder / "kolva.dir",
                   {{u"類", 1, 1, 260, 1}, {u"書", 2, 1, 250, 1}, {u"巻", 3, 1, 250, 1}});
}

}  // namespace

class SearchTest : public QObject {
    Q_OBJECT

    test::TempDir m_home, m_data;
    std::map<std::string, std::string> m_before;  // the collection as written
    ScratchFolder m_scratch;
    std::unique_ptr<CBookView> m_view;
    std::unique_ptr<CLeftForm> m_form;

    CLeftForm* Form() { return m_form.get(); }
    QString Totals() { return qobject_cast<QLabel*>(Form()->Control("totals"))->text(); }
    QLineEdit* PageBox() { return qobject_cast<QLineEdit*>(Form()->Control("listPageBox")); }
    void Search(const QString& keywords) {
        Form()->InputCtrl()->SetValue(keywords);
        Form()->OnSearch();
    }
    QStringList Row(int i) {
        QTreeWidgetItem* item = Form()->ResultList()->topLevelItem(i);
        return {item->text(0), item->text(1), item->text(2), item->text(3), item->text(4)};
    }
    void PressEnter(QWidget* target) { QTest::keyClick(target, Qt::Key_Return); }

private slots:
    void initTestCase() {
        test::IsolateFromTheUser(m_home);
        QDir::setCurrent(QString::fromStdString(m_home.path().string()));
        WriteSearchCollection(m_data.path());
        m_before = test::Snapshot(m_data.path());
        QVERIFY(m_scratch.Create(m_home.path()));
        m_view = std::make_unique<CBookView>();
        m_form = std::make_unique<CLeftForm>(m_data.path(), m_scratch.Path());
        m_form->SetBookView(m_view.get());
        m_form->OnInitialUpdate();
        m_view->OnInitialUpdate();
        m_form->resize(300, 700);
        m_form->show();
        m_form->Tab()->setCurrentIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(Form()->InputCtrl()->IsLoaded(), 20000);
    }
    void init() { test::Messages().clear(); }

    void searchFillsTotalsRowsAndPageRow() {
        Search(QStringLiteral("一"));
        QCOMPARE(Totals(), QStringLiteral("全部で 260 頁で、270 箇所でした。"));
        QCOMPARE(Form()->Session().ListPageCount(), 3);
        QCOMPARE(Form()->Session().ListPage(), 1);
        QCOMPARE(Form()->ResultList()->topLevelItemCount(), 100);
        // Reading order: the volume's pages first, the pages under no volume (page 0) after them.
        QCOMPARE(Row(0), (QStringList{"類", "書", "巻", "1", "1"}));
        QCOMPARE(Row(10), (QStringList{"類", "書", "巻", "11", "1"}));
        QCOMPARE(PageBox()->text(), QStringLiteral("1"));
        QCOMPARE(qobject_cast<QLabel*>(Form()->Control("listPageCount"))->text(), QStringLiteral("/3"));
        {  // a cell cut by its column shows its whole text when hovered, a whole cell nothing
            CResultList* list = Form()->ResultList();
            list->topLevelItem(0)->setText(1, QStringLiteral("御定全唐詩錄百卷"));
            const auto hover = [&] {
                const QPoint at = list->visualItemRect(list->topLevelItem(0)).topLeft() +
                                  QPoint(list->columnViewportPosition(1) + 3, 3);
                QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
                QApplication::sendEvent(list->viewport(), &help);
            };
            list->setColumnWidth(1, 400);
            hover();
            QVERIFY(!QToolTip::isVisible());
            list->setColumnWidth(1, 30);
            hover();
            QTRY_VERIFY(QToolTip::isVisible());
            QCOMPARE(QToolTip::text(), QStringLiteral("御定全唐詩錄百卷"));
            QToolTip::hideText();
        }
        {  // a long total is shown whole
            auto* count = qobject_cast<QLabel*>(Form()->Control("listPageCount"));
            count->setText(QStringLiteral("/106500"));  // as 10,650,000 rows would have it
            Form()->LayoutPane();
            QVERIFY(count->width() >= count->fontMetrics().horizontalAdvance(QStringLiteral("/106500")));
            QVERIFY(count->geometry().right() < Form()->Control("nextListPage")->geometry().left());
            Form()->UpdatePageBox();
            Form()->LayoutPane();
        }
        QVERIFY(!Form()->Control("previousListPage")->isEnabled());
        QVERIFY(Form()->Control("nextListPage")->isEnabled());
        QVERIFY(Form()->Control("previousListPage")->isVisible());

        Form()->OnNextListPage();
        Form()->OnNextListPage();
        QCOMPARE(Form()->Session().ListPage(), 3);
        QCOMPARE(Form()->ResultList()->topLevelItemCount(), 60);
        QCOMPARE(Row(59), (QStringList{"類", "", "", "0", "2"}));
        QVERIFY(!Form()->Control("nextListPage")->isEnabled());
        // A bad page number puts the current page back; Enter jumps to a good one.
        for (const char* bad : {"0", "4", ""}) {
            PageBox()->setText(bad);
            Form()->GoToTypedPage();
            QCOMPARE(PageBox()->text(), QStringLiteral("3"));
        }
        PageBox()->setText("2");
        PressEnter(PageBox());
        QCOMPARE(Form()->Session().ListPage(), 2);
        QCOMPARE(Totals(), QStringLiteral("全部で 260 頁で、270 箇所でした。"));  // no new search
    }

    void rangeIdeographicSpaceAndOr() {
        Form()->SetRange(3);  // the volume
        Search(QStringLiteral("一"));
        QCOMPARE(Totals(), QStringLiteral("全部で 250 頁で、250 箇所でした。"));
        Form()->SetRange(1);
        Search(QStringLiteral("一\u3000二"));
        QCOMPARE(Totals(), QStringLiteral("全部で 10 頁で、30 箇所でした。"));
        QCOMPARE(Form()->Session().LastQuery().keywords, QStringLiteral("一\u3000二"));
        qobject_cast<QRadioButton*>(Form()->Control("orRadio"))->setChecked(true);
        Search(QStringLiteral("二 三"));
        QCOMPARE(Totals(), QStringLiteral("全部で 10 頁で、10 箇所でした。"));
        QVERIFY(Form()->Session().LastQuery().method == SearchMethod::kOr);
        QCOMPARE(Form()->Session().LastQuery().keywords, QStringLiteral("二\u3000三"));
        qobject_cast<QRadioButton*>(Form()->Control("andRadio"))->setChecked(true);
        QCOMPARE(Form()->Session().ListPageCount(), 1);
        QVERIFY(!Form()->Control("nextListPage")->isEnabled());
        QVERIFY(PageBox()->isReadOnly());
        // With one list page, Enter searches again.
        Form()->InputCtrl()->SetValue(QStringLiteral("一"));
        PressEnter(Form()->Control("searchButton"));
        QTRY_COMPARE(Totals(), QStringLiteral("全部で 260 頁で、270 箇所でした。"));
    }

    // The keyword box is read without waiting in a nested event loop: nothing is searched before
    // it answers, then what it holds; the searches run are offered again, latest first and each
    // once, and one picked is searched again.
    void enterReadsTheBoxAndRecentSearchesComeBack() {
        QSettings(kProfileOrganisation, kAppTitle).remove(QStringLiteral("Search/Recent"));
        Search(QStringLiteral("二"));
        Search(QStringLiteral("一 二"));
        Search(QStringLiteral("二"));
        QCOMPARE(Form()->RecentSearches(), (QStringList{QStringLiteral("二"), QStringLiteral("一 二")}));
        Form()->InputCtrl()->SetValue(QStringLiteral("一"));
        PressEnter(Form()->Control("searchButton"));
        PressEnter(Form()->Control("searchButton"));
        QCOMPARE(Form()->Session().LastQuery().keywords, QStringLiteral("二"));  // nothing searched before the answer
        QTRY_COMPARE(Form()->Session().LastQuery().keywords, QStringLiteral("一"));
        QTRY_COMPARE(Form()->RecentSearches().size(), 3);
        QCOMPARE(Form()->RecentSearches().front(), QStringLiteral("一"));
        emit Form()->RecentMenu()->aboutToShow();
        const QList<QAction*> offered = Form()->RecentMenu()->actions();
        QCOMPARE(offered.size(), 3);
        QCOMPARE(offered[2]->text(), QStringLiteral("一 二"));
        offered[2]->trigger();
        QTRY_COMPARE(Form()->Session().LastQuery().keywords, QStringLiteral("一\u3000二"));
    }

    void messagesAndAnEmptyBox() {
        Search(QStringLiteral("二"));
        const QString before = Totals();
        Form()->SetRange(0);
        Search(QStringLiteral("一"));
        QCOMPARE(test::Messages(), QStringList{QStringLiteral("検索範囲をまた指定していません。")});
        Form()->SetRange(1);
        test::Messages().clear();
        Search(QString());  // an empty box answers null: nothing happens, nothing is said
        QVERIFY(test::Messages().isEmpty());
        QCOMPARE(Totals(), before);
        // Spaces only: the search takes no word; the last search stands, and its words still
        // mark its pages.
        Search(QStringLiteral("  "));
        QVERIFY(test::Messages().isEmpty());
        QCOMPARE(Totals(), before);
        QCOMPARE(Form()->Session().LastQuery().keywords, QStringLiteral("二"));

    }

    void choosingRowsShowsComposedPagesInTurn() {
        Search(QStringLiteral("一"));
        // The most hits first: the pages of 一一二.
        emit Form()->ResultList()->header()->sectionClicked(4);
        emit Form()->ResultList()->header()->sectionClicked(4);
        QSignalSpy loaded(m_view.get(), &QWebEngineView::loadFinished);
        Form()->ResultList()->topLevelItem(0)->setSelected(true);
        const auto first = Form()->ResultPageFile();
        QCOMPARE(first.filename().string(), std::string("windows1.html"));
        QCOMPARE(Form()->Session().HitCount(), 2);
        QCOMPARE(Form()->Session().CurrentHit(), 0);
        QVERIFY(test::ReadBytes(first).find("<a name=\"0001\"></a>") != std::string::npos);
        QCOMPARE(m_view->GetLocationURL(), QString::fromStdString(first.string()) + "#0000");
        Form()->ResultList()->clearSelection();
        Form()->ResultList()->topLevelItem(20)->setSelected(true);
        QCOMPARE(Form()->ResultPageFile().filename().string(), std::string("windows2.html"));
        QCOMPARE(Form()->Session().HitCount(), 1);
        QVERIFY(loaded.wait(20000) || loaded.count() > 0);
    }

    void resultPagesNeverWriteThroughALink() {
        Search(QStringLiteral("一"));
        const auto target = Form()->NextResultPageFile();
        test::WriteBytes(m_home / "victim", "keep");
        std::filesystem::remove(target);
        std::filesystem::create_symlink(m_home / "victim", target);
        const auto shownBefore = Form()->ResultPageFile();
        Form()->ResultList()->clearSelection();
        Form()->ResultList()->topLevelItem(5)->setSelected(true);
        QCOMPARE(test::ReadBytes(m_home / "victim"), std::string("keep"));
        QCOMPARE(Form()->ResultPageFile(), shownBefore);  // the choice had no effect
        std::filesystem::remove(target);
    }

    // Every heading sorts the whole list, all its list pages; a second click reverses; ties
    // stay in reading order. A new search reads in order again.
    void headingsSortTheWholeListEitherWay() {
        Search(QStringLiteral("一"));
        CResultList* list = Form()->ResultList();
        struct Click {
            int column;
            QStringList first, last;  // the first and the last row of the first list page
        } clicks[] = {
            {3, {"類", "", "", "0", "2"}, {"類", "書", "巻", "90", "1"}},
            {3, {"類", "書", "巻", "250", "1"}, {"類", "書", "巻", "151", "1"}},
            {4, {"類", "書", "巻", "1", "1"}, {"類", "書", "巻", "100", "1"}},
            {4, {"類", "", "", "0", "2"}, {"類", "書", "巻", "90", "1"}},
            {2, {"類", "", "", "0", "2"}, {"類", "書", "巻", "90", "1"}},
            {1, {"類", "", "", "0", "2"}, {"類", "書", "巻", "90", "1"}},
            {1, {"類", "書", "巻", "1", "1"}, {"類", "書", "巻", "100", "1"}},
        };
        for (const Click& click : clicks) {
            Form()->OnNextListPage();
            emit list->header()->sectionClicked(click.column);
            QCOMPARE(Form()->Session().ListPage(), 1);
            QCOMPARE(Row(0), click.first);
            QCOMPARE(Row(99), click.last);
        }
        Search(QStringLiteral("一"));
        QCOMPARE(Row(0), (QStringList{"類", "書", "巻", "1", "1"}));
    }

    void targetRadiosReopenTheIndex() {
        auto click = [&](const char* name) { qobject_cast<QRadioButton*>(Form()->Control(name))->click(); };
        click("notesRadio");
        QCOMPARE(Form()->CompositionTarget(), 2);
        QVERIFY(Form()->Index().IsOpen());
        std::filesystem::rename(m_data / "Index_content-idx.m", m_data / "moved");
        click("mainTextRadio");
        QCOMPARE(test::Messages(), QStringList{QStringLiteral("データを開けませんでした。")});
        QVERIFY(!Form()->Index().IsOpen());
        std::filesystem::rename(m_data / "moved", m_data / "Index_content-idx.m");
        click("fullTextRadio");
        QCOMPARE(Form()->CompositionTarget(), 0);
        QVERIFY(Form()->Index().IsOpen());
    }
    // Whatever the tests did, the collection is as it was written and nothing was added to it.
    // A damaged first record (all zeros) is the search range at start-up: it names no entry, so
    // the search finds no row, and none is named after the tree's root.
    void aRangeRecordOfZerosGivesNoRows() {
        test::TempDir data;
        WriteSearchCollection(data.path());
        WriteCatalogue(data / "kolva.dir", {{u"", 0, 0, 0, 0}, {u"類", 1, 1, 260, 1},
                                            {u"書", 2, 1, 250, 1}, {u"巻", 3, 1, 250, 1}});
        CLeftForm form(data.path(), m_scratch.Path());
        form.OnInitialUpdate();
        form.Tab()->setCurrentIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(form.InputCtrl()->IsLoaded(), 20000);
        form.InputCtrl()->SetValue(QStringLiteral("一"));
        form.OnSearch();
        QCOMPARE(form.ResultList()->topLevelItemCount(), 0);
        QCOMPARE(qobject_cast<QLabel*>(form.Control("totals"))->text(), QStringLiteral("全部で 0 頁で、0 箇所でした。"));
    }

    // Over several categories the tree starts with 全体, the range a search starts with; a
    // category picked in the tree narrows it as before.
    void theWholeCollectionIsTheFirstRange() {
        test::TempDir data;
        WriteSearchCollection(data.path());
        WriteCatalogue(data / "kolva.dir", {{u"類", 1, 1, 250, 1}, {u"書", 2, 1, 250, 1},
                                            {u"巻", 3, 1, 250, 1}, {u"別", 1, 251, 10, 1},
                                            {u"別書", 2, 251, 10, 1}, {u"別巻", 3, 251, 10, 1}});
        CLeftForm form(data.path(), m_scratch.Path());
        form.OnInitialUpdate();
        QTreeWidget* tree = form.findChild<QTreeWidget*>(QStringLiteral("contentsTree"));
        QVERIFY(tree);
        QCOMPARE(tree->topLevelItemCount(), 3);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("全体"));
        QCOMPARE(form.Session().RangeNode(), uint16_t(0));
        QCOMPARE(qobject_cast<QLabel*>(form.Control("rangeLabel"))->text(), QStringLiteral("全体"));
        form.Tab()->setCurrentIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(form.InputCtrl()->IsLoaded(), 20000);
        form.InputCtrl()->SetValue(QStringLiteral("一"));
        form.OnSearch();
        const auto totals = [&] { return qobject_cast<QLabel*>(form.Control("totals"))->text(); };
        QCOMPARE(totals(), QStringLiteral("全部で 260 頁で、270 箇所でした。"));
        QVERIFY(test::Messages().isEmpty());
        tree->topLevelItem(2)->setSelected(true);  // 別
        QCOMPARE(form.Session().RangeNode(), uint16_t(4));
        form.OnSearch();
        QCOMPARE(totals(), QStringLiteral("全部で 10 頁で、20 箇所でした。"));
        tree->topLevelItem(2)->setSelected(false);
        tree->topLevelItem(0)->setSelected(true);
        QCOMPARE(form.Session().RangeNode(), uint16_t(0));
        QCOMPARE(qobject_cast<QLabel*>(form.Control("rangeLabel"))->text(), QStringLiteral("全体"));
    }

    void cleanupTestCase() { QVERIFY(!m_before.empty() && test::Snapshot(m_data.path()) == m_before); }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    SearchTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "search_test.moc"
