// The main window: the toolbar on top, the left pane and the reading view side by side.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <filesystem>

#include "controls/st_splitterwnd.h"

namespace kolva {

class CBookView;
class CLeftForm;


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
    QToolBar* ToolBar() const { return m_wndToolBar; }

    CLeftForm* m_pLeftForm = nullptr;  // pane (0, 0)
    CBookView* m_pBookView = nullptr;  // pane (0, 1)

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnCreate();
    void OnCreateClient();
    // The end of the window: panes destroyed, "end.exe" started, the splitter's sizes saved.
    void Shutdown();

    AppPaths m_paths;
    QPointer<ST_SplitterWnd> m_wndSplitter;
    QToolBar* m_wndToolBar = nullptr;
    bool m_shutDown = false;
};

}  // namespace kolva
