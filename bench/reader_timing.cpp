// Times the reader's waits a person notices: start-up until the main window is shown, Enter
// until the result list is shown (searching the whole collection where it has several
// categories; the first search of the session against the same search again), choosing a
// result row until its composed page is shown, and the concordance's first 500 lines. Runs on
// the sample collection beside the program (or the folder given) under any Qt platform:
//   QT_QPA_PLATFORM=offscreen build/bin/kolva_reader_timing [DATAFOLDER] [KEYWORD]
#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>

#include "pane/keywordbox.h"
#include "pane/leftform.h"
#include "pane/resultlist.h"
#include "platform/scratch.h"
#include "shell/mainfrm.h"
#include "view/bookview.h"
#include "view/concordancescheme.h"

using namespace kolva;

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    RegisterConcordanceScheme();
    QApplication app(argc, argv);
    const std::filesystem::path data =
        argc > 1 ? std::filesystem::path(argv[1])
                 : std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
    const QString keyword = argc > 2 ? QString::fromUtf8(argv[2]) : QStringLiteral("明月");
    ScratchFolder scratch;
    scratch.Create(QDir::tempPath().toStdString());

    CMainFrame frame(AppPaths{data, data, scratch.Path()});
    frame.m_pLeftForm->OnInitialUpdate();
    frame.m_pBookView->OnInitialUpdate();
    frame.showMaximized();
    if (!QTest::qWaitForWindowExposed(&frame)) return 1;
    const qint64 shown = clock.elapsed();

    CLeftForm* form = frame.m_pLeftForm;
    for (int waited = 0; !form->InputCtrl()->IsLoaded(); waited += 10) {
        if (waited > 20000) return 1;
        QTest::qWait(10);
    }
    form->InputCtrl()->SetValue(keyword);
    QTest::qWait(50);  // the box holds the keyword
    CResultList* list = form->ResultList();
    // Enter until the list is painted, in microseconds: the search with the list filled, and the
    // whole.
    const auto search = [&] {
        QElapsedTimer enter;
        enter.start();
        form->OnSearch();
        const qint64 searched = enter.nsecsElapsed() / 1000;
        list->viewport()->repaint();
        return std::make_pair(searched, enter.nsecsElapsed() / 1000);
    };
    const auto [firstSearch, firstShown] = search();
    const qint64 listed = firstShown / 1000;
    // The same search again: what a later search of the session pays (the first should pay no
    // more for being the first).
    QList<qint64> again, againShown;
    for (int i = 0; i < 5; ++i) {
        QTest::qWait(20);
        const auto [searched, shown] = search();
        again.append(searched);
        againShown.append(shown);
    }
    std::sort(again.begin(), again.end());
    std::sort(againShown.begin(), againShown.end());
    const int rows = std::min(list->topLevelItemCount(), 20);
    QList<qint64> times;
    for (int i = 0; i < rows; ++i) {
        QSignalSpy loaded(frame.m_pBookView, &QWebEngineView::loadFinished);
        QElapsedTimer row;
        row.start();
        list->setCurrentItem(list->topLevelItem(i));
        if (!loaded.wait(20000)) return 1;
        times.append(row.elapsed());
    }
    std::sort(times.begin(), times.end());
    // The concordance of the search: from the command until its first page of lines is shown.
    qint64 concordance = -1;
    {
        QSignalSpy loaded(frame.m_pBookView, &QWebEngineView::loadFinished);
        QElapsedTimer shownIn;
        shownIn.start();
        const bool made = form->ShowConcordance();
        std::printf("concordance page written in %lld ms\n", static_cast<long long>(shownIn.elapsed()));
        if (made && loaded.wait(20000)) concordance = shownIn.elapsed();
    }
    std::printf("start-up until the main window is shown: %lld ms\n", static_cast<long long>(shown));
    std::printf("Enter until the result list is shown: %lld ms (%zu rows)\n", static_cast<long long>(listed),
                form->Session().Rows().size());
    std::printf("the same search, first in the session: %lld us searched and listed, %lld us "
                "painted; again (median of 5): %lld us, %lld us\n",
                static_cast<long long>(firstSearch), static_cast<long long>(firstShown),
                static_cast<long long>(again[2]), static_cast<long long>(againShown[2]));
    if (!times.isEmpty())
        std::printf("row chosen until its page is shown: median %lld ms, max %lld ms (%d rows)\n",
                    static_cast<long long>(times[times.size() / 2]),
                    static_cast<long long>(times.back()), int(times.size()));
    if (concordance >= 0)
        std::printf("concordance until its first 500 lines are shown: %lld ms\n",
                    static_cast<long long>(concordance));
    return 0;
}
