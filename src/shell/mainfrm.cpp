#include "shell/mainfrm.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSplitterHandle>
#include <QTreeWidget>
#include <QUrl>

#include "controls/scrolltoolbar.h"
#include "pane/leftform.h"
#include "shell/aboutdlg.h"
#include "ui/appinfo.h"
#include "shell/commands.h"
#include "ui/icons.h"
#include "ui/messagebox.h"
#include "shell/splash.h"
#include "view/bookview.h"

namespace kolva {

namespace {

// Keys of the accelerator table whose commands have no handler: they do nothing anywhere.
bool IsDeadKey(const QKeyEvent* key) {
    const QKeyCombination combination = key->keyCombination();
    static const QKeyCombination dead[] = {
        Qt::SHIFT | Qt::Key_Delete, Qt::CTRL | Qt::Key_X,        Qt::CTRL | Qt::Key_V,
        Qt::SHIFT | Qt::Key_Insert, Qt::ALT | Qt::Key_Backspace, Qt::CTRL | Qt::Key_Z,
        Qt::CTRL | Qt::Key_N,       Qt::CTRL | Qt::Key_O,        Qt::CTRL | Qt::Key_S};
    for (QKeyCombination d : dead)
        if (combination == d) return true;
    return false;
}

}  // namespace

CMainFrame::CMainFrame(const AppPaths& paths, QWidget* parent)
    : QMainWindow(parent), m_paths(paths) {
    setWindowTitle(kMainCaption);
    setWindowIcon(AppIcon());
    OnCreate();
    OnCreateClient();
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (!now) return;
        if (m_pBookView && (now == m_pBookView || m_pBookView->isAncestorOf(now)))
            m_activePane = m_pBookView;
        else if (m_pLeftForm && m_pLeftForm->isAncestorOf(now))
            m_activePane = m_pLeftForm;
    });
    // The enable rules are applied whenever the program waits for input.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &CMainFrame::UpdateCommandUI);
    UpdateCommandUI();
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    Shutdown();
}

void CMainFrame::OnCreate() {
    CSplashWnd::ShowSplashScreen(this);
    m_wndToolBar = new CSCrollToolBar(this);
    m_wndToolBar->setObjectName(QStringLiteral("59392"));
    m_wndToolBar->setMovable(true);
    m_wndToolBar->setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
    CreateActions();
    m_wndToolBar->OnCreate();
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);
    setWindowTitle(kMainCaption);
    // The small icon replaces the class icon's 16-pixel picture.
    QIcon icon = AppIcon();
    for (const QSize& size : SmallAppIcon().availableSizes())
        icon.addPixmap(SmallAppIcon().pixmap(size));
    setWindowIcon(icon);
}

QAction* CMainFrame::AddCommand(int id, const QString& menuText, const QString& tip,
                                const QList<QKeySequence>& keys) {
    auto* action = new QAction(menuText, this);
    action->setObjectName(QString::number(id));
    action->setData(id);
    if (!tip.isEmpty()) action->setToolTip(tip);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::ApplicationShortcut);
    addAction(action);  // the keys work wherever the focus is in the window
    m_actions.insert(id, action);
    return action;
}

void CMainFrame::CreateActions() {
    QAction* setup = AddCommand(ID_FILE_PRINT_SETUP, QStringLiteral("印刷設定(&S)"));
    QAction* print = AddCommand(ID_FILE_PRINT, QStringLiteral("印刷(&P)"), QStringLiteral("印刷"));
    QAction* exit = AddCommand(ID_APP_EXIT, QStringLiteral("終了(&X)"));
    QAction* copy = AddCommand(ID_EDIT_COPY, QStringLiteral("コピー(&C)"), QStringLiteral("コピー"),
                               {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    QAction* all = AddCommand(ID_EDIT_SELECT_ALL, QStringLiteral("すべて選択(&Q)"),
                              QStringLiteral("すべて選択"));
    QAction* toolbar = AddCommand(ID_VIEW_TOOLBAR, QStringLiteral("ツールバー(&T)"));
    toolbar->setCheckable(true);
    QAction* status = AddCommand(ID_VIEW_STATUS_BAR, QStringLiteral("状態バー(&S)"));
    QAction* showAll = AddCommand(ID_VIEW_SHOW_ALL, QStringLiteral("全表示(&p)"));
    QAction* prevPage = AddCommand(ID_PREV_PAGE, QStringLiteral("上の頁へ(&P)"), QStringLiteral("上の頁"));
    QAction* nextPage = AddCommand(ID_NEXT_PAGE, QStringLiteral("次の頁へ(&N)"), QStringLiteral("次の頁"));
    QAction* prevVolume = AddCommand(ID_PREV_VOLUME, QStringLiteral("上の巻へ"), QStringLiteral("上の巻へ"));
    QAction* nextVolume = AddCommand(ID_NEXT_VOLUME, QStringLiteral("次の巻へ"), QStringLiteral("次の巻へ"));
    QAction* prevHit = AddCommand(ID_PREV_HIT, QStringLiteral("上の検索結果"), QStringLiteral("上の検索結果"),
                                  {QKeySequence(Qt::ALT | Qt::Key_F3)});
    QAction* nextHit = AddCommand(ID_NEXT_HIT, QStringLiteral("次の検索結果"), QStringLiteral("次の検索結果"),
                                  {QKeySequence(Qt::Key_F3)});
    QAction* about = AddCommand(ID_APP_ABOUT, QStringLiteral("バージョン(&A)..."), QStringLiteral("情報"));
    QAction* help = AddCommand(ID_HELP_FILE, QStringLiteral("ヘルプ"));
    QAction* standardPrint = AddCommand(ID_FILE_PRINT_STANDARD, QStringLiteral("印刷"), {},
                                        {QKeySequence(Qt::CTRL | Qt::Key_P)});
    QAction* nextPane = AddCommand(ID_NEXT_PANE, QString(), {}, {QKeySequence(Qt::Key_F6)});
    QAction* prevPane = AddCommand(ID_PREV_PANE, QString(), {}, {QKeySequence(Qt::SHIFT | Qt::Key_F6)});

    connect(setup, &QAction::triggered, this, &CMainFrame::OnPrintSetup);
    connect(print, &QAction::triggered, this, &CMainFrame::OnPrint);
    connect(exit, &QAction::triggered, this, &QWidget::close);
    connect(copy, &QAction::triggered, this, &CMainFrame::OnEditCopy);
    connect(all, &QAction::triggered, this, &CMainFrame::OnSelectAll);
    connect(toolbar, &QAction::triggered, this, [this](bool on) { m_wndToolBar->setVisible(on); });
    connect(showAll, &QAction::triggered, this, &CMainFrame::OnShowAll);
    connect(prevPage, &QAction::triggered, this, &CMainFrame::OnPrevPage);
    connect(nextPage, &QAction::triggered, this, &CMainFrame::OnNextPage);
    connect(prevVolume, &QAction::triggered, this, &CMainFrame::OnPrevVolume);
    connect(nextVolume, &QAction::triggered, this, &CMainFrame::OnNextVolume);
    connect(prevHit, &QAction::triggered, this, &CMainFrame::OnPrevHit);
    connect(nextHit, &QAction::triggered, this, &CMainFrame::OnNextHit);
    connect(about, &QAction::triggered, this, &CMainFrame::OnAppAbout);
    connect(help, &QAction::triggered, this, &CMainFrame::OnHelp);
    connect(standardPrint, &QAction::triggered, this, [this] {
        if (m_pBookView && m_activePane == m_pBookView) m_pBookView->OnPrintWithPrompt();
    });
    auto switchPane = [this] {
        QWidget* other = m_activePane == m_pBookView ? static_cast<QWidget*>(m_pLeftForm) : m_pBookView;
        if (other) other->setFocus();
        m_activePane = other;
    };
    connect(nextPane, &QAction::triggered, this, switchPane);
    connect(prevPane, &QAction::triggered, this, switchPane);
    (void)status;  // there is no status bar: the item shows no check and changes nothing

    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
    file->addActions({setup, print, exit});
    QMenu* edit = bar->addMenu(QStringLiteral("編集(&E)"));
    edit->addActions({copy, all});
    QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
    view->addActions({toolbar, status, showAll});
    QMenu* list = bar->addMenu(QStringLiteral("一覧"));
    list->addActions({prevPage, nextPage});
    list->addSeparator();
    list->addActions({prevVolume, nextVolume});
    list->addSeparator();
    list->addActions({prevHit, nextHit});
    QMenu* helpMenu = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    helpMenu->addActions({about, help});
    for (QMenu* menu : {file, edit, view, list, helpMenu})
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);

    // The toolbar's buttons, separators and the places of the slider and the label.
    for (QAction* a : {all, copy}) m_wndToolBar->addAction(a);
    m_wndToolBar->addSeparator();
    m_wndToolBar->addAction(print);
    m_wndToolBar->addSeparator();
    for (QAction* a : {prevVolume, prevPage, nextPage, nextVolume}) m_wndToolBar->addAction(a);
    m_wndToolBar->addSeparator();
    for (QAction* a : {prevHit, nextHit}) m_wndToolBar->addAction(a);
    m_wndToolBar->addSeparator();
    m_wndToolBar->addAction(about);
    m_wndToolBar->addSeparator();
}

void CMainFrame::OnCreateClient() {
    m_wndSplitter = new ST_SplitterWnd(0, this);
    m_wndSplitter->setObjectName(QStringLiteral("59648"));
    m_pLeftForm = new CLeftForm(m_paths.dataFolder, m_paths.scratchFolder);
    m_pBookView = new CBookView;
    m_pBookView->SetReadableFolders({QString::fromStdString(m_paths.scratchFolder.string()),
                                     QString::fromStdString(m_paths.dataFolder.string())});
    m_pLeftForm->SetBookView(m_pBookView);
    m_wndSplitter->Create(m_pLeftForm, m_pBookView);
    setCentralWidget(m_wndSplitter);
    m_wndToolBar->SetLeftForm(m_pLeftForm);
    m_activePane = m_pLeftForm;
    connect(m_pLeftForm, &CLeftForm::currentPageChanged, this, &CMainFrame::OnVolumeShown);
    // The end of a drag of the bar between the panes repaints the left pane.
    m_wndSplitter->handle(1)->installEventFilter(this);
}

CBookView* CMainFrame::GetBookView() const {
    return m_wndSplitter ? qobject_cast<CBookView*>(m_wndSplitter->Pane(1)) : nullptr;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        IsDeadKey(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && m_pLeftForm &&
        m_wndSplitter && watched == m_wndSplitter->handle(1))
        m_pLeftForm->update();
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::UpdateCommandUI() {
    if (m_shutDown || !m_pLeftForm || !m_pBookView) return;
    const CLeftForm& f = *m_pLeftForm;
    const CCatalogue& catalogue = f.Catalogue();
    const bool node = f.m_nCurNode != 0 && catalogue.IsValidSlot(f.m_nCurNode);
    const CatalogueRecord* r = node ? &catalogue.Record(f.m_nCurNode) : nullptr;
    const bool page = !m_pBookView->IsBlank();
    Action(ID_PREV_PAGE)->setEnabled(r && f.m_nCurPage - int(r->curFileName) >= 1);
    Action(ID_NEXT_PAGE)->setEnabled(
        r && uint32_t(f.m_nCurPage - int(r->curFileName) + 1) < uint32_t(r->docNo));
    Action(ID_NEXT_VOLUME)->setEnabled(node && catalogue.NextVolumeSlot(f.m_nCurNode, +1) != 0);
    Action(ID_PREV_VOLUME)->setEnabled(node && catalogue.NextVolumeSlot(f.m_nCurNode, -1) != 0);
    Action(ID_PREV_HIT)->setEnabled(f.m_nCurHit - 1 >= 0);
    Action(ID_NEXT_HIT)->setEnabled(f.m_nCurHit + 1 < f.m_nHitCount);
    for (int id : {ID_EDIT_COPY, ID_EDIT_SELECT_ALL, ID_FILE_PRINT, ID_FILE_PRINT_SETUP})
        Action(id)->setEnabled(page);
    Action(ID_VIEW_TOOLBAR)->setChecked(m_wndToolBar->isVisible());
}

void CMainFrame::ShowPageLabel() {
    m_wndToolBar->SetPageLabel(
        QStringLiteral("%1/%2").arg(m_pLeftForm->m_index.GetHeaderCount()).arg(m_pLeftForm->m_nCurPage));
}

void CMainFrame::OnVolumeShown(int node, int page) {
    const CatalogueRecord& r = m_pLeftForm->Catalogue().Record(node);
    m_wndToolBar->SetSliderRange(r.curFileName, r.curFileName + r.docNo - 1);
    m_wndToolBar->SetSliderPos(page);
    ShowPageLabel();
}

void CMainFrame::OnPrevPage() {
    m_pLeftForm->m_nCurPage -= 1;
    m_pLeftForm->ShowNodePage(m_pLeftForm->m_nCurNode, 0, m_pLeftForm->m_nCurPage);
    m_wndToolBar->SetSliderPos(m_pLeftForm->m_nCurPage);
    ShowPageLabel();
}

void CMainFrame::OnNextPage() {
    m_pLeftForm->m_nCurPage += 1;
    m_pLeftForm->ShowNodePage(m_pLeftForm->m_nCurNode, 0, m_pLeftForm->m_nCurPage);
    m_wndToolBar->SetSliderPos(m_pLeftForm->m_nCurPage);
    ShowPageLabel();
}

void CMainFrame::OpenVolume(int s) {
    const CatalogueRecord& r = m_pLeftForm->Catalogue().Record(s);
    m_pLeftForm->m_nCurNode = s;
    m_pLeftForm->ShowNodePage(s, 1, 1);
    m_pLeftForm->m_nCurPage = r.curFileName;
    m_wndToolBar->SetSliderRange(r.curFileName, r.curFileName + r.docNo - 1);
    m_wndToolBar->SetSliderPos(r.curFileName);
}

namespace {

// The item a volume command selects after the selected one: its next (previous) sibling, else
// the first (last) child of its parent's next (previous) sibling; null when there is none.
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

void CMainFrame::StepVolume(int step) {
    const CCatalogue& catalogue = m_pLeftForm->Catalogue();
    const int s = catalogue.NextVolumeSlot(m_pLeftForm->m_nCurNode, step);
    if (s == 0) {
        ShowMessageBox(this, step > 0 ? QStringLiteral("もう最後の巻まで至りました。")
                                      : QStringLiteral("これ以上戻れません。もう巻一に至っています。"));
        return;
    }
    OpenVolume(s);
    // The tree follows the step; when it has no item to step to, it selects the volume opened.
    QTreeWidget* tree = m_pLeftForm->Tree();
    QTreeWidgetItem* item = SteppedItem(tree, tree->currentItem(), step);
    if (!item) item = m_pLeftForm->ItemOfSlot(s);
    if (item) tree->setCurrentItem(item);
    ShowPageLabel();
}

void CMainFrame::OnNextVolume() { StepVolume(+1); }
void CMainFrame::OnPrevVolume() { StepVolume(-1); }

void CMainFrame::OnPrevHit() {
    m_pLeftForm->m_nCurHit -= 1;
    m_pBookView->Navigate2(QString::fromStdString(m_pLeftForm->m_strCurPageFile.string()),
                           QStringLiteral("%1").arg(m_pLeftForm->m_nCurHit, 4, 10, QLatin1Char('0')));
}

void CMainFrame::OnNextHit() {
    m_pLeftForm->m_nCurHit += 1;
    m_pBookView->Navigate2(QString::fromStdString(m_pLeftForm->m_strCurPageFile.string()),
                           QStringLiteral("%1").arg(m_pLeftForm->m_nCurHit, 4, 10, QLatin1Char('0')));
}

void CMainFrame::OnShowAll() {
    qDebug("%s", qUtf8Printable(Action(ID_VIEW_SHOW_ALL)->text()));
    m_wndSplitter->ToggleSide(0);
}

void CMainFrame::OnHelp() {
    // The help page has a fixed place; without it nothing happens.
    const QString path = QString::fromLatin1(kHelpFilePath);
    if (QFile::exists(path)) QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void CMainFrame::OnEditCopy() { m_pBookView->OnCopyLimited(); }
void CMainFrame::OnSelectAll() { m_pBookView->OnSelectAll(); }

void CMainFrame::OnPrint() {
    // From the view or from the frame alike: printed without asking (the frame's print
    // template name is empty, so both print the same way).
    m_pBookView->OnPrint();
}

void CMainFrame::OnPrintSetup() {
    if (m_activePane == m_pBookView)
        m_pBookView->OnPrintSetup();
    else
        m_pBookView->OnPrintPreview();
}

void CMainFrame::OnAppAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    Shutdown();
    event->accept();
}

void CMainFrame::Shutdown() {
    if (m_shutDown) return;
    m_shutDown = true;
    // The sizes saved are those of the last layout, taken while the panes still exist.
    if (m_wndSplitter) m_wndSplitter->RememberSizes();
    if (m_wndToolBar) m_wndToolBar->SetLeftForm(nullptr);
    delete m_pLeftForm;  // deletes its scratch pages and closes the index
    m_pLeftForm = nullptr;
    delete m_pBookView;
    m_pBookView = nullptr;
    // "end.exe" beside the program is started without waiting; a missing one is skipped.
    const std::filesystem::path endProgram = m_paths.exeFolder / "end.exe";
    std::error_code ec;
    if (std::filesystem::exists(endProgram, ec))
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(endProgram.string())));
    delete m_wndSplitter;  // writes the pane sizes to the profile
}

}  // namespace kolva
