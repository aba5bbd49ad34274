#include "pane/leftform.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QTabBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <algorithm>

#include "controls/tooltipbutton.h"
#include "pagestore/hitmark.h"
#include "pane/concordancebrowser.h"
#include "pane/htmlctrl.h"
#include "pane/sortlistctrl.h"
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

template <typename T>
T* Make(QWidget* parent, int id, const QString& text = QString()) {
    T* widget = new T(parent);
    widget->setObjectName(QString::number(id));
    if constexpr (std::is_base_of_v<QAbstractButton, T> || std::is_same_v<T, QLabel>)
        widget->setText(text);
    else if constexpr (std::is_same_v<T, QGroupBox>)
        widget->setTitle(text);
    return widget;
}

QString FromU16(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size()));
}

}  // namespace

CLeftForm::CLeftForm(const std::filesystem::path& dataFolder,
                     const std::filesystem::path& scratchFolder, QWidget* parent)
    : QWidget(parent),
      m_index([this](std::u16string_view text) {
          ShowMessageBox(this, QString::fromStdU16String(std::u16string(text)));
      }),
      m_dataFolder(dataFolder),
      m_strTempPage(scratchFolder / "windows.html"),
      m_strTempResult1(scratchFolder / "windows1.html"),
      m_strTempResult2(scratchFolder / "windows2.html") {
    setObjectName(QStringLiteral("CLeftForm"));
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
    SetUpControls();
    GroupRadios();
    SetStartValues();
    ConnectControls();
}

// Every control of the form, in the form's order: the order of creation is the stacking order
// and the order of the Tab key. The tab control and the group boxes come first, so that the
// controls they frame lie above them.
void CLeftForm::MakeControls() {
    m_tab = Make<QTabBar>(this, 1010);
    m_methodGroup = Make<QGroupBox>(this, 1022, QStringLiteral("検索方法："));
    m_rangeGroup = Make<QGroupBox>(this, 1033, QStringLiteral("検索範囲："));
    m_targetGroup = Make<QGroupBox>(this, 1045, QStringLiteral("検索対象："));
    m_hiddenEdit = Make<QPlainTextEdit>(this, 1001);
    m_prompt = Make<QLabel>(this, 1004);
    m_resultList = Make<CSortListCtrl>(this, 1007);
    m_tree = Make<QTreeWidget>(this, 1009);
    m_searchButton = Make<QPushButton>(this, 1011);
    m_andRadio = Make<QRadioButton>(this, 1019, QStringLiteral("and"));
    m_orRadio = Make<QRadioButton>(this, 1020, QStringLiteral("or"));
    m_totals = Make<QLabel>(this, 1030, QStringLiteral("検索集計："));
    m_rangeLabel = Make<QLabel>(this, 1035);
    m_inputCtrl = Make<QWidget>(this, 1041);
    m_fullTextRadio = Make<QRadioButton>(this, 1042, QStringLiteral("全文"));
    m_mainTextRadio = Make<QRadioButton>(this, 1043, QStringLiteral("正文"));
    m_notesRadio = Make<QRadioButton>(this, 1044, QStringLiteral("注釈"));
    m_prevButton = Make<CToolTipResourceButton>(this, 1055, QStringLiteral("<"));
    m_nextButton = Make<CToolTipResourceButton>(this, 1057, QStringLiteral(">"));
    m_pageBox = Make<QLineEdit>(this, 1058);
    m_pageCount = Make<QLabel>(this, 1059);
    m_variantBox = Make<QCheckBox>(this, 1061, QStringLiteral("簡繁・中日等の異体字の関連"));
    m_line = Make<QFrame>(this, 1062);
    m_recentButton = Make<QToolButton>(this, 1063);
    m_recentMenu = new QMenu(m_recentButton);
}

// What the form says of a control beyond its kind and its text.
void CLeftForm::SetUpControls() {
    m_tab->setDrawBase(true);
    m_hiddenEdit->hide();
    m_tree->setHeaderHidden(true);
    m_tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);
    m_tree->setIconSize(QSize(20, 20));
    m_rangeLabel->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    m_pageBox->setAlignment(Qt::AlignCenter);
    m_pageBox->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_pageBox));
    m_recentButton->setArrowType(Qt::DownArrow);
    m_recentButton->setToolTip(QStringLiteral("最近の検索"));
    m_recentButton->setPopupMode(QToolButton::InstantPopup);
    m_recentButton->setMenu(m_recentMenu);
    m_line->setFrameShape(QFrame::HLine);
    m_line->setFrameShadow(QFrame::Sunken);
}

// The and/or radios and the target radios: each set is one exclusive group.
void CLeftForm::GroupRadios() {
    auto* andOr = new QButtonGroup(this);
    andOr->addButton(m_andRadio, 0);
    andOr->addButton(m_orRadio, 1);
    auto* target = new QButtonGroup(this);
    target->addButton(m_fullTextRadio, 0);
    target->addButton(m_mainTextRadio, 1);
    target->addButton(m_notesRadio, 2);
}

// Start values: "and", "全文" and the variant box on.
void CLeftForm::SetStartValues() {
    m_andRadio->setChecked(m_nAndOr == 0);
    m_orRadio->setChecked(m_nAndOr == 1);
    m_fullTextRadio->setChecked(true);
    m_variantBox->setChecked(m_bVariant);
}

void CLeftForm::ConnectControls() {
    connect(m_tab, &QTabBar::currentChanged, this, [this] { LayoutPane(); });
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &CLeftForm::OnTreeSelChanged);
    connect(m_searchButton, &QPushButton::clicked, this, &CLeftForm::RequestSearch);
    connect(m_recentMenu, &QMenu::aboutToShow, this, &CLeftForm::FillRecentMenu);
    connect(m_fullTextRadio, &QRadioButton::clicked, this, &CLeftForm::OnTargetFullText);
    connect(m_mainTextRadio, &QRadioButton::clicked, this, &CLeftForm::OnTargetMainText);
    connect(m_notesRadio, &QRadioButton::clicked, this, &CLeftForm::OnTargetNotes);
    connect(m_prevButton, &QPushButton::clicked, this, &CLeftForm::OnPreviousListPage);
    connect(m_nextButton, &QPushButton::clicked, this, &CLeftForm::OnNextListPage);
    connect(m_resultList, &QTreeWidget::itemSelectionChanged, this, &CLeftForm::OnResultItemChanged);
    m_resultList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_resultList, &QWidget::customContextMenuRequested, this, &CLeftForm::OnResultListMenu);
    // Enter anywhere in the pane searches (or turns the list page); the page box also jumps
    // when it loses the focus. Only the pane's own controls are watched (and the keyword box's
    // input widget), so a key that travels up to a parent is handled once.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) WatchKeys(child);
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

QWidget* CLeftForm::Control(int id) const { return findChild<QWidget*>(QString::number(id)); }

CHtmlCtrl* CLeftForm::InputCtrl() const { return qobject_cast<CHtmlCtrl*>(m_inputCtrl); }

void CLeftForm::OnInitialUpdate() {
    if (CHtmlCtrl* input = CHtmlCtrl::CreateFromStatic(1041, this)) {
        m_inputCtrl = input;
        connect(input, &CHtmlCtrl::inputWidgetAdded, this, &CLeftForm::WatchKeys);
        input->LoadFromResource(QStringLiteral("input.htm"));
    }
    m_tab->insertTab(0, QStringLiteral("検索"));
    m_tab->insertTab(0, QStringLiteral("目録"));
    m_totals->setText(QStringLiteral("検索集計："));
    m_rangeLabel->setText(m_strRange);
    m_resultList->setColumnCount(5);
    m_resultList->setHeaderLabels({QStringLiteral("類別"), QStringLiteral("書名"), QStringLiteral("巻"),
                                   QStringLiteral("頁"), QStringLiteral("件")});
    // Widths from the text they hold; every column can be widened, the book title takes what is left.
    const QFontMetrics metrics = m_resultList->fontMetrics();
    const int widths[] = {metrics.horizontalAdvance(QStringLiteral("類別類別")) + 12,
                          metrics.horizontalAdvance(QStringLiteral("書名書名書名")) + 12,
                          metrics.horizontalAdvance(QStringLiteral("卷二十九九")) + 12,
                          metrics.horizontalAdvance(QStringLiteral("00000")) + 12,
                          metrics.horizontalAdvance(QStringLiteral("0000")) + 12};
    for (int c = 0; c < 5; ++c) m_resultList->setColumnWidth(c, widths[c]);
    connect(m_resultList, &CSortListCtrl::sortRequested, this, [this](int column, bool descending) {
        static const RowOrder kOrders[] = {RowOrder::kCategory, RowOrder::kTitle, RowOrder::kVolume,
                                           RowOrder::kPageNumber, RowOrder::kHits};
        if (column < 0 || column > 4 || m_SearchResults.empty()) return;
        SortRows(m_SearchResults, kOrders[column], descending);
        m_nListPage = 1;
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
    // The trace lands in the working folder, as a diagnostic aid.
    if (!m_catalogue.Load(m_dataFolder / "kolva.dir", CatalogueTracePath())) {
        ShowMessageBox(this, QStringLiteral("you delete data file!"));
        return;
    }
    QIcon icon(QStringLiteral(":/pictures/closed-book.png"));
    icon.addFile(QStringLiteral(":/pictures/open-book.png"), QSize(), QIcon::Selected);
    // With more than one top-level entry, the whole collection heads the tree and is the range
    // a search starts with.
    if (HasWholeCollection(m_catalogue)) {
        auto* whole = new QTreeWidgetItem(m_tree);
        whole->setText(0, QStringLiteral("全体"));
        whole->setIcon(0, icon);
        whole->setData(0, Qt::UserRole, kWholeCollection);
        whole->setToolTip(0, QStringLiteral("コレクション全体を検索します"));
        m_nRangeNode = uint16_t(kWholeCollection);
        m_strRange = whole->text(0);
        m_rangeLabel->setText(m_strRange);
    }
    std::vector<QTreeWidgetItem*>& items = m_treeItems;
    items.assign(size_t(m_catalogue.NodeCount()), nullptr);
    for (int slot = 1; slot < m_catalogue.NodeCount(); ++slot) {
        const ContentsNodeTag* node = m_catalogue.Node(slot);
        if (!node) continue;  // a record with no place in the tree
        QTreeWidgetItem* parent = node->parent && node->parent->slot ? items[size_t(node->parent->slot)] : nullptr;
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
        item->setText(0, FromU16(node->name));
        item->setIcon(0, icon);
        item->setData(0, Qt::UserRole, slot);
        items[size_t(slot)] = item;
    }
}

QTreeWidgetItem* CLeftForm::ItemOfSlot(int slot) const {
    return slot >= 0 && size_t(slot) < m_treeItems.size() ? m_treeItems[size_t(slot)] : nullptr;
}

void CLeftForm::OnTreeSelChanged() {
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    if (selected.isEmpty()) return;
    QTreeWidgetItem* item = selected.first();
    const int slot = item->data(0, Qt::UserRole).toInt();
    m_nRangeNode = uint16_t(slot);
    m_strRange = item->text(0);
    for (QTreeWidgetItem* up = item->parent(); up; up = up->parent())
        m_strRange = up->text(0) + QLatin1Char('\\') + m_strRange;
    m_rangeLabel->setText(m_strRange);
    if (slot == kWholeCollection) return;  // a range only, no page
    if (item->childCount() == 0) ShowVolumePage(slot, m_catalogue.Record(slot).curFileName);
}

bool CLeftForm::ShowNodePage(int ID, int bFromStart, int nPage) {
    if (!m_catalogue.IsValidSlot(ID)) return false;
    const CatalogueRecord& entry = m_catalogue.Record(ID);
    if (bFromStart == 1) nPage = entry.curFileName;
    qDebug("documentID=%d,m_NodeItem[ID]=%d", entry.docID, int(entry.curFileName));
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
    Remember({false, nNode, nPage, 0, 0, {}});
    m_nCurNode = nNode;
    m_nCurPage = nPage;
    // A page that is not there leaves the view as it was; the position moves all the same.
    ShowNodePage(nNode, 0, nPage);
    emit currentPageChanged(m_nCurNode, m_nCurPage);
}

void CLeftForm::ShowPage(int nPage) {
    if (m_nCurNode != 0) ShowVolumePage(m_nCurNode, nPage);
}

void CLeftForm::StepPage(int step) {
    if (m_nCurNode != 0) ShowVolumePage(m_nCurNode, m_nCurPage + step);
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
    const int s = m_catalogue.NextVolumeSlot(m_nCurNode, step);
    if (s == 0) return false;
    ShowVolumePage(s, m_catalogue.Record(s).curFileName);
    // The tree steps as well (selecting a volume shows its first page again). It assumes its
    // selection sits on the volume that was read; when it has no item to step to, it selects
    // the volume opened.
    QTreeWidgetItem* item = SteppedItem(m_tree, m_tree->currentItem(), step);
    if (!item) item = ItemOfSlot(s);
    if (item) m_tree->setCurrentItem(item);
    return true;
}

void CLeftForm::StepHit(int step) {
    m_nCurHit += step;
    if (m_pBookView)
        m_pBookView->Navigate2(QString::fromStdString(m_strCurPageFile.string()),
                               QString::fromStdString(AnchorName(m_nCurHit)));
}

QString CLeftForm::PageLabel() const {
    if (!m_catalogue.IsValidSlot(m_nCurNode)) return QString::number(m_nCurPage);
    const CatalogueRecord& r = m_catalogue.Record(m_nCurNode);
    return QStringLiteral("%1/%2").arg(m_nCurPage).arg(int(r.curFileName) + r.docNo - 1);
}

void CLeftForm::Remember(Visit visit) {
    if (m_revisiting) return;
    constexpr size_t kMostVisits = 500;
    if (!m_history.empty()) m_history.resize(m_historyAt + 1);  // the forward visits go
    m_history.push_back(std::move(visit));
    if (m_history.size() > kMostVisits) m_history.erase(m_history.begin());
    m_historyAt = m_history.size() - 1;
}

bool CLeftForm::CanGoThroughHistory(int step) const {
    if (m_history.empty()) return false;
    return step < 0 ? m_historyAt > 0 : m_historyAt + 1 < m_history.size();
}

bool CLeftForm::GoThroughHistory(int step) {
    if (!CanGoThroughHistory(step)) return false;
    m_historyAt = step < 0 ? m_historyAt - 1 : m_historyAt + 1;
    const Visit visit = m_history[m_historyAt];
    m_revisiting = true;
    if (visit.result)
        ShowResultHit(visit.pageIndex, visit.anchor, visit.query);
    else
        ShowVolumePage(visit.node, visit.page);
    m_revisiting = false;
    return true;
}

void CLeftForm::FollowResultPage(uint32_t pageIndex) {
    int number = 0;
    const int slot = VolumeSlotOfPage(m_catalogue, pageIndex, number);
    if (slot == 0) return;  // a page under no volume: the position stays
    m_nCurNode = slot;
    m_nCurPage = number;
    emit currentPageChanged(m_nCurNode, m_nCurPage);
}

void CLeftForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutPane();
}

void CLeftForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    LayoutPane();
}

// The form never scrolls: every control is placed for the pane's size.
void CLeftForm::LayoutPane() {
    const int W = width(), H = height();
    m_tab->setGeometry(0, 0, W - 1, H - 1);
    QWidget* searchControls[] = {m_andRadio,   m_orRadio,     m_fullTextRadio, m_mainTextRadio,
                                 m_notesRadio, m_targetGroup, m_rangeLabel,    m_totals,
                                 m_rangeGroup, m_inputCtrl,   m_methodGroup,   m_searchButton,
                                 m_resultList, m_prompt,      m_line,          m_variantBox,
                                 m_recentButton};
    const bool search = m_tab->currentIndex() == 1;
    m_hiddenEdit->hide();
    for (QWidget* w : searchControls) w->setVisible(search);
    m_tree->setVisible(!search);
    if (search) {
        m_prompt->setGeometry(5, 28, W - 10, 15);
        m_prompt->setText(QStringLiteral("キーワードを入力して下さい。"));
        m_inputCtrl->setGeometry(5, 45, W - 82, 25);
        m_recentButton->setGeometry(W - 75, 45, 20, 25);
        m_searchButton->setGeometry(W - 50, 45, 45, 25);
        m_searchButton->setText(QStringLiteral("検索"));
        m_line->setGeometry(4, 75, W - 8, 1);
        m_variantBox->setGeometry(5, 80, W - 15, 15);
        m_methodGroup->setGeometry(5, 100, W - 10, 40);
        m_andRadio->setGeometry(10, 115, 50, 20);
        m_orRadio->setGeometry(W - 70, 115, 50, 20);
        m_targetGroup->setGeometry(5, 145, W - 10, 40);
        m_fullTextRadio->setGeometry(10, 160, 60, 20);
        m_mainTextRadio->setGeometry(97, 160, 60, 20);
        m_notesRadio->setGeometry(189, 160, 60, 20);
        m_rangeGroup->setGeometry(5, 190, W - 10, 40);
        m_rangeLabel->setGeometry(10, 205, W - 30, 20);
        m_totals->setGeometry(5, 235, W - 15, 15);
        int R = 0;
        const bool pageRow = m_nListPageCount > 0;
        for (QWidget* w : {static_cast<QWidget*>(m_prevButton), static_cast<QWidget*>(m_nextButton),
                           static_cast<QWidget*>(m_pageBox), static_cast<QWidget*>(m_pageCount)})
            w->setVisible(pageRow);
        if (pageRow) {
            const int bw = m_prevButton->width(), bh = m_prevButton->height();
            R = bh + 2;
            const int y = H - R - 3;
            m_prevButton->move(5, y);
            if (m_nListPage == 1) m_prevButton->setEnabled(false);
            m_nextButton->move(W - bw - 5, y);
            if (m_nListPage == m_nListPageCount) m_nextButton->setEnabled(false);
            // The box and the total as wide as their numbers, centred between the buttons.
            const QFontMetrics metrics = m_pageCount->fontMetrics();
            const int boxWidth = std::max(35, metrics.horizontalAdvance(QStringLiteral("00000")) + 10);
            const int countWidth = metrics.horizontalAdvance(m_pageCount->text()) + 6;
            const int x0 = (W - boxWidth - 2 - countWidth) / 2;
            m_pageBox->setGeometry(x0, y + 6, boxWidth, 20);
            m_pageCount->setGeometry(x0 + boxWidth + 2, y + 8, countWidth, 24);
        }
        m_resultList->setGeometry(5, 250, W - 10, H - 254 - R);
    } else {
        for (QWidget* w : {static_cast<QWidget*>(m_prevButton), static_cast<QWidget*>(m_nextButton),
                           static_cast<QWidget*>(m_pageBox), static_cast<QWidget*>(m_pageCount)})
            w->hide();
        m_tree->setGeometry(5, 26, W - 10, H - 30);
    }
    if (QWidget* frame = window(); frame && frame != this) frame->setWindowTitle(kMainCaption);
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
    m_nCurHit = 0;
    ReadSearchOptions();
    if (!ReadKeyWords()) return;  // an empty box: nothing to search, nothing to say
    if (!CheckSearchInput()) return;
    SearchIndex();
    // The concordance shown belongs to the search before: its links now do nothing.
    if (m_concordance) m_concordance->Close();
    ShowSearchResults();
    WriteSearchOptions();
    m_hiddenEdit->clear();
    RememberSearch(m_strKeyWords);
}

void CLeftForm::RequestSearch() {
    CHtmlCtrl* input = InputCtrl();
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
    m_recentMenu->clear();
    const QStringList recent = RecentSearches();
    if (recent.isEmpty()) m_recentMenu->addAction(QStringLiteral("（なし）"))->setEnabled(false);
    for (const QString& keywords : recent)
        connect(m_recentMenu->addAction(keywords), &QAction::triggered, this, [this, keywords] {
            if (CHtmlCtrl* input = InputCtrl()) input->SetValue(keywords);
            RequestSearch();
        });
}

// The method, target and variant controls into their members.
void CLeftForm::ReadSearchOptions() {
    m_nAndOr = m_orRadio->isChecked() ? 1 : 0;
    m_nTarget = m_notesRadio->isChecked() ? 2 : m_mainTextRadio->isChecked() ? 1 : 0;
    m_bVariant = m_variantBox->isChecked();
}

// m_strKeyWords from the hidden edit, then from the keyword box, ideographic spaces made
// spaces. False when the box answers null.
bool CLeftForm::ReadKeyWords() {
    m_strKeyWords = m_hiddenEdit->toPlainText().replace(QChar(0x3000), QLatin1Char(' '));
    qDebug("the keyWords is :%s", qUtf8Printable(m_strKeyWords));
    if (CHtmlCtrl* input = InputCtrl()) {
        const CHtmlCtrl::Inputs& inputs = input->LastInputs();
        for (const std::optional<QString>& value : inputs.values) {
            if (!value) return false;
            m_strKeyWords = QString(*value).replace(QChar(0x3000), QLatin1Char(' '));
        }
    }
    qDebug("the keyWords is :%s", qUtf8Printable(m_strKeyWords));
    return true;
}

// A range and a keyword, or the message that asks for the missing one.
bool CLeftForm::CheckSearchInput() {
    if (m_nRangeNode == kWholeCollection && !HasWholeCollection(m_catalogue)) {
        ShowMessageBox(this, QStringLiteral("検索範囲をまた指定していません。"));
        return false;
    }
    if (m_strKeyWords.isEmpty()) {
        ShowMessageBox(this, QStringLiteral("何かキーワードを入力して検索をして下さい。"));
        return false;
    }
    return true;
}

void CLeftForm::SearchIndex() {
    SearchResult result = RunSearch(m_index, m_strKeyWords.toStdU16String(),
                                    m_nAndOr == 0 ? SearchMethod::kAnd : SearchMethod::kOr,
                                    m_bVariant);
    // A string the search rejects changes nothing: the rows of the last search are built again.
    if (result.rejected) return;
    m_lastResult = std::move(result);
    // The keywords kept for marking pages: the words parted by U+3000, as the pane has always
    // kept them (composition parts words at either space).
    m_strKeyWords.replace(QChar(u' '), QChar(u'\u3000'));
}

// The rows of the index's hit pages in the range, the totals and the first list page.
void CLeftForm::ShowSearchResults() {
    m_resultList->clear();
    // Without a catalogue entry in the range slot there is no range and so no row.
    const ContentsNodeTag* range = FindRangeNode(m_catalogue, m_nRangeNode);
    const uint32_t total =
        BuildResultList(range, m_lastResult.pages, m_lastResult.counts, m_SearchResults);
    // The list reads in the collection's order until a heading sorts it.
    SortRows(m_SearchResults, RowOrder::kReading, false);
    m_resultList->ResetSortColumn();
    m_resultList->header()->setSortIndicatorShown(false);
    const int rows = int(m_SearchResults.size());
    m_nListPageCount = (rows + kRowsPerListPage - 1) / kRowsPerListPage;
    m_totals->setText(FromU16(TotalsText(m_SearchResults.size(), total)));
    if (m_nListPageCount > 0) {
        m_nListPage = 1;
        ShowResultPage();
    } else {
        m_nListPage = 0;
    }
    LayoutPane();  // shows or hides the page row
}

// The members back into the method, target and variant controls.
void CLeftForm::WriteSearchOptions() {
    m_andRadio->setChecked(m_nAndOr == 0);
    m_orRadio->setChecked(m_nAndOr == 1);
    (m_nTarget == 2 ? m_notesRadio : m_nTarget == 1 ? m_mainTextRadio : m_fullTextRadio)->setChecked(true);
    m_variantBox->setChecked(m_bVariant);
}

void CLeftForm::ShowResultPage() {
    if (m_nListPage < 1 || m_nListPage > m_nListPageCount) return;
    m_resultList->clear();
    UpdatePageBox();
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < kRowsPerListPage; ++i) {
        const size_t k = size_t(m_nListPage - 1) * kRowsPerListPage + size_t(i);
        if (k >= m_SearchResults.size()) break;
        const SearchNodeTag& row = m_SearchResults[k];
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
    m_prevButton->setEnabled(true);
    m_nextButton->setEnabled(true);
    m_pageBox->setEnabled(true);
    m_pageBox->setText(QString::number(m_nListPage));
    m_pageBox->setReadOnly(false);
    m_pageBox->selectAll();
    m_pageCount->setText(QStringLiteral("/%1").arg(m_nListPageCount));
    if (m_nListPageCount == 1) {
        m_prevButton->setEnabled(false);
        m_nextButton->setEnabled(false);
        m_pageBox->setReadOnly(true);
    }
    if (m_nListPage == 1) m_prevButton->setEnabled(false);
    if (m_nListPage == m_nListPageCount) m_nextButton->setEnabled(false);
}

void CLeftForm::GoToTypedPage() {
    bool ok = false;
    int n = m_pageBox->text().toInt(&ok);
    if (!ok) n = 0;  // text that is not a number reads as 0
    if (n < 1 || n > m_nListPageCount) {
        m_pageBox->setText(QString::number(m_nListPage));
        m_pageBox->selectAll();
    } else if (n != m_nListPage) {
        m_nListPage = n;
        ShowResultPage();
    }
}

void CLeftForm::OnPreviousListPage() {
    if (m_nListPage > 1) {
        --m_nListPage;
        ShowResultPage();
    }
}

void CLeftForm::OnNextListPage() {
    if (m_nListPage < m_nListPageCount) {
        ++m_nListPage;
        ShowResultPage();
    }
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
    if (m_SearchResults.empty()) return;
    QMenu menu(this);
    QAction* concordance = menu.addAction(QStringLiteral("用例一覧"));
    if (menu.exec(m_resultList->viewport()->mapToGlobal(position)) == concordance) ShowConcordance();
}

bool CLeftForm::ShowConcordance() {
    if (m_SearchResults.empty()) return false;
    if (!m_concordance) {
        m_concordance = new CConcordanceBrowser(
            m_index, m_pBookView, m_strTempResult1.parent_path(),
            [this](uint32_t page, int anchor, const ConcordanceQuery& query) {
                ShowResultHit(page, anchor, query);
            },
            this);
    }
    static const char16_t* const kTargets[] = {u"全文", u"正文", u"注釈"};
    const QString options =
        QStringLiteral("検索対象：%1　異体字：%2")
            .arg(QString::fromStdU16String(kTargets[m_nTargetCode >= 0 && m_nTargetCode < 3 ? m_nTargetCode : 0]))
            .arg(m_bVariant ? QStringLiteral("含む") : QStringLiteral("含まない"));
    m_concordance->Open(m_SearchResults,
                        {m_strKeyWords.toStdU16String(), m_nTargetCode, m_bVariant, kDefaultContext},
                        m_totals->text(), options);
    return true;
}

void CLeftForm::ShowResultHit(uint32_t pageIndex, int anchor, const ConcordanceQuery& query) {
    const std::filesystem::path& target = m_bUseResult1 ? m_strTempResult1 : m_strTempResult2;
    std::string html;
    const int anchors =
        m_index.ComposePage(int(pageIndex), html, query.keywords, query.target, query.variant);
    if (!WriteFileNoFollow(target, html)) return;
    m_nHitCount = anchors;
    m_nCurHit = std::clamp(anchor, 0, std::max(anchors - 1, 0));
    if (m_pBookView)
        m_pBookView->Navigate2(QString::fromStdString(target.string()),
                               QString::fromStdString(AnchorName(m_nCurHit)));
    m_bUseResult1 = !m_bUseResult1;
    m_strCurPageFile = target;
    Remember({true, 0, 0, pageIndex, m_nCurHit, query});
    FollowResultPage(pageIndex);
}

void CLeftForm::OnResultItemChanged() {
    const QList<QTreeWidgetItem*> selected = m_resultList->selectedItems();
    if (selected.isEmpty()) return;
    const int page = selected.first()->data(0, Qt::UserRole).toInt();
    ShowResultHit(uint32_t(page), 0,
                  {m_strKeyWords.toStdU16String(), m_nTargetCode, m_bVariant, kDefaultContext});
}

}  // namespace kolva
