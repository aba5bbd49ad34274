// The application: start-up in its fixed order, the one document and the main window.
#pragma once

#include <QApplication>
#include <memory>

#include "platform/scratch.h"
#include "shell/mainfrm.h"

namespace kolva {

// What the command line asks for: --data DIR, --trace FILE, --no-splash; "-Embedding",
// "/Embedding", "-Automation" and "/Automation" start embedded (no splash); one file name means
// "open" (it must exist and be readable; its content is ignored).
struct CommandLineInfo {
    bool showSplash = true;   // off with --no-splash (and the embedding flags)
    QString fileName;
    QString dataFolder;       // --data DIR: the collection to open instead of the one beside the program
    QString traceFile;        // --trace FILE: the catalogue trace there, not in the state folder
    bool help = false;        // --help: the usage printed, no window
    bool version = false;     // --version: the version printed, no window
};
CommandLineInfo ParseCommandLine(const QStringList& arguments);
// What --help prints.
extern const char kReaderUsage[];

class CBookApp : public QApplication {
    Q_OBJECT
public:
    CBookApp(int& argc, char** argv);
    ~CBookApp() override;

    // Runs start-up; false when the program must end at once. dataFolder overrides the folder of
    // the program as the place of the collection.
    bool InitInstance(const std::filesystem::path& dataFolder = {});
    CMainFrame* MainFrame() const { return m_frame.get(); }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    ScratchFolder m_scratch;
    std::unique_ptr<CMainFrame> m_frame;
};

}  // namespace kolva
