// The left pane: the contents tree ("目録" tab), the search panel and result list ("検索" tab).
// It owns the index of the collection and keeps the reading position; the formats and
// algorithms live in the core, the pane keeps state and drives the controls.
#pragma once

#include <QWidget>
#include <filesystem>
#include <memory>

#include "catalogue/catalogue.h"
#include "concordance/concordance.h"
#include "catalogue/query.h"
#include "catalogue/results.h"
#include "index/index.h"
#include "pane/contentstree.h"
#include "session/reading_session.h"

class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kolva {

class CBookView;
class CConcordanceBrowser;
class CKeywordBox;
class CResultList;
class CSearchPanel;
class CToolTipResourceButton;

class CLeftForm : public QWidget {
    Q_OBJECT
public:
    // dataFolder holds the collection; scratchFolder the pages shown in the reading view.
    CLeftForm(const std::filesystem::path& dataFolder, const std::filesystem::path& scratchFolder,
              QWidget* parent = nullptr);
    ~CLeftForm() override;

    void OnInitialUpdate();
    // The view that shows the pages; set by the main window.
    // The view that shows the pages; set by the main window. The concordance page's links
    // shown in it are answered by the pane.
    void SetBookView(CBookView* view);

    // Shows one page of catalogue entry ID: its first page when bFromStart is 1, else page
    // number nPage. The page is written as stored to "windows.html" and the view shown it.
    // False (nothing written, the view keeps its page) when the entry has no such page. The
    // reading position stays as it is.
    bool ShowNodePage(int ID, int bFromStart, int nPage);
    // Shows the current tab's page and the result list's page row as the search left it.
    void LayoutPane();

    // The reading position, the hits and the pages viewed are the session's (Session()): the frame
    // and the toolbar move them with these verbs, which show the pages, and follow the session's
    // signals, which the pane passes on as currentPageChanged and sessionChanged.
    const CReadingSession& Session() const { return m_session; }
    CReadingSession& Session() { return m_session; }
    // Reads page number nPage of volume slot nNode: the position moves there and the page is shown.
    void ShowVolumePage(int nNode, int nPage);
    // Reads page number nPage of the volume being read; nothing before a volume is open.
    void ShowPage(int nPage);
    // The page before (step -1) or after (step +1) the one being read; nothing before a volume
    // is open.
    void StepPage(int step);
    // Opens the volume before (-1) or after (+1) the one being read, in slot order, at its first
    // page; the tree's selection follows. False, and nothing moved, when there is none.
    bool StepVolume(int step);
    // Goes to the hit before (-1) or after (+1) the current one on the result page shown.
    void StepHit(int step);
    // Shows the result page of pageIndex composed as query asks, at hit anchor: the hit
    // position moves there, so that F3 and Alt+F3 go on from it.
    void ShowResultHit(uint32_t pageIndex, int anchor, const ConcordanceQuery& query);
    // Shows a result page written to file, holding `anchors` hit anchors, at hit anchor: F3 and
    // Alt+F3 step through them. ShowResultHit writes and shows result pages through it.
    void ShowResultFile(const std::filesystem::path& file, int anchors, int anchor);
    // Shows the concordance of the last search in the reading view (一覧 → 用例一覧, the
    // result list's menu); false when the search has no rows.
    bool ShowConcordance();
    CConcordanceBrowser* Concordance() const { return m_concordance; }
    // The toolbar's page label for the page being read: "page/last page of its volume".
    QString PageLabel() const;

    // The pages viewed, volume pages and result pages alike: back (-1) and forward (+1) show
    // them again. False, nothing shown, at either end.
    bool GoThroughHistory(int step);

    // Runs a search with the keyword box as last read, the options and the range.
    void OnSearch();
    // The 検索 button and Enter: reads the keyword box, then searches. The box answers from the
    // event loop; of several requests before it answers, the last one searches.
    void RequestSearch();
    // The searches run, latest first (kept in the profile), and the menu that offers them.
    QStringList RecentSearches() const;
    QMenu* RecentMenu() const;
    // The target radios: reopen the index on whole text, main text or notes.
    void OnTargetFullText() { SetTarget(SearchTarget::kWholeText); }
    void OnTargetMainText() { SetTarget(SearchTarget::kMainText); }
    void OnTargetNotes() { SetTarget(SearchTarget::kNotes); }
    // The result list: the session's list page shown, the page row, paging.
    void ShowResultPage();
    void UpdatePageBox();
    void GoToTypedPage();
    void OnPreviousListPage();
    void OnNextListPage();
    // Limits the next search to the catalogue entry in slot (kWholeCollection: all of it), as
    // picking it in the contents tree does, without showing a page.
    void SetRange(int slot);

    const CCatalogue& Catalogue() const { return m_catalogue; }
    const CIndex& Index() const { return m_index; }
    // The composition target of the index opened (TargetCodeOf the target radio picked).
    int CompositionTarget() const { return m_nTargetCode; }
    // The index of a composition target's text: the open one when it is that target's, else
    // the one kept for it. The rows of a search, its concordance and the pages gone back to are
    // marked in the text they were found in, though the target radios have reopened the open
    // index for the next search since.
    const CIndex& IndexOfTarget(int targetCode);
    // An index of the target's text opened beside the open one on first need and kept while the
    // pane lives: what reads pages later (the concordance) holds this one, which no radio
    // reopens.
    const CIndex& KeptIndexOfTarget(int targetCode);
    // The files the reading view is shown: a volume's page as stored, the result page shown last
    // and the one the next result page goes to (two, taken in turn, so that the view always
    // loads a file it has not loaded).
    const std::filesystem::path& VolumePageFile() const { return m_strTempPage; }
    const std::filesystem::path& ResultPageFile() const { return m_strCurPageFile; }
    const std::filesystem::path& NextResultPageFile() const {
        return m_bUseResult1 ? m_strTempResult1 : m_strTempResult2;
    }
    // The tree item of a catalogue slot, or null.
    QTreeWidgetItem* ItemOfSlot(int slot) const;
    CKeywordBox* InputCtrl() const;
    CSearchPanel* SearchPanel() const { return m_searchPanel; }
    CResultList* ResultList() const { return m_resultList; }
    CContentsTree* Tree() const { return m_tree; }
    QTabBar* Tab() const { return m_tab; }
    // A control of the pane by its object name ("listPageBox", "searchButton", ...), or null.
    QWidget* Control(const char* name) const;

signals:
    // A page of a volume was shown (volume slot, page number): the frame puts the toolbar's
    // slider and page label in step.
    void currentPageChanged(int node, int page);
    // The session moved: the reading position, the hits of the result page, the rows of the
    // search or the pages viewed. The commands that depend on them are enabled anew.
    void sessionChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Answers a link of the concordance page (sort, list page, book, follow a line, copy).
    void AnswerConcordanceLink(const QString& url);
    void CreateControls();
    void MakeControls();
    void ArrangeControls();
    void SetUpControls();
    void SetStartValues();
    void ConnectControls();
    void LoadCatalogue();
    void OnTreeSelChanged();
    void OnResultItemChanged();
    void SetTarget(SearchTarget target);
    // The steps of OnSearch.
    CReadingSession::Query ReadSearchOptions() const;
    bool ReadKeyWords(QString& keywords) const;
    bool CheckSearchInput(const QString& keywords);
    bool SearchIndex(const CReadingSession::Query& query);
    void ShowSearchResults(CReadingSession::Query query);
    void OnResultListMenu(const QPoint& position);
    void WriteSearchOptions();
    void WatchKeys(QWidget* widget);
    void RememberSearch(const QString& keywords);
    void FillRecentMenu();
    ConcordanceQuery LastConcordanceQuery() const;
    // What an index says when it cannot be opened, in a message box over the pane.
    void ShowIndexMessage(std::u16string_view text);
    // A result page of pageIndex is shown: the reading position moves to its volume and page.
    void FollowResultPage(uint32_t pageIndex);


    CIndex m_index;                          // the collection's index and page store
    std::unique_ptr<CIndex> m_otherIndexes[3];  // KeptIndexOfTarget, by composition target
    std::filesystem::path m_dataFolder;      // folder of the data files
    std::filesystem::path m_strTempPage;     // "windows.html"
    std::filesystem::path m_strTempResult1;  // "windows1.html"
    std::filesystem::path m_strTempResult2;  // "windows2.html"
    int m_nTargetCode = 0;      // composition target of the index opened (TargetCodeOf)
    SearchResult m_lastResult;                 // what the last search the index took found
    std::filesystem::path m_strCurPageFile;    // the file holding the result page shown
    bool m_bUseResult1 = true;                 // the next result page goes to windows1.html

    CReadingSession m_session;
    CCatalogue m_catalogue;
    CBookView* m_pBookView = nullptr;
    CConcordanceBrowser* m_concordance = nullptr;  // made when first asked for

    QTabBar* m_tab;
    QStackedWidget* m_pages;              // the contents tree, the search panel
    CSearchPanel* m_searchPanel;          // the search controls (its own)
    QPlainTextEdit* m_hiddenEdit;
    CResultList* m_resultList;
    CContentsTree* m_tree;
    CToolTipResourceButton* m_prevButton;
    CToolTipResourceButton* m_nextButton;
    QLineEdit* m_pageBox;
    QLabel* m_pageCount;
    unsigned m_searchRequest = 0;         // the last search asked of the keyword box
};

}  // namespace kolva
