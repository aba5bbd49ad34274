// kolva: the reader.
#include <unistd.h>

#include <cstdio>

#include <QLoggingCategory>

#include "platform/allocator.h"
#include "shell/book.h"
#include "view/concordancescheme.h"

int main(int argc, char** argv) {
    kolva::KeepHeapForSearches();  // before the first search allocates
    // --help and --version answer without a window (and without a display).
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
        const kolva::CommandLineInfo info = kolva::ParseCommandLine(arguments);
        if (info.help) {
            std::fputs(kolva::kReaderUsage, stdout);
            return 0;
        }
        if (info.version) {
            std::fputs("kolva 0.1\n", stdout);
            return 0;
        }
    }
    // The browser engine's sandbox cannot run as root.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // Quiet on a terminal: no trace of the windows' steps (qDebug) and no report of the browser
    // engine's graphics set-up on every start. QT_LOGGING_RULES turns either back on, e.g.
    // QT_LOGGING_RULES=default.debug=true for the trace.
    QLoggingCategory::setFilterRules(
        QStringLiteral("default.debug=false\nqt.webenginecontext.info=false"));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The concordance page's links: the engine must know the scheme before it starts.
    kolva::RegisterConcordanceScheme();
    kolva::CBookApp app(argc, argv);
    if (!app.InitInstance()) return 1;
    return app.exec();
}
