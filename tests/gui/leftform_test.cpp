// The left pane: contents tree, range label, pages of entries, layout, page buttons.
#include <QDir>
#include <QEnterEvent>
#include <QLabel>
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
    static QRect Geometry(CLeftForm* form, int id) { return form->Control(id)->geometry(); }
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
        QCOMPARE(p.form->m_nRangeNode, uint16_t(6));
        QCOMPARE(p.form->m_strRange, QStringLiteral("唐詩\\杜甫\\巻三"));
        QCOMPARE(qobject_cast<QLabel*>(p.form->Control(1035))->text(), p.form->m_strRange);
        QCOMPARE(p.form->m_nCurNode, 6);
        QCOMPARE(p.form->m_nCurPage, 5);
        std::string stored;
        QVERIFY(p.form->m_index.PageStore().ReadPage(5, stored));
        QCOMPARE(test::ReadBytes(p.form->m_strTempPage), stored);
        QVERIFY(loaded.wait(20000));
        QCOMPARE(p.view->GetLocationURL(), QString::fromStdString(p.form->m_strTempPage.string()));

        // A book changes the range only.
        p.form->Tree()->clearSelection();
        ItemOfSlot(p.form->Tree(), 2)->setSelected(true);
        QCOMPARE(p.form->m_nRangeNode, uint16_t(2));
        QCOMPARE(p.form->m_strRange, QStringLiteral("唐詩\\李白"));
        QCOMPARE(p.form->m_nCurNode, 6);

        // Another page of the entry; a number it does not have leaves file and view alone.
        QVERIFY(p.form->ShowNodePage(6, 0, 6));
        QVERIFY(p.form->m_index.PageStore().ReadPage(6, stored));
        QCOMPARE(test::ReadBytes(p.form->m_strTempPage), stored);
        QVERIFY(!p.form->ShowNodePage(6, 0, 99));
        QCOMPARE(test::ReadBytes(p.form->m_strTempPage), stored);
    }

    void scratchPagesNeverWriteThroughALink() {
        Pane p = MakePane(m_data.path());
        test::WriteBytes(m_home / "victim", "keep");
        std::filesystem::remove(p.form->m_strTempPage);
        std::filesystem::create_symlink(m_home / "victim", p.form->m_strTempPage);
        QVERIFY(!p.form->ShowNodePage(3, 1, 1));
        QCOMPARE(test::ReadBytes(m_home / "victim"), std::string("keep"));
        QCOMPARE(p.view->GetLocationURL(), QStringLiteral("about:blank"));
        std::filesystem::remove(p.form->m_strTempPage);
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

    void layoutOfBothTabsFor300Pixels() {
        Pane p = MakePane(m_data.path(), 300, 600);
        CLeftForm* f = p.form.get();
        QCOMPARE(f->Tab()->geometry(), QRect(0, 0, 299, 599));
        QCOMPARE(f->Tree()->geometry(), QRect(5, 26, 290, 570));
        QVERIFY(f->Tree()->isVisible());
        QVERIFY(!f->Control(1007)->isVisible());

        f->Tab()->setCurrentIndex(1);
        QVERIFY(!f->Tree()->isVisible());
        QCOMPARE(Geometry(f, 1020), QRect(230, 115, 50, 20));
        QCOMPARE(Geometry(f, 1011), QRect(250, 45, 45, 25));
        QCOMPARE(Geometry(f, 1041), QRect(5, 45, 218, 25));
        QCOMPARE(Geometry(f, 1063), QRect(225, 45, 20, 25));  // the recent searches
        QCOMPARE(Geometry(f, 1044), QRect(189, 160, 60, 20));
        QCOMPARE(Geometry(f, 1007), QRect(5, 250, 290, 346));
        QVERIFY(!f->Control(1055)->isVisible());
        QVERIFY(!f->Control(1001)->isVisible());

        f->m_nListPageCount = 3;
        f->m_nListPage = 1;
        f->LayoutPane();
        QCOMPARE(Geometry(f, 1055), QRect(5, 563, 32, 32));
        QCOMPARE(Geometry(f, 1057), QRect(263, 563, 32, 32));
        // The list-page box and its total as wide as their numbers (at least the box's old 35
        // pixels), side by side and centred between the buttons.
        const QRect box = Geometry(f, 1058), total = Geometry(f, 1059);
        QCOMPARE(box.top(), 569);
        QCOMPARE(box.height(), 20);
        QCOMPARE(total.top(), 571);
        QVERIFY(box.width() >= 35);
        const auto* totalLabel = qobject_cast<QLabel*>(f->Control(1059));
        QVERIFY(totalLabel);
        QVERIFY(total.width() >= totalLabel->fontMetrics().horizontalAdvance(totalLabel->text()));
        QCOMPARE(total.left(), box.right() + 3);
        QVERIFY(box.left() > 37 && total.right() < 263);
        QVERIFY(qAbs((box.left() - 5) - (295 - total.right() - 1)) <= 1);
        QCOMPARE(Geometry(f, 1007), QRect(5, 250, 290, 312));
        QVERIFY(!f->Control(1055)->isEnabled());
        QVERIFY(f->Control(1057)->isEnabled());
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
