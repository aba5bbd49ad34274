#include "pane/leftform.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <algorithm>

#include "controls/tooltipbutton.h"
#include "pagestore/hitmark.h"
#include "pane/concordancebrowser.h"
#include "pane/contentstree.h"
#include "pane/keywordbox.h"
#include "pane/resultlist.h"
#include "pane/searchpanel.h"
#include "platform/scratch.h"
#include "ui/appinfo.h"
#include "ui/icons.h"
#include "ui/messagebox.h"
#include "ui/trace.h"
#include "view/bookview.h"
#include "view/documentpage.h"
#include "view/concordancescheme.h"

namespace kolva {

namespace {

// A control named for what it is (tests and tools find controls by the name).
template <typename T>
T* Make(QWidget* parent, const char* name, const QString& text = QString()) {
    T* widget = new T(parent);
    widget->setObjectName(QLatin1String(name));
    if constexpr (std::is_base_of_v<QAbstractButton, T> || std::is_same_v<T, QLabel>)
        widget->setText(text);
    return widget;
}

QString FromU16(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size()));
}

}  // namespace

CLeftForm::CLeftForm(const std::filesystem::path& dataFolder,
                     const std::filesystem::path& scratchFolder, QWidget* parent)
    : QWidget(parent),
      m_index([this](std::u16string_view text) { ShowIndexMessage(text); }),
      m_dataFolder(dataFolder),
      m_strTempPage(scratchFolder / "windows.html"),
      m_strTempResult1(scratchFolder / "windows1.html"),
      m_strTempResult2(scratchFolder / "windows2.html") {
    setObjectName(QStringLiteral("CLeftForm"));
    connect(&m_session, &CReadingSession::positionChanged, this, &CLeftForm::currentPageChanged);
    connect(&m_session, &CReadingSession::changed, this, &CLeftForm::sessionChanged);
    connect(&m_session, &CReadingSession::rangeChanged, this,
            [this](const QString& name) { m_searchPanel->RangeLabel()->setText(name); });
    LoadAppResources();
    CreateControls();
    OpenIndex(m_index, m_dataFolder, SearchTarget::kWholeText);
}

CLeftForm::~CLeftForm() {
    std::error_code ec;
    for (const auto& page : {m_strTempPage, m_strTempResult1, m_strTempResult2})
        std::filesystem::remove(page, ec);
    m_index.Close();
}

void CLeftForm::CreateControls() {
    MakeControls();
    ArrangeControls();
    SetUpControls();
    SetStartValues();
    ConnectControls();
}

// Every control of the form, in the form's order (the order of the Tab key); the search panel
// makes and lays out its own. ArrangeControls puts them in layouts.
void CLeftForm::MakeControls() {
    m_tab = Make<QTabBar>(this, "tabs");
    m_hiddenEdit = Make<QPlainTextEdit>(this, "hiddenKeywords");
    m_searchPanel = new CSearchPanel(this);
    m_resultList = Make<CResultList>(this, "resultList");
    m_tree = Make<CContentsTree>(this, "contentsTree");
    m_prevButton = Make<CToolTipResourceButton>(this, "previousListPage", QStringLiteral("<"));
    m_nextButton = Make<CToolTipResourceButton>(this, "nextListPage", QStringLiteral(">"));
    m_pageBox = Make<QLineEdit>(this, "listPageBox");
    m_pageCount = Make<QLabel>(this, "listPageCount");
}

// The pane in layouts: the tab bar over a stack of its two pages, the contents tree, and the
// search panel over the result list (which takes the height left) and its page row. Every box
// takes the width; the pane can be as narrow as its controls and grows with the splitter.
void CLeftForm::ArrangeControls() {
    m_pages = new QStackedWidget(this);
    auto* contents = new QWidget(m_pages);
    auto* contentsLayout = new QVBoxLayout(contents);
    contentsLayout->setContentsMargins(5, 2, 5, 5);
    contentsLayout->addWidget(m_tree);

    auto* search = new QWidget(m_pages);
    auto* searchLayout = new QVBoxLayout(search);
    searchLayout->setContentsMargins(5, 2, 5, 5);
    searchLayout->setSpacing(4);
    searchLayout->addWidget(m_searchPanel);
    searchLayout->addWidget(m_resultList, 1);
    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(m_prevButton);
    pageRow->addStretch(1);
    pageRow->addWidget(m_pageBox);
    pageRow->addWidget(m_pageCount);
    pageRow->addStretch(1);
    pageRow->addWidget(m_nextButton);
    searchLayout->addLayout(pageRow);

    m_pages->addWidget(contents);
    m_pages->addWidget(search);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tab);
    layout->addWidget(m_pages, 1);
    m_hiddenEdit->hide();
}

// What the form says of a control beyond its kind and its text.
void CLeftForm::SetUpControls() {
    m_tab->setDrawBase(true);
    m_hiddenEdit->hide();
    m_pageBox->setAlignment(Qt::AlignCenter);
    m_pageBox->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_pageBox));
}

// Start values: "and", "全文" and the variant box on.
void CLeftForm::SetStartValues() {
    const CSearchPanel& panel = *m_searchPanel;
    panel.AndRadio()->setChecked(true);
    panel.FullTextRadio()->setChecked(true);
    panel.VariantBox()->setChecked(true);
}

void CLeftForm::ConnectControls() {
    connect(m_tab, &QTabBar::currentChanged, this, [this] { LayoutPane(); });
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &CLeftForm::OnTreeSelChanged);
    const CSearchPanel& panel = *m_searchPanel;
    connect(panel.SearchButton(), &QPushButton::clicked, this, &CLeftForm::RequestSearch);
    connect(panel.RecentMenu(), &QMenu::aboutToShow, this, &CLeftForm::FillRecentMenu);
    connect(panel.FullTextRadio(), &QRadioButton::clicked, this, &CLeftForm::OnTargetFullText);
    connect(panel.MainTextRadio(), &QRadioButton::clicked, this, &CLeftForm::OnTargetMainText);
    connect(panel.NotesRadio(), &QRadioButton::clicked, this, &CLeftForm::OnTargetNotes);
    connect(m_prevButton, &QPushButton::clicked, this, &CLeftForm::OnPreviousListPage);
    connect(m_nextButton, &QPushButton::clicked, this, &CLeftForm::OnNextListPage);
    connect(m_resultList, &QTreeWidget::itemSelectionChanged, this, &CLeftForm::OnResultItemChanged);
    m_resultList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_resultList, &QWidget::customContextMenuRequested, this, &CLeftForm::OnResultListMenu);
    // Enter anywhere in the pane searches (or turns the list page); the page box also jumps
    // when it loses the focus. Only the pane's own controls are watched (and the keyword box's
    // input widget), so a key that travels up to a parent is handled once.
    for (QWidget* control : std::initializer_list<QWidget*>{
             m_tab, m_hiddenEdit, m_resultList, m_tree, panel.SearchButton(), panel.AndRadio(),
             panel.OrRadio(), panel.KeywordWidget(), panel.FullTextRadio(), panel.MainTextRadio(),
             panel.NotesRadio(), m_prevButton, m_nextButton, m_pageBox, panel.VariantBox(),
             panel.RecentButton()})
        WatchKeys(control);
}

void CLeftForm::WatchKeys(QWidget* widget) { widget->installEventFilter(this); }

bool CLeftForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Enter searches what is typed; the list-page box keeps its own Enter.
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == m_pageBox)
                GoToTypedPage();
            else
                RequestSearch();
        }
    } else if (event->type() == QEvent::FocusOut && watched == m_pageBox) {
        GoToTypedPage();
    }
    return QWidget::eventFilter(watched, event);
}

QWidget* CLeftForm::Control(const char* name) const {
    return findChild<QWidget*>(QLatin1String(name));
}

CKeywordBox* CLeftForm::InputCtrl() const { return m_searchPanel->KeywordBox(); }

QMenu* CLeftForm::RecentMenu() const { return m_searchPanel->RecentMenu(); }

void CLeftForm::OnInitialUpdate() {
    if (CKeywordBox* input = m_searchPanel->MakeKeywordBox()) {
        connect(input, &CKeywordBox::inputWidgetAdded, this, &CLeftForm::WatchKeys);
        input->LoadFromResource(QStringLiteral("input.htm"));
    }
    m_tab->insertTab(0, QStringLiteral("検索"));
    m_tab->insertTab(0, QStringLiteral("目録"));
    m_tab->updateGeometry();  // a tab bar not yet shown keeps its empty height in the layout
    m_searchPanel->Totals()->setText(QStringLiteral("検索集計："));
    m_searchPanel->RangeLabel()->setText(m_session.RangeName());
    m_resultList->setColumnCount(5);
    m_resultList->setHeaderLabels({QStringLiteral("類別"), QStringLiteral("書名"), QStringLiteral("巻"),
                                   QStringLiteral("頁"), QStringLiteral("件")});
    // Widths from the text they hold; every column can be widened, the book title takes what is
    // left or gives way first.
    const QFontMetrics metrics = m_resultList->fontMetrics();
    const int widths[] = {metrics.horizontalAdvance(QStringLiteral("類別類別")) + 12,
                          metrics.horizontalAdvance(QStringLiteral("書名書名書名")) + 12,
                          metrics.horizontalAdvance(QStringLiteral("卷二十九九")) + 12,
                          metrics.horizontalAdvance(QStringLiteral("00000")) + 12,
                          metrics.horizontalAdvance(QStringLiteral("0000")) + 12};
    m_resultList->SetPreferredWidths({std::begin(widths), std::end(widths)});
    connect(m_resultList, &CResultList::sortRequested, this, [this](int column, bool descending) {
        static const RowOrder kOrders[] = {RowOrder::kCategory, RowOrder::kTitle, RowOrder::kVolume,
                                           RowOrder::kPageNumber, RowOrder::kHits};
        if (column < 0 || column > 4 || m_session.Rows().empty()) return;
        m_session.SortRows(kOrders[column], descending);
        ShowResultPage();
    });
    m_tab->setCurrentIndex(0);
    LoadCatalogue();
    m_prevButton->LoadBitmaps(QStringLiteral(":/pictures/previous-page.png"));
    m_nextButton->LoadBitmaps(QStringLiteral(":/pictures/next-page.png"));
    const QString previous = QStringLiteral("Previous Page"), next = QStringLiteral("Next Page");
    m_prevButton->SetToolTipText(&previous, true);
    m_nextButton->SetToolTipText(&next, true);
    LayoutPane();
}

void CLeftForm::LoadCatalogue() {
    // The trace lands in the program's state folder (or where --trace says), as a diagnostic aid.
    if (!m_catalogue.Load(m_dataFolder / "kolva.dir", CatalogueTracePath())) {
        ShowMessageBox(this, QStringLiteral("you delete data file!"));
        return;
    }
    // With more than one top-level entry, the whole collection heads the tree and is the range
    // a search starts with.
    if (m_tree->Fill(m_catalogue)) SetRange(kWholeCollection);
}

void CLeftForm::SetRange(int slot) {
    const QTreeWidgetItem* item = ItemOfSlot(slot);
    m_session.SetRange(slot, item ? CContentsTree::PathOf(item) : QString());
}

QTreeWidgetItem* CLeftForm::ItemOfSlot(int slot) const { return m_tree->ItemOfSlot(slot); }

void CLeftForm::OnTreeSelChanged() {
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    if (selected.isEmpty()) return;
    QTreeWidgetItem* item = selected.first();
    const int slot = CContentsTree::SlotOf(item);
    m_session.SetRange(slot, CContentsTree::PathOf(item));
    if (slot == kWholeCollection) return;  // a range only, no page
    if (item->childCount() == 0) ShowVolumePage(slot, m_catalogue.Record(slot).firstPage);
}

bool CLeftForm::ShowNodePage(int ID, int bFromStart, int nPage) {
    if (!m_catalogue.IsValidSlot(ID)) return false;
    const CatalogueRecord& entry = m_catalogue.Record(ID);
    if (bFromStart == 1) nPage = entry.firstPage;
    qDebug("documentID=%d,m_NodeItem[ID]=%d", entry.docID, int(entry.firstPage));
    int index = 0;
    std::string page;
    // A page that is not there leaves the view as it is.
    // A catalogue whose first page index is not positive names no page.
    const int firstIndex = entry.docID > 0 ? entry.docID - 1 : -1;
    const CFileList& store = m_index.PageStore();
    if (!store.FindPage(firstIndex, nPage, index) || !store.ReadPage(index, page))
        return false;
    if (!WriteFileNoFollow(m_strTempPage, page)) return false;
    if (m_pBookView) m_pBookView->Navigate2(QString::fromStdString(m_strTempPage.string()));
    return true;
}

void CLeftForm::ShowVolumePage(int nNode, int nPage) {
    m_session.Remember({false, nNode, nPage, 0, 0, {}});
    // A page that is not there leaves the view as it was; the position moves all the same.
    ShowNodePage(nNode, 0, nPage);
    m_session.MoveTo(nNode, nPage);
}

void CLeftForm::ShowPage(int nPage) {
    if (m_session.Node() != 0) ShowVolumePage(m_session.Node(), nPage);
}

void CLeftForm::StepPage(int step) {
    if (m_session.Node() != 0) ShowVolumePage(m_session.Node(), m_session.Page() + step);
}

namespace {

// The item a volume step selects after the selected one: its next (previous) sibling, else the
// first (last) child of its parent's next (previous) sibling; null when there is none.
QTreeWidgetItem* SteppedItem(QTreeWidget* tree, QTreeWidgetItem* selected, int step) {
    auto sibling = [tree](QTreeWidgetItem* item, int by) -> QTreeWidgetItem* {
        QTreeWidgetItem* parent = item->parent();
        const int index = (parent ? parent->indexOfChild(item) : tree->indexOfTopLevelItem(item)) + by;
        const int count = parent ? parent->childCount() : tree->topLevelItemCount();
        if (index < 0 || index >= count) return nullptr;
        return parent ? parent->child(index) : tree->topLevelItem(index);
    };
    if (!selected) return nullptr;
    if (QTreeWidgetItem* next = sibling(selected, step)) return next;
    QTreeWidgetItem* uncle = selected->parent() ? sibling(selected->parent(), step) : nullptr;
    if (!uncle || uncle->childCount() == 0) return nullptr;
    return uncle->child(step > 0 ? 0 : uncle->childCount() - 1);
}

}  // namespace

bool CLeftForm::StepVolume(int step) {
    const int s = m_catalogue.NextVolumeSlot(m_session.Node(), step);
    if (s == 0) return false;
    ShowVolumePage(s, m_catalogue.Record(s).firstPage);
    // The tree steps as well (selecting a volume shows its first page again). It assumes its
    // selection sits on the volume that was read; when it has no item to step to, it selects
    // the volume opened.
    QTreeWidgetItem* item = SteppedItem(m_tree, m_tree->currentItem(), step);
    if (!item) item = ItemOfSlot(s);
    if (item) m_tree->setCurrentItem(item);
    return true;
}

void CLeftForm::StepHit(int step) {
    m_session.StepHit(step);
    if (m_pBookView)
        m_pBookView->Navigate2(QString::fromStdString(m_strCurPageFile.string()),
                               QString::fromStdString(AnchorName(m_session.CurrentHit())));
}

QString CLeftForm::PageLabel() const {
    if (!m_catalogue.IsValidSlot(m_session.Node())) return QString::number(m_session.Page());
    const CatalogueRecord& r = m_catalogue.Record(m_session.Node());
    return QStringLiteral("%1/%2").arg(m_session.Page()).arg(int(r.firstPage) + r.docNo - 1);
}

bool CLeftForm::GoThroughHistory(int step) {
    const CReadingSession::Visit* at = m_session.GoThroughHistory(step);
    if (!at) return false;
    const CReadingSession::Visit visit = *at;
    m_session.BeginRevisit();
    if (visit.result)
        ShowResultHit(visit.pageIndex, visit.anchor, visit.query);
    else
        ShowVolumePage(visit.node, visit.page);
    m_session.EndRevisit();
    return true;
}

void CLeftForm::FollowResultPage(uint32_t pageIndex) {
    int number = 0;
    const int slot = VolumeSlotOfPage(m_catalogue, pageIndex, number);
    if (slot == 0) return;  // a page under no volume: the position stays
    m_session.MoveTo(slot, number);
}

// The tab's page, and the page row under the list while the search has list pages: the buttons
// enabled where there is a list page to go to, the box and its total as wide as their numbers.
void CLeftForm::LayoutPane() {
    m_hiddenEdit->hide();
    m_pages->setCurrentIndex(m_tab->currentIndex() == 1 ? 1 : 0);
    const bool pageRow = m_session.ListPageCount() > 0;
    for (QWidget* w : {static_cast<QWidget*>(m_prevButton), static_cast<QWidget*>(m_nextButton),
                       static_cast<QWidget*>(m_pageBox), static_cast<QWidget*>(m_pageCount)})
        w->setVisible(pageRow);
    if (pageRow) {  // the buttons are enabled with the list page (UpdatePageBox)
        const QFontMetrics metrics = m_pageCount->fontMetrics();
        m_pageBox->setFixedWidth(std::max(35, metrics.horizontalAdvance(QStringLiteral("00000")) + 10));
        m_pageCount->setMinimumWidth(metrics.horizontalAdvance(m_pageCount->text()) + 6);
    }
    // Placed now, not when the event loop comes round: callers look at the controls at once.
    layout()->activate();
    m_pages->currentWidget()->layout()->activate();
}

}  // namespace kolva

namespace kolva {

void CLeftForm::SetTarget(SearchTarget target) {
    m_index.Close();
    m_lastResult = {};  // the pages of another target's index mean nothing now
    OpenIndex(m_index, m_dataFolder, target);
    m_nTargetCode = TargetCodeOf(target);
}

void CLeftForm::OnSearch() {
    qDebug("Start search");
    m_session.RestartHits();
    CReadingSession::Query query = ReadSearchOptions();
    if (!ReadKeyWords(query.keywords)) return;  // an empty box: nothing to search, nothing to say
    if (!CheckSearchInput(query.keywords)) return;
    // A string the search rejects changes nothing: the rows of the last search are built again.
    if (!SearchIndex(query)) query = m_session.LastQuery();
    // The keywords kept for marking pages: the words parted by U+3000, as the pane has always
    // kept them (composition parts words at either space).
    query.keywords.replace(QChar(u' '), QChar(u'\u3000'));
    // The concordance shown belongs to the search before: its links now do nothing.
    if (m_concordance) m_concordance->Close();
    ShowSearchResults(query);
    WriteSearchOptions();
    m_hiddenEdit->clear();
    RememberSearch(query.keywords);
}

void CLeftForm::RequestSearch() {
    CKeywordBox* input = InputCtrl();
    if (!input) {
        OnSearch();
        return;
    }
    const unsigned request = ++m_searchRequest;
    input->ReadInputsThen([this, request] {
        if (request == m_searchRequest) OnSearch();
    });
}

namespace {
const QString kRecentKey = QStringLiteral("Search/Recent");
constexpr int kRecentCount = 20;
}  // namespace

QStringList CLeftForm::RecentSearches() const {
    return QSettings(kProfileOrganisation, kAppTitle).value(kRecentKey).toStringList();
}

// The keywords as typed (ideographic spaces as spaces) go first; an earlier copy goes.
void CLeftForm::RememberSearch(const QString& keywords) {
    QString typed = keywords;
    typed.replace(QChar(0x3000), QLatin1Char(' '));
    if (typed.trimmed().isEmpty()) return;
    QStringList recent = RecentSearches();
    recent.removeAll(typed);
    recent.prepend(typed);
    while (recent.size() > kRecentCount) recent.removeLast();
    QSettings(kProfileOrganisation, kAppTitle).setValue(kRecentKey, recent);
}

// A recent search picked goes into the keyword box and is run again.
void CLeftForm::FillRecentMenu() {
    QMenu* menu = RecentMenu();
    menu->clear();
    const QStringList recent = RecentSearches();
    if (recent.isEmpty()) menu->addAction(QStringLiteral("（なし）"))->setEnabled(false);
    for (const QString& keywords : recent)
        connect(menu->addAction(keywords), &QAction::triggered, this, [this, keywords] {
            if (CKeywordBox* input = InputCtrl()) input->SetValue(keywords);
            RequestSearch();
        });
}

// The method, target and variant controls as a query (its keywords still to be read).
CReadingSession::Query CLeftForm::ReadSearchOptions() const {
    const CSearchPanel& panel = *m_searchPanel;
    CReadingSession::Query query;
    query.method = panel.OrRadio()->isChecked() ? SearchMethod::kOr : SearchMethod::kAnd;
    query.target = panel.NotesRadio()->isChecked()      ? SearchTarget::kNotes
                   : panel.MainTextRadio()->isChecked() ? SearchTarget::kMainText
                                                        : SearchTarget::kWholeText;
    query.variants = panel.VariantBox()->isChecked();
    return query;
}

// The keywords from the hidden edit, then from the keyword box, ideographic spaces made spaces.
// False when the box answers null.
bool CLeftForm::ReadKeyWords(QString& keywords) const {
    keywords = m_hiddenEdit->toPlainText().replace(QChar(0x3000), QLatin1Char(' '));
    if (CKeywordBox* input = InputCtrl()) {
        const CKeywordBox::Inputs& inputs = input->LastInputs();
        for (const std::optional<QString>& value : inputs.values) {
            if (!value) return false;
            keywords = QString(*value).replace(QChar(0x3000), QLatin1Char(' '));
        }
    }
    qDebug("the keyWords is :%s", qUtf8Printable(keywords));
    return true;
}

// A range and a keyword, or the message that asks for the missing one.
bool CLeftForm::CheckSearchInput(const QString& keywords) {
    if (m_session.RangeNode() == kWholeCollection && !HasWholeCollection(m_catalogue)) {
        ShowMessageBox(this, QStringLiteral("検索範囲をまた指定していません。"));
        return false;
    }
    if (keywords.isEmpty()) {
        ShowMessageBox(this, QStringLiteral("何かキーワードを入力して検索をして下さい。"));
        return false;
    }
    return true;
}

// False when the search rejects the keywords; the last search's pages then stay.
bool CLeftForm::SearchIndex(const CReadingSession::Query& query) {
    SearchResult result = RunSearch(m_index, query.keywords.toStdU16String(), query.method,
                                    query.variants);
    if (result.rejected) return false;
    m_lastResult = std::move(result);
    return true;
}

// The rows of the index's hit pages in the range, the totals and the first list page.
void CLeftForm::ShowSearchResults(CReadingSession::Query query) {
    m_resultList->clear();
    // Without a catalogue entry in the range slot there is no range and so no row.
    const ContentsNodeTag* range = FindRangeNode(m_catalogue, uint16_t(m_session.RangeNode()));
    std::vector<SearchNodeTag> found;
    const uint32_t total = BuildResultList(range, m_lastResult.pages, m_lastResult.counts, found);
    // The list reads in the collection's order until a heading sorts it.
    SortRows(found, RowOrder::kReading, false);
    const size_t rows = found.size();
    m_session.SetSearch(std::move(query), std::move(found));
    m_resultList->ResetSortColumn();
    m_resultList->header()->setSortIndicatorShown(false);
    m_searchPanel->Totals()->setText(FromU16(TotalsText(rows, total)));
    ShowResultPage();
    LayoutPane();  // shows or hides the page row
}

// The last search's options back into the method, target and variant controls.
void CLeftForm::WriteSearchOptions() {
    const CReadingSession::Query& query = m_session.LastQuery();
    const CSearchPanel& panel = *m_searchPanel;
    (query.method == SearchMethod::kOr ? panel.OrRadio() : panel.AndRadio())->setChecked(true);
    (query.target == SearchTarget::kNotes      ? panel.NotesRadio()
     : query.target == SearchTarget::kMainText ? panel.MainTextRadio()
                                               : panel.FullTextRadio())
        ->setChecked(true);
    panel.VariantBox()->setChecked(query.variants);
}

void CLeftForm::ShowResultPage() {
    const int page = m_session.ListPage();
    if (page < 1) return;
    m_resultList->clear();
    UpdatePageBox();
    QList<QTreeWidgetItem*> items;
    constexpr int kRows = CReadingSession::kRowsPerListPage;
    for (int i = 0; i < kRows; ++i) {
        const size_t k = size_t(page - 1) * kRows + size_t(i);
        if (k >= m_session.Rows().size()) break;
        const SearchNodeTag& row = m_session.Rows()[k];
        auto* item = new QTreeWidgetItem({FromU16(row.category), FromU16(row.title),
                                          FromU16(row.volume), QString::number(row.pageNumber),
                                          QString::number(row.hits)});
        item->setData(0, Qt::UserRole, row.pageIndex);
        // The whole text where a narrow column cuts it.
        for (int c = 0; c < 3; ++c) item->setToolTip(c, item->text(c));
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        items.append(item);
    }
    m_resultList->addTopLevelItems(items);
}

void CLeftForm::UpdatePageBox() {
    const int page = m_session.ListPage(), pageCount = m_session.ListPageCount();
    m_prevButton->setEnabled(page > 1);
    m_nextButton->setEnabled(page < pageCount);
    m_pageBox->setEnabled(true);
    m_pageBox->setText(QString::number(page));
    m_pageBox->setReadOnly(pageCount == 1);
    m_pageBox->selectAll();
    m_pageCount->setText(QStringLiteral("/%1").arg(pageCount));
}

void CLeftForm::GoToTypedPage() {
    bool ok = false;
    int n = m_pageBox->text().toInt(&ok);
    if (!ok) n = 0;  // text that is not a number reads as 0
    if (n == m_session.ListPage()) return;
    if (m_session.SetListPage(n)) {
        ShowResultPage();
    } else {
        m_pageBox->setText(QString::number(m_session.ListPage()));
        m_pageBox->selectAll();
    }
}

void CLeftForm::OnPreviousListPage() {
    if (m_session.SetListPage(m_session.ListPage() - 1)) ShowResultPage();
}

void CLeftForm::OnNextListPage() {
    if (m_session.SetListPage(m_session.ListPage() + 1)) ShowResultPage();
}

void CLeftForm::SetBookView(CBookView* view) {
    m_pBookView = view;
    if (!view) return;
    CConcordanceSchemeHandler* links = CConcordanceSchemeHandler::On(view->page()->profile(), view);
    connect(links, &CConcordanceSchemeHandler::linkRequested, this, &CLeftForm::AnswerConcordanceLink);
    // The reading view's document page refuses every navigation it did not start; it hands the
    // concordance's links on instead.
    connect(view->DocumentPage(), &CDocumentPage::programLinkClicked, this,
            &CLeftForm::AnswerConcordanceLink);
}

void CLeftForm::AnswerConcordanceLink(const QString& url) {
    // Only the concordance page itself asks: a stored page holding such a link is not heard.
    if (!m_concordance || !m_pBookView) return;
    if (m_pBookView->GetLocationURL() != QString::fromStdString(m_concordance->ShownFile().string()))
        return;
    m_concordance->Answer(url);
}

void CLeftForm::OnResultListMenu(const QPoint& position) {
    if (m_session.Rows().empty()) return;
    QMenu menu(this);
    QAction* concordance = menu.addAction(QStringLiteral("用例一覧"));
    if (menu.exec(m_resultList->viewport()->mapToGlobal(position)) == concordance) ShowConcordance();
}

bool CLeftForm::ShowConcordance() {
    if (m_session.Rows().empty()) return false;
    if (!m_concordance) {
        m_concordance = new CConcordanceBrowser(
            m_pBookView, m_strTempResult1.parent_path(),
            [this](uint32_t page, int anchor, const ConcordanceQuery& query) {
                ShowResultHit(page, anchor, query);
            },
            this);
    }
    static const char16_t* const kTargets[] = {u"全文", u"正文", u"注釈"};
    const ConcordanceQuery query = LastConcordanceQuery();
    const QString options =
        QStringLiteral("検索対象：%1　異体字：%2")
            .arg(QString::fromStdU16String(kTargets[query.target >= 0 && query.target < 3 ? query.target : 0]))
            .arg(query.variant ? QStringLiteral("含む") : QStringLiteral("含まない"));
    m_concordance->Open(KeptIndexOfTarget(query.target), m_session.Rows(), query,
                        m_searchPanel->Totals()->text(), options);
    return true;
}

void CLeftForm::ShowResultHit(uint32_t pageIndex, int anchor, const ConcordanceQuery& query) {
    const std::filesystem::path target = NextResultPageFile();
    std::string html;
    const int anchors = IndexOfTarget(query.target)
                            .ComposePage(int(pageIndex), html, query.keywords, query.target,
                                         query.variant);
    if (!WriteFileNoFollow(target, html)) return;
    ShowResultFile(target, anchors, anchor);
    m_bUseResult1 = !m_bUseResult1;
    m_session.Remember({true, 0, 0, pageIndex, m_session.CurrentHit(), query});
    FollowResultPage(pageIndex);
}

void CLeftForm::ShowResultFile(const std::filesystem::path& file, int anchors, int anchor) {
    m_strCurPageFile = file;
    m_session.SetHits(anchors, anchor);
    if (m_pBookView)
        m_pBookView->Navigate2(QString::fromStdString(file.string()),
                               QString::fromStdString(AnchorName(m_session.CurrentHit())));
}

void CLeftForm::OnResultItemChanged() {
    const QList<QTreeWidgetItem*> selected = m_resultList->selectedItems();
    if (selected.isEmpty()) return;
    const int page = selected.first()->data(0, Qt::UserRole).toInt();
    ShowResultHit(uint32_t(page), 0, LastConcordanceQuery());
}

// The last search's words and options, as its result pages are marked: in the text it searched.
ConcordanceQuery CLeftForm::LastConcordanceQuery() const {
    const CReadingSession::Query& query = m_session.LastQuery();
    return {query.keywords.toStdU16String(), TargetCodeOf(query.target), query.variants,
            kDefaultContext};
}

void CLeftForm::ShowIndexMessage(std::u16string_view text) {
    ShowMessageBox(this, QString::fromStdU16String(std::u16string(text)));
}

const CIndex& CLeftForm::IndexOfTarget(int targetCode) {
    return targetCode == m_nTargetCode ? m_index : KeptIndexOfTarget(targetCode);
}

const CIndex& CLeftForm::KeptIndexOfTarget(int targetCode) {
    if (targetCode < 0 || targetCode > 2) targetCode = kTargetWholeText;
    std::unique_ptr<CIndex>& index = m_otherIndexes[targetCode];
    if (!index) {
        index = std::make_unique<CIndex>(
            [this](std::u16string_view text) { ShowIndexMessage(text); });
        for (SearchTarget t : {SearchTarget::kWholeText, SearchTarget::kMainText, SearchTarget::kNotes})
            if (TargetCodeOf(t) == targetCode) OpenIndex(*index, m_dataFolder, t);
    }
    return *index;
}

}  // namespace kolva
