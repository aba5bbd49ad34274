// The concordance in the reading view: opened from the pane after a search, its links answered
// by the program (no page scripts): a line shows its page at its hit and F3 goes on from there,
// the orders re-sort the lines, a copy link puts the line with its citation on the clipboard.
#include <QClipboard>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include "concordance/concordance.h"
#include "concordance/concordance_page.h"
#include "gui/gui_support.h"
#include "pane/concordancebrowser.h"
#include "pane/keywordbox.h"
#include "pane/leftform.h"
#include "pane/resultlist.h"
#include "platform/scratch.h"
#include "view/bookview.h"
#include "view/concordancescheme.h"

using namespace kolva;

namespace {

// 類 > 詩集 > 巻一 (pages 1-3), 巻二 (pages 1-2); 文集 > 巻三 (pages 1-2). Every page has 月 in
// its body cell (the cell of its page number's parity), some of them more than once.
void WriteConcordanceCollection(const std::filesystem::path& folder) {
    const char* bodies[] = {"床前明月光，疑是地上霜。", "明月出天山，<br>蒼茫雲海間。月",
                            "月下獨酌", "花間一壺酒，舉杯邀明月。", "月既不解飲",
                            "秋月揚明輝&#12290;月", "<font size=-1 color=\"#993366\">月</font>冬嶺"};
    const int numbers[] = {1, 2, 3, 1, 2, 1, 2};
    std::vector<std::pair<std::string, std::string>> pages;
    for (uint32_t p = 0; p < 7; ++p) {
        const std::string body = bodies[p];
        const bool first = numbers[p] % 2 == 0;
        pages.emplace_back("v" + std::to_string(p < 3 ? 1 : p < 5 ? 2 : 3) + "\\" +
                               std::to_string(numbers[p]) + ".htm",
                           "<html><title>t</title><TD>" + std::string(first ? body : "x") +
                               "</TD><TD>" + (first ? "x" : body) + "</TD></html>");
    }
    test::WritePages(folder, pages);
    WriteCatalogue(folder / "kolva.dir", {{u"類", 1, 1, 7, 1},
                                          {u"詩集", 2, 1, 5, 1},
                                          {u"巻一", 3, 1, 3, 1},
                                          {u"巻二", 3, 4, 2, 1},
                                          {u"文集", 2, 6, 2, 1},
                                          {u"巻三", 3, 6, 2, 1}});
}

}  // namespace

class ConcordanceTest : public QObject {
    Q_OBJECT

    test::TempDir m_home, m_data;
    ScratchFolder m_scratch;
    std::unique_ptr<CBookView> m_view;
    std::unique_ptr<CLeftForm> m_form;

    CLeftForm* Form() { return m_form.get(); }
    void Search(const QString& keywords) {
        Form()->InputCtrl()->SetValue(keywords);
        Form()->OnSearch();
    }
    // Runs action and waits until the view has loaded the concordance page it wrote.
    template <typename Action>
    void ShowConcordancePage(Action action) {
        QSignalSpy loaded(m_view.get(), &QWebEngineView::loadFinished);
        action();
        // A load of the page shown before (a hit's anchor) may still finish first.
        const QString file = QString::fromStdString(Form()->Concordance()->ShownFile().string());
        QTRY_COMPARE_WITH_TIMEOUT(m_view->GetLocationURL(), file, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(loaded.count() > 0, 20000);
    }
    // Clicks the i-th element matching selector in the page, as the user would.
    void ClickLink(const QString& selector, int i) {
        QVariant centre;
        // The page may still be laid out: ask until the element is there.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                bool answered = false;
                m_view->page()->runJavaScript(
                    QStringLiteral("(function(){var a=document.querySelectorAll('%1')[%2];if(!a)return null;"
                                   "a.scrollIntoView({block:'center'});var r=a.getBoundingClientRect();"
                                   "return [r.left+r.width/2,r.top+r.height/2];})()")
                        .arg(selector)
                        .arg(i),
                    QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
                        centre = v;
                        answered = true;
                    });
                for (int n = 0; !answered && n < 500; ++n) QTest::qWait(20);
                return centre.toList().size() == 2;
            }(),
            20000);
        const QVariantList xy = centre.toList();
        QCOMPARE(xy.size(), 2);
        QWidget* target = m_view->focusProxy() ? m_view->focusProxy() : m_view.get();
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(int(xy[0].toDouble()), int(xy[1].toDouble())));
    }

private slots:
    void initTestCase() {
        test::IsolateFromTheUser(m_home);
        QDir::setCurrent(QString::fromStdString(m_home.path().string()));
        WriteConcordanceCollection(m_data.path());
        QVERIFY(m_scratch.Create(m_home.path()));
        m_view = std::make_unique<CBookView>();
        m_form = std::make_unique<CLeftForm>(m_data.path(), m_scratch.Path());
        m_form->SetBookView(m_view.get());
        m_view->SetReadableFolders({QString::fromStdString(m_scratch.Path().string()),
                                    QString::fromStdString(m_data.path().string())});
        m_form->OnInitialUpdate();
        m_view->OnInitialUpdate();
        m_form->resize(300, 700);
        m_form->show();
        m_view->resize(1000, 700);
        m_view->show();
        m_form->Tab()->setCurrentIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(Form()->InputCtrl()->IsLoaded(), 20000);
    }

    void followingALineShowsItsPageAtItsHit() {
        QVERIFY(!Form()->ShowConcordance());  // no search yet: nothing to show
        Search(QStringLiteral("月"));
        QCOMPARE(Form()->Session().Rows().size(), size_t(7));
        ShowConcordancePage([&] { QVERIFY(Form()->ShowConcordance()); });
        // As many lines as the composed pages have anchors, row by row.
        size_t anchors = 0;
        for (const SearchNodeTag& row : Form()->Session().Rows()) {
            std::string html;
            anchors += size_t(Form()->Index().ComposePage(int(row.pageIndex), html, u"月", 0, true));
        }
        const std::vector<ConcordanceLine> lines = Form()->Concordance()->ShownLines();
        QCOMPARE(lines.size(), anchors);
        const std::string page = test::ReadBytes(Form()->Concordance()->ShownFile());
        QVERIFY(page.find("<svg") != std::string::npos);
        QVERIFY(page.find("<script") == std::string::npos);

        // The first line whose page has a hit after it: follow it, then F3.
        size_t k = 0;
        while (k + 1 < lines.size() && lines[k + 1].row != lines[k].row) ++k;
        QVERIFY(k + 1 < lines.size());
        const ConcordanceLine line = lines[k];
        const auto before = Form()->ResultPageFile();
        ClickLink(QStringLiteral("td.s a"), int(k));
        QTRY_VERIFY_WITH_TIMEOUT(Form()->ResultPageFile() != before, 20000);
        const QString file = QString::fromStdString(Form()->ResultPageFile().string());
        QCOMPARE(m_view->GetLocationURL(), file + QStringLiteral("#%1").arg(line.anchor, 4, 10, QLatin1Char('0')));
        QCOMPARE(Form()->Session().CurrentHit(), line.anchor);
        std::string html;
        const uint32_t pageIndex = Form()->Session().Rows()[line.row].pageIndex;
        QCOMPARE(Form()->Session().HitCount(), Form()->Index().ComposePage(int(pageIndex), html, u"月", 0, true));
        QCOMPARE(test::ReadBytes(Form()->ResultPageFile()), html);
        Form()->StepHit(+1);
        QCOMPARE(m_view->GetLocationURL(), file + QStringLiteral("#%1").arg(line.anchor + 1, 4, 10, QLatin1Char('0')));
    }

    // The target radios reopen the index for the next search, but the rows of the last one are
    // still marked in the text it searched, and so are the lines of its concordance, also when a
    // radio is clicked while the concordance is open. Main text and notes differ here: the last
    // page's 月 is a note, and 月 twice in the main text of page 2 is none.
    void rowsAndConcordanceKeepTheTextSearched() {
        auto click = [&](const char* name) { qobject_cast<QRadioButton*>(Form()->Control(name))->click(); };
        click("mainTextRadio");
        Search(QStringLiteral("月"));
        const std::vector<SearchNodeTag> rows = Form()->Session().Rows();
        QCOMPARE(rows.size(), size_t(6));
        size_t hits = 0;
        for (const SearchNodeTag& row : rows) hits += row.hits;
        ShowConcordancePage([&] { QVERIFY(Form()->ShowConcordance()); });
        QCOMPARE(Form()->Concordance()->ShownLines().size(), hits);

        click("notesRadio");
        QCOMPARE(Form()->CompositionTarget(), 2);
        ShowConcordancePage([&] { Form()->Concordance()->Show(ConcordanceOrder::kPage, 0, -1); });
        QCOMPARE(Form()->Concordance()->ShownLines().size(), hits);
        ShowConcordancePage([&] { QVERIFY(Form()->ShowConcordance()); });
        QCOMPARE(Form()->Concordance()->ShownLines().size(), hits);
        QVERIFY(test::ReadBytes(Form()->Concordance()->ShownFile()).find("検索対象：正文") != std::string::npos);
        for (int i = 0; i < int(rows.size()); ++i) {
            Form()->ResultList()->clearSelection();
            Form()->ResultList()->topLevelItem(i)->setSelected(true);
            const uint32_t page = Form()->ResultList()->topLevelItem(i)->data(0, Qt::UserRole).toUInt();
            const auto row = std::find_if(rows.begin(), rows.end(), [&](const SearchNodeTag& r) { return r.pageIndex == page; });
            QVERIFY(row != rows.end());
            QCOMPARE(Form()->Session().HitCount(), int(row->hits));
        }
        click("fullTextRadio");
    }

    void ordersAndCopyAreLinksTheProgramAnswers() {
        Search(QStringLiteral("月"));
        ShowConcordancePage([&] { QVERIFY(Form()->ShowConcordance()); });
        // 左文脈順: the first link of the orders (頁順, the order shown, is not a link).
        ShowConcordancePage([&] { ClickLink(QStringLiteral("p.nav a"), 0); });
        QVERIFY(test::ReadBytes(Form()->Concordance()->ShownFile()).find("<b>左文脈順</b>") != std::string::npos);
        const std::vector<ConcordanceLine> lines = Form()->Concordance()->ShownLines();
        QVERIFY(lines.size() > 3);
        for (size_t i = 1; i < lines.size(); ++i)
            QVERIFY(ConcordanceKey(lines[i - 1], ConcordanceOrder::kLeft) <= ConcordanceKey(lines[i], ConcordanceOrder::kLeft));

        QGuiApplication::clipboard()->clear();
        ClickLink(QStringLiteral("td.c a"), 0);
        const QString expected = QString::fromStdU16String(
            ConcordanceCopyText(lines[0], Form()->Session().Rows()[lines[0].row]));
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(), expected, 20000);
        QVERIFY(expected.contains(QStringLiteral("》")));

        // A new search leaves the old page's links without an answer, and the page on show
        // gives way to a line saying it belonged to the search before.
        QCOMPARE(m_view->GetLocationURL(), QString::fromStdString(Form()->Concordance()->ShownFile().string()));
        Search(QStringLiteral("明月"));
        QVERIFY(!Form()->Concordance()->Answer(QStringLiteral("kolva-concordance:line?row=0&anchor=0")));
        const std::filesystem::path retired = Form()->Concordance()->ShownFile();
        QTRY_COMPARE_WITH_TIMEOUT(m_view->GetLocationURL(), QString::fromStdString(retired.string()), 20000);
        QVERIFY(test::ReadBytes(retired).find("前の検索") != std::string::npos);
        QVERIFY(test::ReadBytes(retired).find("<a ") == std::string::npos);
    }

    // Enter in the keyword box searches what is typed, even with several list pages shown;
    // in the list-page box it turns the list page.
    void enterSearchesWhatIsTyped() {
        Form()->Session().SetSearch({}, std::vector<SearchNodeTag>(300));  // as after a search of many rows
        Form()->InputCtrl()->SetValue(QStringLiteral("月"));
        QTest::keyClick(Form()->Control("searchButton"), Qt::Key_Return);
        QTRY_COMPARE(Form()->Session().LastQuery().keywords, QStringLiteral("月"));
        QCOMPARE(Form()->Session().Rows().size(), size_t(7));
    }
};

int main(int argc, char** argv) {
    RegisterConcordanceScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ConcordanceTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "concordance_test.moc"
