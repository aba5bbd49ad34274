// kolva: the reader.
#include <unistd.h>

#include "shell/book.h"

int main(int argc, char** argv) {
    // The browser engine's sandbox cannot run as root.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    kolva::CBookApp app(argc, argv);
    if (!app.InitInstance()) return 1;
    return app.exec();
}
