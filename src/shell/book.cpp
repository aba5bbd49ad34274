#include "shell/book.h"

#include <QScreen>
#include <QTimer>

#include <QDir>
#include <QFile>

#include "pane/leftform.h"
#include "ui/appinfo.h"
#include "ui/messagebox.h"
#include "ui/trace.h"
#include "shell/splash.h"
#include "view/bookview.h"

namespace kolva {

namespace {

// The value of option name at arguments[i], given as "name VALUE" (i then moves past the value)
// or as "name=VALUE"; false when arguments[i] is not that option.
bool OptionValue(const QStringList& arguments, qsizetype& i, const QString& name, QString& value) {
    const QString& arg = arguments[i];
    if (arg == name && i + 1 < arguments.size()) {
        value = arguments[++i];
        return true;
    }
    if (arg.startsWith(name + QLatin1Char('='))) {
        value = arg.mid(name.size() + 1);
        return true;
    }
    return false;
}

}  // namespace

const char kReaderUsage[] =
    "Usage: kolva [--data DIR] [--trace FILE] [--no-splash] [FILE]\n"
    "The reader of a Kolva collection: its contents, its pages, and full-text search.\n"
    "\n"
    "  --data DIR    open the collection in DIR (default: the one beside the program)\n"
    "  --trace FILE  write the catalogue trace to FILE (default: kolva.txt in\n"
    "                $XDG_STATE_HOME/kolva, else ~/.local/state/kolva)\n"
    "  --no-splash   start without the splash picture\n"
    "  --help        print this and exit\n"
    "  --version     print the version and exit\n";

CommandLineInfo ParseCommandLine(const QStringList& arguments) {
    CommandLineInfo info;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const QString flag = arg.mid(1);
        const bool isFlag = arg.startsWith(QLatin1Char('-')) ||
                            (arg.startsWith(QLatin1Char('/')) && !arg.mid(1).contains(QLatin1Char('/')) &&
                             !QFile::exists(arg));
        if (arg == QLatin1String("--no-splash")) {
            info.showSplash = false;
            continue;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            info.help = true;
            continue;
        }
        if (arg == QLatin1String("--version")) {
            info.version = true;
            continue;
        }
        if (OptionValue(arguments, i, QStringLiteral("--data"), info.dataFolder) ||
            OptionValue(arguments, i, QStringLiteral("--trace"), info.traceFile))
            continue;
        if (isFlag) {
            if (flag.compare(QLatin1String("Embedding"), Qt::CaseInsensitive) == 0 ||
                flag.compare(QLatin1String("Automation"), Qt::CaseInsensitive) == 0)
                info.showSplash = false;
            continue;  // other standard flags ask for nothing this program does
        }
        if (info.fileName.isEmpty()) info.fileName = arg;
    }
    return info;
}

CBookApp::CBookApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(kAppTitle);
    setOrganizationName(kProfileOrganisation);
}

CBookApp::~CBookApp() { m_frame.reset(); }

bool CBookApp::InitInstance(const std::filesystem::path& dataFolder) {
    const CommandLineInfo commandLine = ParseCommandLine(arguments());
    CSplashWnd::EnableSplashScreen(commandLine.showSplash);
    if (!commandLine.traceFile.isEmpty()) SetCatalogueTrace(commandLine.traceFile.toStdString());
    if (!commandLine.fileName.isEmpty()) {
        // The document is empty whatever the file holds, but the file must be readable.
        QFile file(commandLine.fileName);
        if (!file.open(QIODevice::ReadOnly)) {
            ShowMessageBox(nullptr, QStringLiteral("%1 を開けませんでした。").arg(commandLine.fileName));
            return false;
        }
    }
    if (!m_scratch.Create(QDir::tempPath().toStdString()))
        qWarning("cannot create the folder for the pages shown");

    AppPaths paths;
    paths.exeFolder = applicationDirPath().toStdString();
    paths.dataFolder = !dataFolder.empty()                   ? dataFolder
                       : !commandLine.dataFolder.isEmpty() ? std::filesystem::path(commandLine.dataFolder.toStdString())
                                                            : paths.exeFolder;
    paths.scratchFolder = m_scratch.Path();
    m_frame = std::make_unique<CMainFrame>(paths);
    m_frame->m_pLeftForm->OnInitialUpdate();
    m_frame->m_pBookView->OnInitialUpdate();
    // The screen's whole work area also where nothing maximizes the window (no window manager,
    // or one that ignores the request).
    if (QScreen* screen = m_frame->screen()) m_frame->setGeometry(screen->availableGeometry());
    m_frame->showMaximized();
    m_frame->repaint();
    // The window is ready: the splash goes once it has been drawn.
    QTimer::singleShot(0, this, [] { CSplashWnd::HideSplashScreen(); });
    return true;
}

bool CBookApp::notify(QObject* receiver, QEvent* event) {
    if (CSplashWnd::PreTranslateAppMessage(event)) return true;
    return QApplication::notify(receiver, event);
}

}  // namespace kolva
