#include "shell/mainfrm.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QSplitterHandle>
#include <QToolBar>
#include <QUrl>

#include "controls/st_splitterwnd.h"
#include "pane/leftform.h"
#include "shell/appinfo.h"
#include "shell/icons.h"
#include "shell/splash.h"
#include "view/bookview.h"

namespace kolva {

CMainFrame::CMainFrame(const AppPaths& paths, QWidget* parent)
    : QMainWindow(parent), m_paths(paths) {
    setWindowTitle(kMainCaption);
    setWindowIcon(AppIcon());
    OnCreate();
    OnCreateClient();
}

CMainFrame::~CMainFrame() { Shutdown(); }

void CMainFrame::OnCreate() {
    CSplashWnd::ShowSplashScreen(this);
    m_wndToolBar = new QToolBar(this);
    m_wndToolBar->setObjectName(QStringLiteral("toolbar"));  // id 59392
    m_wndToolBar->setMovable(true);
    m_wndToolBar->setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);
    setWindowTitle(kMainCaption);
    // The small icon replaces the class icon's 16-pixel picture.
    QIcon icon = AppIcon();
    for (const QSize& size : SmallAppIcon().availableSizes())
        icon.addPixmap(SmallAppIcon().pixmap(size));
    setWindowIcon(icon);
}

void CMainFrame::OnCreateClient() {
    m_wndSplitter = new ST_SplitterWnd(0, this);
    m_wndSplitter->setObjectName(QStringLiteral("splitter"));  // id 59648
    m_pLeftForm = new CLeftForm(m_paths.dataFolder, m_paths.scratchFolder);
    m_pBookView = new CBookView;
    m_pLeftForm->SetBookView(m_pBookView);
    m_wndSplitter->Create(m_pLeftForm, m_pBookView);
    setCentralWidget(m_wndSplitter);
    // The end of a drag of the bar between the panes repaints the left pane.
    m_wndSplitter->handle(1)->installEventFilter(this);
}

CBookView* CMainFrame::GetBookView() const {
    return m_wndSplitter ? qobject_cast<CBookView*>(m_wndSplitter->Pane(1)) : nullptr;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && m_pLeftForm &&
        m_wndSplitter && watched == m_wndSplitter->handle(1))
        m_pLeftForm->update();
    return QMainWindow::eventFilter(watched, event);
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
    delete m_wndSplitter;  // writes the pane sizes to the profile
}

}  // namespace kolva
