// The main window: the toolbar on top, the left pane and the reading view side by side, and the
// commands that move the reader through the collection. The reading position lives in the left
// pane; the frame reads and writes it there.
#pragma once

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <filesystem>

#include "controls/st_splitterwnd.h"

class QAction;

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
    void OnShowAll();
    void OnHelp();
    void OnEditCopy();
    void OnSelectAll();
    void OnPrint();
    void OnPrintSetup();
    void OnAppAbout();

    CLeftForm* m_pLeftForm = nullptr;  // pane (0, 0)
    CBookView* m_pBookView = nullptr;  // pane (0, 1)

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnCreate();
    void OnCreateClient();
    void CreateActions();
    QAction* AddCommand(int id, const QString& menuText, const QString& tip = QString(),
                        const QList<QKeySequence>& keys = {});
    void ShowPageLabel();
    void OnVolumeShown(int node, int page);
    // Opens volume s after a volume command: its first page, the slider, the label.
    void OpenVolume(int s);
    // The next (+1) or previous (-1) volume in slot order, with the tree following.
    void StepVolume(int step);
    // The end of the window: panes destroyed, "end.exe" started, the splitter's sizes saved.
    void Shutdown();

    AppPaths m_paths;
    QPointer<ST_SplitterWnd> m_wndSplitter;
    CSCrollToolBar* m_wndToolBar = nullptr;
    QMap<int, QAction*> m_actions;
    QPointer<QWidget> m_activePane;
    bool m_shutDown = false;
};

}  // namespace kolva
