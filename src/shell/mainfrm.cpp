#include "shell/mainfrm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSettings>
#include <QSplitterHandle>
#include <QStyle>
#include <QUrl>

#include "controls/scrolltoolbar.h"
#include "pane/leftform.h"
#include "shell/aboutdlg.h"
#include "ui/appinfo.h"
#include "shell/commands.h"
#include "shell/importcmd.h"
#include "ui/icons.h"
#include "ui/messagebox.h"
#include "shell/splash.h"
#include "view/bookview.h"

namespace kolva {

namespace {

// Keys of the accelerator table whose commands have no handler: they do nothing anywhere. The
// editing keys (cut, paste, undo) are not among them: they work wherever text can be typed, and
// a page in the view takes none.
bool IsDeadKey(const QKeyEvent* key) {
    const QKeyCombination combination = key->keyCombination();
    static const QKeyCombination dead[] = {Qt::CTRL | Qt::Key_N, Qt::CTRL | Qt::Key_S};
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
    // The enable rules are applied when what they look at changes: the session, the page in the
    // view, the toolbar shown or hidden.
    connect(m_pLeftForm, &CLeftForm::sessionChanged, this, &CMainFrame::UpdateCommandUI);
    connect(m_pBookView, &QWebEngineView::urlChanged, this, &CMainFrame::UpdateCommandUI);
    connect(m_pBookView, &QWebEngineView::loadFinished, this, &CMainFrame::UpdateCommandUI);
    connect(m_wndToolBar, &QToolBar::visibilityChanged, this, &CMainFrame::UpdateCommandUI);
    UpdateCommandUI();
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    Shutdown();
}

void CMainFrame::OnCreate() {
    CSplashWnd::ShowSplashScreen(this);
    m_wndToolBar = new CSCrollToolBar(this);
    m_wndToolBar->setObjectName(QStringLiteral("toolBar"));
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
                                const QList<QKeySequence>& keys, void (CMainFrame::*handler)()) {
    auto* action = new QAction(menuText, this);
    action->setData(id);
    if (!tip.isEmpty()) action->setToolTip(tip);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::ApplicationShortcut);
    addAction(action);  // the keys work wherever the focus is in the window
    if (handler) connect(action, &QAction::triggered, this, handler);
    m_actions.insert(id, action);
    return action;
}

void CMainFrame::CreateActions() {
    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    fileMenu->addAction(AddCommand(ID_FILE_IMPORT, QStringLiteral("取り込み(&I)..."), {}, {},
                                   &CMainFrame::OnFileImport));
    fileMenu->addAction(AddCommand(ID_FILE_OPEN_COLLECTION, QStringLiteral("開く(&O)..."), {},
                                   {QKeySequence(Qt::CTRL | Qt::Key_O)}, &CMainFrame::OnFileOpen));
    // The collections opened before, the one shown first.
    m_recentCollections = fileMenu->addMenu(QStringLiteral("最近のコレクション(&R)"));
    m_recentCollections->setObjectName(QStringLiteral("RecentCollections"));
    connect(m_recentCollections, &QMenu::aboutToShow, this, [this] {
        m_recentCollections->clear();
        for (const QString& folder : RecentCollections())
            connect(m_recentCollections->addAction(folder), &QAction::triggered, this,
                    [this, folder] { OpenCollection(this, folder); });
        if (m_recentCollections->isEmpty())
            m_recentCollections->addAction(QStringLiteral("（なし）"))->setEnabled(false);
    });
    fileMenu->addSeparator();
    fileMenu->addAction(AddCommand(ID_FILE_PRINT_SETUP, QStringLiteral("印刷設定(&S)"), {}, {},
                                   &CMainFrame::OnPrintSetup));
    fileMenu->addAction(AddCommand(ID_FILE_PRINT, QStringLiteral("印刷(&P)"),
                                   QStringLiteral("印刷"), {}, &CMainFrame::OnPrint));
    fileMenu->addAction(
        AddCommand(ID_APP_EXIT, QStringLiteral("終了(&X)"), {}, {}, &CMainFrame::OnAppExit));

    QMenu* editMenu = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    editMenu->addAction(
        AddCommand(ID_EDIT_COPY, QStringLiteral("コピー(&C)"), QStringLiteral("コピー"),
                   {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)},
                   &CMainFrame::OnEditCopy));
    editMenu->addAction(AddCommand(ID_EDIT_SELECT_ALL, QStringLiteral("すべて選択(&Q)"),
                                   QStringLiteral("すべて選択"), {}, &CMainFrame::OnSelectAll));

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("表示(&V)"));
    QAction* toolBar = AddCommand(ID_VIEW_TOOLBAR, QStringLiteral("ツールバー(&T)"), {}, {},
                                  &CMainFrame::OnViewToolBar);
    toolBar->setCheckable(true);
    viewMenu->addAction(toolBar);
    // There is no status bar: the item shows no check and changes nothing.
    viewMenu->addAction(
        AddCommand(ID_VIEW_STATUS_BAR, QStringLiteral("状態バー(&S)"), {}, {}, nullptr));
    viewMenu->addAction(
        AddCommand(ID_VIEW_SHOW_ALL, QStringLiteral("全表示(&p)"), {}, {}, &CMainFrame::OnShowAll));
    // The view answers these keys itself when it has the focus (it keeps Ctrl keys from the
    // window's shortcuts); elsewhere in the window they come here.
    viewMenu->addSeparator();
    viewMenu->addAction(AddCommand(ID_VIEW_ZOOM_IN, QStringLiteral("拡大(&I)"), {},
                                   {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)},
                                   &CMainFrame::OnZoomIn));
    viewMenu->addAction(AddCommand(ID_VIEW_ZOOM_OUT, QStringLiteral("縮小(&O)"), {},
                                   {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, &CMainFrame::OnZoomOut));
    viewMenu->addAction(AddCommand(ID_VIEW_ZOOM_RESET, QStringLiteral("標準の大きさ(&R)"), {},
                                   {QKeySequence(Qt::CTRL | Qt::Key_0)}, &CMainFrame::OnZoomReset));

    QMenu* listMenu = menuBar()->addMenu(QStringLiteral("一覧"));
    listMenu->addAction(AddCommand(ID_PREV_PAGE, QStringLiteral("上の頁へ(&P)"),
                                   QStringLiteral("上の頁"), {}, &CMainFrame::OnPrevPage));
    listMenu->addAction(AddCommand(ID_NEXT_PAGE, QStringLiteral("次の頁へ(&N)"),
                                   QStringLiteral("次の頁"), {}, &CMainFrame::OnNextPage));
    listMenu->addSeparator();
    listMenu->addAction(AddCommand(ID_PREV_VOLUME, QStringLiteral("上の巻へ"),
                                   QStringLiteral("上の巻へ"), {}, &CMainFrame::OnPrevVolume));
    listMenu->addAction(AddCommand(ID_NEXT_VOLUME, QStringLiteral("次の巻へ"),
                                   QStringLiteral("次の巻へ"), {}, &CMainFrame::OnNextVolume));
    listMenu->addSeparator();
    listMenu->addAction(AddCommand(ID_PREV_HIT, QStringLiteral("上の検索結果"),
                                   QStringLiteral("上の検索結果"),
                                   {QKeySequence(Qt::ALT | Qt::Key_F3)}, &CMainFrame::OnPrevHit));
    listMenu->addAction(AddCommand(ID_NEXT_HIT, QStringLiteral("次の検索結果"),
                                   QStringLiteral("次の検索結果"), {QKeySequence(Qt::Key_F3)},
                                   &CMainFrame::OnNextHit));
    listMenu->addSeparator();
    listMenu->addAction(AddCommand(ID_HISTORY_BACK, QStringLiteral("戻る(&B)"), QStringLiteral("戻る"),
                                   {QKeySequence(Qt::ALT | Qt::Key_Left)}, &CMainFrame::OnHistoryBack));
    listMenu->addAction(AddCommand(ID_HISTORY_FORWARD, QStringLiteral("進む(&F)"),
                                   QStringLiteral("進む"), {QKeySequence(Qt::ALT | Qt::Key_Right)},
                                   &CMainFrame::OnHistoryForward));
    Action(ID_HISTORY_BACK)->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    Action(ID_HISTORY_FORWARD)->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    listMenu->addSeparator();
    listMenu->addAction(AddCommand(ID_CONCORDANCE, QStringLiteral("用例一覧(&K)"),
                                   QStringLiteral("用例一覧"), {QKeySequence(Qt::Key_F4)},
                                   &CMainFrame::OnConcordance));

    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    helpMenu->addAction(AddCommand(ID_APP_ABOUT, QStringLiteral("バージョン(&A)..."),
                                   QStringLiteral("情報"), {}, &CMainFrame::OnAppAbout));
    helpMenu->addAction(
        AddCommand(ID_HELP_FILE, QStringLiteral("ヘルプ"), {}, {}, &CMainFrame::OnHelp));

    // Commands of the keys alone.
    AddCommand(ID_FILE_PRINT_STANDARD, QStringLiteral("印刷"), {},
               {QKeySequence(Qt::CTRL | Qt::Key_P)}, &CMainFrame::OnFilePrintStandard);
    AddCommand(ID_NEXT_PANE, {}, {}, {QKeySequence(Qt::Key_F6)}, &CMainFrame::OnNextPane);
    AddCommand(ID_PREV_PANE, {}, {}, {QKeySequence(Qt::SHIFT | Qt::Key_F6)},
               &CMainFrame::OnPrevPane);

    for (QMenu* menu : {fileMenu, editMenu, viewMenu, listMenu, helpMenu})
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    CreateToolBarButtons();
}

// The toolbar's buttons in the order of the toolbar resource (0 is a separator); the slider and
// the page label come after them.
void CMainFrame::CreateToolBarButtons() {
    static const int kButtons[] = {
        ID_EDIT_SELECT_ALL, ID_EDIT_COPY, 0,
        ID_FILE_PRINT, 0,
        ID_PREV_VOLUME, ID_PREV_PAGE, ID_NEXT_PAGE, ID_NEXT_VOLUME, 0,
        ID_PREV_HIT, ID_NEXT_HIT, 0,
        ID_APP_ABOUT, 0,
        ID_HISTORY_BACK, ID_HISTORY_FORWARD, 0,  // beyond the picture strip: icons of their own
    };
    for (int id : kButtons) {
        if (id == 0)
            m_wndToolBar->addSeparator();
        else
            m_wndToolBar->addAction(Action(id));
    }
}

void CMainFrame::OnCreateClient() {
    m_wndSplitter = new ST_SplitterWnd(0, this);
    m_wndSplitter->setObjectName(QStringLiteral("splitter"));
    m_pLeftForm = new CLeftForm(m_paths.dataFolder, m_paths.scratchFolder);
    // The collection shown heads the recent ones.
    if (std::filesystem::exists(m_paths.dataFolder / "kolva.dir"))
        RememberCollection(QString::fromStdString(m_paths.dataFolder.string()));
    m_pBookView = new CBookView;
    m_pBookView->SetReadableFolders({QString::fromStdString(m_paths.scratchFolder.string()),
                                     QString::fromStdString(m_paths.dataFolder.string())});
    m_pLeftForm->SetBookView(m_pBookView);
    m_wndSplitter->Create(m_pLeftForm, m_pBookView);
    // The left pane comes back at the width it was left at.
    const int leftWidth = QSettings(kProfileOrganisation, kAppTitle).value(QStringLiteral("SplitterWnd/LeftWidth"), 0).toInt();
    if (leftWidth >= 150 && leftWidth <= 2000) m_wndSplitter->SetLeftWidth(leftWidth);
    setCentralWidget(m_wndSplitter);
    m_activePane = m_pLeftForm;
    connect(m_pLeftForm, &CLeftForm::currentPageChanged, this, &CMainFrame::OnPageShown);
    connect(m_wndToolBar, &CSCrollToolBar::pageChosen, this, &CMainFrame::OnSliderPage);
    connect(m_pBookView, &CBookView::readingKeyPressed, this, &CMainFrame::OnReadingKey);
    // The zoom is kept in the profile.
    {
        QSettings profile(kProfileOrganisation, kAppTitle);
        const double zoom = profile.value(QStringLiteral("View/Zoom"), 1.0).toDouble();
        if (zoom >= 0.5 && zoom <= 3.0) m_pBookView->setZoomFactor(zoom);
    }
    connect(m_pBookView, &CBookView::zoomChanged, this, [](double factor) {
        QSettings(kProfileOrganisation, kAppTitle).setValue(QStringLiteral("View/Zoom"), factor);
    });
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
    const bool node = f.Session().Node() != 0 && catalogue.IsValidSlot(f.Session().Node());
    const CatalogueRecord* r = node ? &catalogue.Record(f.Session().Node()) : nullptr;
    const bool page = !m_pBookView->IsBlank();
    Action(ID_PREV_PAGE)->setEnabled(r && f.Session().Page() - int(r->firstPage) >= 1);
    Action(ID_NEXT_PAGE)->setEnabled(
        r && uint32_t(f.Session().Page() - int(r->firstPage) + 1) < uint32_t(r->docNo));
    Action(ID_NEXT_VOLUME)->setEnabled(node && catalogue.NextVolumeSlot(f.Session().Node(), +1) != 0);
    Action(ID_PREV_VOLUME)->setEnabled(node && catalogue.NextVolumeSlot(f.Session().Node(), -1) != 0);
    Action(ID_PREV_HIT)->setEnabled(f.Session().CanStepHit(-1));
    Action(ID_NEXT_HIT)->setEnabled(f.Session().CanStepHit(+1));
    Action(ID_CONCORDANCE)->setEnabled(!f.Session().Rows().empty());
    Action(ID_HISTORY_BACK)->setEnabled(f.Session().CanGoThroughHistory(-1));
    Action(ID_HISTORY_FORWARD)->setEnabled(f.Session().CanGoThroughHistory(+1));
    for (int id : {ID_EDIT_COPY, ID_EDIT_SELECT_ALL, ID_FILE_PRINT, ID_FILE_PRINT_SETUP})
        Action(id)->setEnabled(page);
    Action(ID_VIEW_TOOLBAR)->setChecked(m_wndToolBar->isVisible());
}

void CMainFrame::OnPageShown(int node, int page) {
    const CatalogueRecord& r = m_pLeftForm->Catalogue().Record(node);
    m_wndToolBar->SetSliderRange(r.firstPage, r.firstPage + r.docNo - 1);
    m_wndToolBar->SetSliderPos(page);
    m_wndToolBar->SetPageLabel(m_pLeftForm->PageLabel());
    // The title bar names the book, the volume and the page before the program's caption.
    QString place;
    if (const ContentsNodeTag* volume = m_pLeftForm->Catalogue().Node(node)) {
        if (volume->parent && volume->parent->slot != 0)
            place = QString::fromStdU16String(volume->parent->name) + QLatin1Char(' ');
        place += QString::fromStdU16String(volume->name) + QStringLiteral(" %1頁 - ").arg(page);
    }
    setWindowTitle(place + kMainCaption);
}

void CMainFrame::OnSliderPage(int page) {
    if (m_pLeftForm) m_pLeftForm->ShowPage(page);
}

void CMainFrame::OnReadingKey(CBookView::ReadingKey key) {
    UpdateCommandUI();  // the page commands' rules say where a key may go
    const CLeftForm& f = *m_pLeftForm;
    const CCatalogue& catalogue = f.Catalogue();
    switch (key) {
        case CBookView::ReadingKey::kNextPage:
            if (Action(ID_NEXT_PAGE)->isEnabled()) OnNextPage();
            break;
        case CBookView::ReadingKey::kPreviousPage:
            if (Action(ID_PREV_PAGE)->isEnabled()) OnPrevPage();
            break;
        case CBookView::ReadingKey::kFirstPage:
        case CBookView::ReadingKey::kLastPage:
            if (catalogue.IsValidSlot(f.Session().Node())) {
                const CatalogueRecord& r = catalogue.Record(f.Session().Node());
                m_pLeftForm->ShowPage(key == CBookView::ReadingKey::kFirstPage
                                          ? int(r.firstPage)
                                          : int(r.firstPage) + r.docNo - 1);
            }
            break;
    }
}

void CMainFrame::OnPrevPage() { m_pLeftForm->StepPage(-1); }
void CMainFrame::OnNextPage() { m_pLeftForm->StepPage(+1); }

void CMainFrame::OnNextVolume() {
    if (!m_pLeftForm->StepVolume(+1))
        ShowMessageBox(this, QStringLiteral("もう最後の巻まで至りました。"));
}

void CMainFrame::OnPrevVolume() {
    if (!m_pLeftForm->StepVolume(-1))
        ShowMessageBox(this, QStringLiteral("これ以上戻れません。もう巻一に至っています。"));
}

void CMainFrame::OnPrevHit() { m_pLeftForm->StepHit(-1); }
void CMainFrame::OnNextHit() { m_pLeftForm->StepHit(+1); }
void CMainFrame::OnHistoryBack() { m_pLeftForm->GoThroughHistory(-1); }
void CMainFrame::OnHistoryForward() { m_pLeftForm->GoThroughHistory(+1); }
void CMainFrame::OnConcordance() { m_pLeftForm->ShowConcordance(); }

void CMainFrame::OnShowAll() {
    qDebug("%s", qUtf8Printable(Action(ID_VIEW_SHOW_ALL)->text()));
    m_wndSplitter->ToggleSide(0);
}

void CMainFrame::OnHelp() {
    // Beside the program first, wherever it is installed or built; a message names the places
    // looked at when none holds it.
    const QString beside = QCoreApplication::applicationDirPath();
    const QStringList places = {beside + QLatin1Char('/') + QLatin1String(kHelpFileName),
                                beside + QStringLiteral("/../share/kolva/") + QLatin1String(kHelpFileName),
                                QString::fromLatin1(kHelpFilePath)};
    for (const QString& path : places) {
        if (QFile::exists(path)) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
            return;
        }
    }
    ShowMessageBox(this, QStringLiteral("ヘルプのページが見つかりません。探した場所：\n") +
                             places.join(QLatin1Char('\n')));
}

void CMainFrame::OnFileImport() { ImportCommand(this); }
void CMainFrame::OnFileOpen() { OpenCommand(this); }

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

void CMainFrame::OnAppExit() { close(); }

void CMainFrame::OnZoomIn() { m_pBookView->ZoomBy(+1); }
void CMainFrame::OnZoomOut() { m_pBookView->ZoomBy(-1); }
void CMainFrame::OnZoomReset() { m_pBookView->ResetZoom(); }
void CMainFrame::OnViewToolBar() { m_wndToolBar->setVisible(Action(ID_VIEW_TOOLBAR)->isChecked()); }

// Ctrl+P: the browser's own print, with its prompts, when the reading view is the active pane.
void CMainFrame::OnFilePrintStandard() {
    if (m_pBookView && m_activePane == m_pBookView) m_pBookView->OnPrintWithPrompt();
}

void CMainFrame::OnNextPane() { ActivateOtherPane(); }
void CMainFrame::OnPrevPane() { ActivateOtherPane(); }

void CMainFrame::ActivateOtherPane() {
    QWidget* other = m_activePane == m_pBookView ? static_cast<QWidget*>(m_pLeftForm) : m_pBookView;
    if (other) other->setFocus();
    m_activePane = other;
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
    delete m_pLeftForm;  // deletes its scratch pages and closes the index
    m_pLeftForm = nullptr;
    delete m_pBookView;
    m_pBookView = nullptr;
    // "end.exe" beside the program is started without waiting; a missing one is skipped.
    const std::filesystem::path endProgram = m_paths.exeFolder / "end.exe";
    std::error_code ec;
    if (std::filesystem::exists(endProgram, ec))
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(endProgram.string())));
    WriteSettings();
    delete m_wndSplitter;
}

void CMainFrame::WriteSettings() {
    // The panes' record is written as it always was; the left pane's width is read back.
    if (!m_wndSplitter) return;
    QSettings profile(kProfileOrganisation, kAppTitle);
    profile.setValue(m_wndSplitter->ProfileKey(), m_wndSplitter->ProfileValue());
    profile.setValue(QStringLiteral("SplitterWnd/LeftWidth"), m_wndSplitter->LeftWidth());
}

}  // namespace kolva
