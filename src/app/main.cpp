// kolva: the reader.
#include <unistd.h>

#include <QLoggingCategory>

#include "shell/book.h"

int main(int argc, char** argv) {
    // The browser engine's sandbox cannot run as root.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The browser engine reports its graphics set-up on every start; QT_LOGGING_RULES can still
    // turn the report on.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    kolva::CBookApp app(argc, argv);
    if (!app.InitInstance()) return 1;
    return app.exec();
}
