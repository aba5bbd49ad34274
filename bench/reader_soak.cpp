// A long session of the reader: CYCLES times search, choose a row, F3, next page, with the
// resident memory of the reader and of its browser-engine processes recorded every 100 cycles.
// A reader left open for a day must not grow: after the first 100 cycles the total should grow
// by less than 30 MB. Runs on the sample collection beside the program (or the folder given):
//   QT_QPA_PLATFORM=offscreen build/bin/kolva_reader_soak [DATAFOLDER] [CYCLES]
// Prints one line per 100 cycles: cycle, seconds, reader RSS, engine processes' RSS, their sum
// and the sum of proportional set sizes (shared pages counted once), all in MB.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "pane/keywordbox.h"
#include "pane/leftform.h"
#include "pane/resultlist.h"
#include "platform/scratch.h"
#include "shell/commands.h"
#include "shell/mainfrm.h"
#include "view/bookview.h"

using namespace kolva;

namespace {

// A field of /proc/PID/status or /proc/PID/smaps_rollup in kB, 0 when absent.
long ProcField(int pid, const char* file, const std::string& field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, field.size(), field) == 0) return std::atol(line.c_str() + field.size());
    return 0;
}

int ParentOf(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    const size_t close = stat.rfind(')');  // the name may hold spaces and brackets
    if (close == std::string::npos) return 0;
    std::istringstream rest(stat.substr(close + 2));
    char state;
    int parent = 0;
    rest >> state >> parent;
    return parent;
}

// Every process below pid (the engine's zygote, renderer and utility processes).
std::set<int> Descendants(int pid) {
    std::set<int> found{pid};
    bool grew = true;
    while (grew) {
        grew = false;
        for (const auto& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool number = false;
            const int p = entry.toInt(&number);
            if (number && !found.count(p) && found.count(ParentOf(p))) grew = found.insert(p).second;
        }
    }
    found.erase(pid);
    return found;
}

struct Memory {
    double reader = 0, engine = 0, pss = 0;  // MB
};

Memory Measure() {
    const int self = int(QCoreApplication::applicationPid());
    Memory m;
    m.reader = ProcField(self, "status", "VmRSS:") / 1024.0;
    m.pss = ProcField(self, "smaps_rollup", "Pss:") / 1024.0;
    for (int child : Descendants(self)) {
        m.engine += ProcField(child, "status", "VmRSS:") / 1024.0;
        m.pss += ProcField(child, "smaps_rollup", "Pss:") / 1024.0;
    }
    return m;
}

bool WaitForLoad(QSignalSpy& loaded, int ms) { return !loaded.isEmpty() || loaded.wait(ms); }

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const std::filesystem::path data =
        argc > 1 ? std::filesystem::path(argv[1])
                 : std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
    const int cycles = argc > 2 ? std::atoi(argv[2]) : 1000;
    ScratchFolder scratch;
    if (!scratch.Create(QDir::tempPath().toStdString())) return 1;

    CMainFrame frame(AppPaths{data, data, scratch.Path()});
    frame.m_pLeftForm->OnInitialUpdate();
    frame.m_pBookView->OnInitialUpdate();
    frame.resize(1400, 900);
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame)) return 1;
    CLeftForm* form = frame.m_pLeftForm;
    CBookView* view = frame.m_pBookView;
    for (int waited = 0; !form->InputCtrl()->IsLoaded(); waited += 10) {
        if (waited > 20000) return 1;
        QTest::qWait(10);
    }

    // Keywords of the sample's poems, one, two and several characters, AND and wildcards.
    const QStringList keywords = {QStringLiteral("月"),    QStringLiteral("明月"),
                                  QStringLiteral("山 水"), QStringLiteral("春風"),
                                  QStringLiteral("花"),    QStringLiteral("人*歸"),
                                  QStringLiteral("雲"),    QStringLiteral("白日"),
                                  QStringLiteral("秋"),    QStringLiteral("江?")};
    QElapsedTimer clock;
    clock.start();
    std::printf("%6s %8s %10s %10s %10s %10s\n", "cycle", "seconds", "reader", "engine", "total",
                "pss");
    auto report = [&](int cycle) {
        // A moment idle first, so that the engine's processes have settled after the last page.
        QTest::qWait(1000);
        const Memory m = Measure();
        std::printf("%6d %8.1f %10.1f %10.1f %10.1f %10.1f\n", cycle, clock.elapsed() / 1000.0,
                    m.reader, m.engine, m.reader + m.engine, m.pss);
        std::fflush(stdout);
    };
    report(0);
    int shown = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        form->InputCtrl()->SetValue(keywords[cycle % keywords.size()]);
        form->OnSearch();
        CResultList* list = form->ResultList();
        if (list->topLevelItemCount() > 0) {
            QSignalSpy loaded(view, &QWebEngineView::loadFinished);
            list->setCurrentItem(list->topLevelItem((cycle * 7) % list->topLevelItemCount()));
            shown += WaitForLoad(loaded, 10000);
            frame.UpdateCommandUI();
            frame.Action(ID_NEXT_HIT)->trigger();  // F3: the same page, its next anchor
            QTest::qWait(1);
            frame.UpdateCommandUI();
            if (frame.Action(ID_NEXT_PAGE)->isEnabled()) {
                QSignalSpy next(view, &QWebEngineView::loadFinished);
                frame.Action(ID_NEXT_PAGE)->trigger();
                WaitForLoad(next, 10000);
            }
        }
        if (cycle % 100 == 0) report(cycle);
    }
    std::printf("pages shown from result rows: %d of %d cycles\n", shown, cycles);
    return 0;
}
