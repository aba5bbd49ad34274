// The main window: the toolbar on top, the left pane and the reading view side by side, and the
// commands that move the reader through the collection. The reading position lives in the left
// pane: the frame's commands and the toolbar's slider ask the pane to move it, and the frame keeps
// the slider and the page label in step with every page the pane shows.
#pragma once

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <filesystem>

#include "controls/st_splitterwnd.h"
#include "view/bookview.h"

class QAction;

class QMenu;

namespace kolva {

class CBookView;
class CLeftForm;
class CSCrollToolBar;

// Where the program finds its files.
struct AppPaths {
    std::filesystem::path exeFolder;      // the folder of the program ("end.exe" lies there)
    std::filesystem::path dataFolder;     // the collection's data files
    std::filesystem::path scratchFolder;  // the private folder for the pages shown
};

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(const AppPaths& paths, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The reading view in pane (0, 1), or null.
    CBookView* GetBookView() const;
    ST_SplitterWnd* Splitter() const { return m_wndSplitter; }
    CSCrollToolBar* ToolBar() const { return m_wndToolBar; }
    // The action of a command id (menu, toolbar and keys share it).
    QAction* Action(int id) const { return m_actions.value(id); }
    // Applies every enable rule; runs when a menu opens and when the program goes idle.
    void UpdateCommandUI();
    // The pane that has (or last had) the keyboard focus: the left pane or the reading view.
    QWidget* ActivePane() const { return m_activePane; }

    // Command handlers.
    void OnPrevPage();
    void OnNextPage();
    void OnPrevVolume();
    void OnNextVolume();
    void OnPrevHit();
    void OnNextHit();
    void OnConcordance();
    void OnHistoryBack();
    void OnReadingKey(CBookView::ReadingKey key);
    void OnHistoryForward();
    void OnShowAll();
    void OnHelp();
    void OnFileImport();
    void OnFileOpen();
    void OnEditCopy();
    void OnSelectAll();
    void OnPrint();
    void OnPrintSetup();
    void OnAppAbout();
    void OnAppExit();
    void OnViewToolBar();
    void OnZoomIn();
    void OnZoomOut();
    void OnZoomReset();
    void OnFilePrintStandard();
    void OnNextPane();
    void OnPrevPane();

    CLeftForm* m_pLeftForm = nullptr;  // pane (0, 0)
    CBookView* m_pBookView = nullptr;  // pane (0, 1)

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnCreate();
    void OnCreateClient();
    // Every command: its action, keys, handler and menu entry; then the toolbar's buttons.
    void CreateActions();
    void CreateToolBarButtons();
    // Makes the action of command id, shared by its menu entry, its toolbar button and its keys.
    // A command without a handler does nothing.
    QAction* AddCommand(int id, const QString& menuText, const QString& tip,
                        const QList<QKeySequence>& keys, void (CMainFrame::*handler)());
    // The left pane showed page number page of volume slot node: the slider and the label follow.
    void OnPageShown(int node, int page);
    // The reader chose a page with the toolbar's slider.
    void OnSliderPage(int page);
    // Makes the other pane the active one (there are two, so next and previous are the same).
    void ActivateOtherPane();
    // The profile: only the splitter's pane sizes, written at exit and never read back.
    void WriteSettings();
    // The end of the window: panes destroyed, "end.exe" started, the pane sizes saved.
    void Shutdown();

    AppPaths m_paths;
    QPointer<ST_SplitterWnd> m_wndSplitter;
    CSCrollToolBar* m_wndToolBar = nullptr;
    QMenu* m_recentCollections = nullptr;  // ファイル → 最近のコレクション
    QMap<int, QAction*> m_actions;
    QPointer<QWidget> m_activePane;
    bool m_shutDown = false;
};

}  // namespace kolva
