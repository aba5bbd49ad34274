// The left pane: contents tree, range label, pages of entries, layout, page buttons.
#include <QDir>
#include <QEnterEvent>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTreeWidget>

#include "controls/tooltipbutton.h"
#include "gui/gui_support.h"
#include "pane/leftform.h"
#include "platform/scratch.h"
#include "ui/trace.h"
#include "view/bookview.h"

using namespace kolva;

class LeftFormTest : public QObject {
    Q_OBJECT

    test::TempDir m_home, m_data;
    std::map<std::string, std::string> m_before;  // the collection as written
    ScratchFolder m_scratch;

    struct Pane {
        std::unique_ptr<CBookView> view = std::make_unique<CBookView>();
        std::unique_ptr<CLeftForm> form;
    };
    Pane MakePane(const std::filesystem::path& data, int width = 300, int height = 600) {
        Pane p;
        p.form = std::make_unique<CLeftForm>(data, m_scratch.Path());
        p.form->SetBookView(p.view.get());
        p.form->OnInitialUpdate();
        p.view->OnInitialUpdate();
        p.form->resize(width, height);
        p.form->show();
        return p;
    }
    static QTreeWidgetItem* ItemOfSlot(QTreeWidget* tree, int slot) {
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toInt() == slot) return *it;
        return nullptr;
    }
    std::filesystem::path Trace() const { return m_home / "state" / "kolva" / "kolva.txt"; }

private slots:
    void initTestCase() {
        test::IsolateFromTheUser(m_home);
        test::WriteCatalogueCollection(m_data.path());
        m_before = test::Snapshot(m_data.path());
        QVERIFY(m_scratch.Create(m_home.path()));
        // The working folder holds a file of the user's named like the trace.
        QDir::setCurrent(QString::fromStdString(m_home.path().string()));
        test::WriteBytes(m_home / "kolva.txt", "the user's own notes");
    }
    void init() { test::Messages().clear(); }

    void treeFollowsTheCatalogue() {
        Pane p = MakePane(m_data.path());
        QTreeWidget* tree = p.form->Tree();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QTreeWidgetItem* top = tree->topLevelItem(0);
        QCOMPARE(top->text(0), QStringLiteral("唐詩"));
        QCOMPARE(top->childCount(), 2);
        QCOMPARE(top->child(0)->childCount(), 2);
        QCOMPARE(top->child(1)->child(0)->text(0), QStringLiteral("巻三"));
        QCOMPARE(top->child(1)->child(0)->data(0, Qt::UserRole).toInt(), 6);
        QVERIFY(!top->icon(0).pixmap(20, 20, QIcon::Selected).isNull());
        QVERIFY(std::filesystem::exists(Trace()));
        QVERIFY(test::Messages().isEmpty());
        QCOMPARE(p.form->Tab()->count(), 2);
        QCOMPARE(p.form->Tab()->tabText(0), QStringLiteral("目録"));
        QCOMPARE(p.form->Tab()->tabText(1), QStringLiteral("検索"));
        QCOMPARE(p.form->Tab()->currentIndex(), 0);
    }

    void selectingAVolumeShowsItsFirstPage() {
        Pane p = MakePane(m_data.path());
        QSignalSpy loaded(p.view.get(), &QWebEngineView::loadFinished);
        ItemOfSlot(p.form->Tree(), 6)->setSelected(true);
        QCOMPARE(p.form->Session().RangeNode(), uint16_t(6));
        QCOMPARE(p.form->Session().RangeName(), QStringLiteral("唐詩\\杜甫\\巻三"));
        QCOMPARE(qobject_cast<QLabel*>(p.form->Control("rangeLabel"))->text(), p.form->Session().RangeName());
        QCOMPARE(p.form->Session().Node(), 6);
        QCOMPARE(p.form->Session().Page(), 5);
        std::string stored;
        QVERIFY(p.form->Index().PageStore().ReadPage(5, stored));
        QCOMPARE(test::ReadBytes(p.form->VolumePageFile()), stored);
        QVERIFY(loaded.wait(20000));
        QCOMPARE(p.view->GetLocationURL(), QString::fromStdString(p.form->VolumePageFile().string()));

        // A book changes the range only.
        p.form->Tree()->clearSelection();
        ItemOfSlot(p.form->Tree(), 2)->setSelected(true);
        QCOMPARE(p.form->Session().RangeNode(), uint16_t(2));
        QCOMPARE(p.form->Session().RangeName(), QStringLiteral("唐詩\\李白"));
        QCOMPARE(p.form->Session().Node(), 6);

        // Another page of the entry; a number it does not have leaves file and view alone.
        QVERIFY(p.form->ShowNodePage(6, 0, 6));
        QVERIFY(p.form->Index().PageStore().ReadPage(6, stored));
        QCOMPARE(test::ReadBytes(p.form->VolumePageFile()), stored);
        QVERIFY(!p.form->ShowNodePage(6, 0, 99));
        QCOMPARE(test::ReadBytes(p.form->VolumePageFile()), stored);
    }

    void scratchPagesNeverWriteThroughALink() {
        Pane p = MakePane(m_data.path());
        test::WriteBytes(m_home / "victim", "keep");
        std::filesystem::remove(p.form->VolumePageFile());
        std::filesystem::create_symlink(m_home / "victim", p.form->VolumePageFile());
        QVERIFY(!p.form->ShowNodePage(3, 1, 1));
        QCOMPARE(test::ReadBytes(m_home / "victim"), std::string("keep"));
        QCOMPARE(p.view->GetLocationURL(), QStringLiteral("about:blank"));
        std::filesystem::remove(p.form->VolumePageFile());
    }

    void missingCatalogueIsReportedOnce() {
        test::TempDir bare;
        for (const char* f : {"Index-fl.h", "Index-fl.cnt", "Index-idx.h", "Index-idx.m"})
            std::filesystem::copy_file(m_data / f, bare / f);
        std::filesystem::remove(Trace());
        Pane p = MakePane(bare.path());
        QCOMPARE(test::Messages(), QStringList{QStringLiteral("you delete data file!")});
        QCOMPARE(p.form->Tree()->topLevelItemCount(), 0);
        QVERIFY(std::filesystem::exists(Trace()));
    }

    // The trace goes to the program's state folder (private to the user) or where --trace says;
    // a file of the user's in the working folder is never touched.
    void traceLeavesTheWorkingFolderAlone() {
        { Pane p = MakePane(m_data.path()); }
        QCOMPARE(test::ReadBytes(m_home / "kolva.txt"), std::string("the user's own notes"));
        QVERIFY(test::ReadBytes(Trace()).find("name=唐詩") != std::string::npos);
        QCOMPARE(std::filesystem::status(Trace().parent_path()).permissions() &
                     std::filesystem::perms::all,
                 std::filesystem::perms::owner_all);
        SetCatalogueTrace(m_home / "mine.txt");
        { Pane p = MakePane(m_data.path()); }
        SetCatalogueTrace({});
        QVERIFY(test::ReadBytes(m_home / "mine.txt").find("name=唐詩") != std::string::npos);
        QCOMPARE(test::ReadBytes(m_home / "kolva.txt"), std::string("the user's own notes"));
    }

    // The pane is laid out, not placed: at any width every search control lies inside it and
    // none overlaps another, the result list takes the height left and grows with the pane, the
    // page row sits under it with its box and total whole between the buttons.
    void layoutFollowsThePane() {
        Pane p = MakePane(m_data.path(), 300, 600);
        CLeftForm* f = p.form.get();
        QVERIFY(f->Tree()->isVisible());
        QVERIFY(!f->Control("resultList")->isVisible());
        QVERIFY(f->Tab()->height() >= f->Tab()->sizeHint().height() && f->Tab()->height() > 10);
        QVERIFY(f->Tree()->mapTo(f, QPoint(0, 0)).y() > f->Tab()->geometry().bottom());
        QVERIFY(f->Tree()->height() > 500);
        f->Tab()->setCurrentIndex(1);
        QVERIFY(!f->Tree()->isVisible());
        QVERIFY(!f->Control("previousListPage")->isVisible());
        QVERIFY(!f->Control("hiddenKeywords")->isVisible());
        f->Session().SetSearch({}, std::vector<SearchNodeTag>(300));
        f->ShowResultPage();  // a list page of 100 rows: the list scrolls
        qobject_cast<QLabel*>(f->Control("listPageCount"))->setText(QStringLiteral("/106500"));
        f->LayoutPane();
        const auto inPane = [&](const char* id) {
            QWidget* w = f->Control(id);
            return QRect(w->mapTo(f, QPoint(0, 0)), w->size());
        };
        const char* const ids[] = {"prompt", "keywordBox", "recentSearches", "searchButton", "variantBox", "methodGroup", "targetGroup", "rangeGroup", "totals", "resultList", "previousListPage", "listPageBox", "listPageCount", "nextListPage"};
        for (int width : {255, 300, 500}) {
            f->resize(width, 600);
            QApplication::processEvents();
            for (size_t i = 0; i < std::size(ids); ++i) {
                const char* a = ids[i];
                QVERIFY2(f->Control(a)->isVisible(), a);
                QVERIFY2(f->rect().contains(inPane(a)), qPrintable(QStringLiteral("%1 at %2").arg(a).arg(width)));
                for (size_t j = i + 1; j < std::size(ids); ++j)
                    QVERIFY2(!inPane(a).intersects(inPane(ids[j])),
                             qPrintable(QStringLiteral("%1 over %2 at %3").arg(a, ids[j]).arg(width)));
            }
            QVERIFY(inPane("keywordBox").width() > width - 100);  // the keyword box takes the width
            QVERIFY(inPane("resultList").width() >= width - 12);
            {  // the columns fit: the volume, page and hits columns stay in view, whole
                auto* list = qobject_cast<QTreeWidget*>(f->Control("resultList"));
                QHeaderView* header = list->header();
                QVERIFY(header->sectionViewportPosition(4) + header->sectionSize(4) <= list->viewport()->width());
                QVERIFY(!list->horizontalScrollBar()->isVisible());
                QVERIFY(header->sectionSize(2) >= list->fontMetrics().horizontalAdvance(QStringLiteral("卷二十九")));
            }
            QVERIFY(inPane("resultList").bottom() < inPane("previousListPage").top());
            QVERIFY(inPane("previousListPage").bottom() > 560);
            const auto* total = qobject_cast<QLabel*>(f->Control("listPageCount"));
            QVERIFY(total->width() >= total->fontMetrics().horizontalAdvance(total->text()));
            QVERIFY(inPane("listPageBox").left() > inPane("previousListPage").right() && inPane("listPageCount").right() < inPane("nextListPage").left());
        }
        const int listAt600 = inPane("resultList").height();
        f->resize(500, 800);
        QApplication::processEvents();
        QCOMPARE(inPane("resultList").height(), listAt600 + 200);
        QVERIFY(!f->Control("previousListPage")->isEnabled());
        QVERIFY(f->Control("nextListPage")->isEnabled());
    }

    void pageButtonsPaintTheirState() {
        CToolTipResourceButton button;
        button.move(40, 7);
        QVERIFY(button.LoadBitmaps(QStringLiteral(":/pictures/next-page.png")));
        QCOMPARE(button.size(), QSize(32, 32));
        QCOMPARE(button.pos(), QPoint(40, 7));
        QCOMPARE(button.PictureOffset(), 0);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(&button, &enter);
        QCOMPARE(button.PictureOffset(), 64);
        button.setDown(true);
        QCOMPARE(button.PictureOffset(), 32);
        button.setDown(false);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&button, &leave);
        QCOMPARE(button.PictureOffset(), 0);
        button.setEnabled(false);
        QApplication::sendEvent(&button, &enter);
        QCOMPARE(button.PictureOffset(), 96);

        const QString first = QStringLiteral("Next Page"), second = QStringLiteral("Last");
        button.SetToolTipText(&first, true);
        button.SetToolTipText(&second, true);
        QCOMPARE(button.toolTip(), second);
        button.SetToolTipText(nullptr, false);
        QCOMPARE(button.toolTip(), second);
    }
    // Whatever the tests did, the collection is as it was written and nothing was added to it.
    void cleanupTestCase() { QVERIFY(!m_before.empty() && test::Snapshot(m_data.path()) == m_before); }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    LeftFormTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "leftform_test.moc"
