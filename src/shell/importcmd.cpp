#include "shell/importcmd.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QProgressDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "ui/appinfo.h"
#include "ui/messagebox.h"

namespace kolva {

namespace {

ImportCommandHooks& Hooks() {
    static ImportCommandHooks hooks;
    return hooks;
}

// The catalogue every collection has; a folder without it is no collection.
constexpr const char* kCatalogueName = "kolva.dir";

// How long a tool asked to stop may take before it is killed.
constexpr int kStopMilliseconds = 5000;

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

// The end of a tool's run.
struct ToolRun {
    bool cancelled = false;
    bool started = true;
    int exitCode = 0;
    bool crashed = false;
    QString errorText;  // what the tool wrote to standard error
};

// Runs program with arguments until it ends, the progress dialog's Cancel stopping it (asked
// first, then killed). The tool's "progress DONE TOTAL" lines on standard error move the dialog's
// bar from its value at the start to value + span; its other lines are its message.
ToolRun RunTool(QProgressDialog& progress, const QString& program, const QStringList& arguments,
                bool first, int span) {
    ToolRun run;
    const int base = progress.value();
    QByteArray pending;  // standard error not yet ended by a line break
    QStringList message;
    // The bar is moved after the lines are taken: moving it lets events in (the dialog is
    // modal), and with them more of standard error.
    const auto takeLines = [&](bool all) {
        int value = -1;
        while (!pending.isEmpty()) {
            qsizetype end = pending.indexOf('\n');
            if (end < 0 && !all) break;
            if (end < 0) end = pending.size();
            const QByteArray line = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            const QList<QByteArray> words = line.split(' ');
            bool doneOk = false, totalOk = false;
            const qulonglong done = words.size() == 3 ? words[1].toULongLong(&doneOk) : 0;
            const qulonglong total = words.size() == 3 ? words[2].toULongLong(&totalOk) : 0;
            if (words.size() == 3 && words[0] == "progress" && doneOk && totalOk) {
                if (total > 0 && done <= total) value = base + int(span * (double(done) / double(total)));
            } else if (!line.isEmpty()) {
                message.append(QString::fromUtf8(line));
            }
        }
        if (value > progress.value()) progress.setValue(value);
    };
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    QEventLoop loop;
    QTimer killTimer;
    killTimer.setSingleShot(true);
    QObject::connect(&killTimer, &QTimer::timeout, &process, &QProcess::kill);
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::readyReadStandardError, &loop, [&] {
        pending += process.readAllStandardError();
        takeLines(false);
    });
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            run.started = false;
            loop.quit();
        }
    });
    const auto connection = QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] {
        run.cancelled = true;
        process.terminate();
        killTimer.start(kStopMilliseconds);
    });
    process.start();
    run.started = process.waitForStarted(-1);
    if (run.started && first && Hooks().started) Hooks().started(&progress);
    if (run.started && process.state() != QProcess::NotRunning) loop.exec();
    QObject::disconnect(connection);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(-1);
    }
    if (!run.started || process.error() == QProcess::FailedToStart) {
        run.started = false;
        return run;
    }
    run.crashed = process.exitStatus() == QProcess::CrashExit;
    run.exitCode = process.exitCode();
    pending += process.readAllStandardError();
    takeLines(true);
    run.errorText = message.join(QLatin1Char('\n'));
    if (progress.wasCanceled()) run.cancelled = true;
    return run;
}

// The message of a tool that did not succeed; empty when it did.
QString Failure(const ToolRun& run, const QString& program) {
    if (!run.started) return QStringLiteral("%1 を起動できません。").arg(Native(program));
    if (run.crashed)
        return QStringLiteral("%1 が異常終了しました。\n%2").arg(QFileInfo(program).fileName(), run.errorText);
    if (run.exitCode != 0)
        return run.errorText.isEmpty()
                   ? QStringLiteral("%1 が終了コード %2 で終わりました。")
                         .arg(QFileInfo(program).fileName())
                         .arg(run.exitCode)
                   : run.errorText;
    return {};
}

void Open(QWidget* parent, const QString& folder) {
    RememberCollection(folder);
    if (Hooks().open) {
        Hooks().open(folder);
        return;
    }
    if (!QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                 {QStringLiteral("--data"), folder}))
        ShowMessageBox(parent, QStringLiteral("%1 を開くことができません。").arg(Native(folder)));
}

}  // namespace

void SetImportCommandHooks(ImportCommandHooks hooks) { Hooks() = std::move(hooks); }

ImportOutcome RunImport(QWidget* parent, const QStringList& files, const QString& folder,
                        const QString& toolFolder) {
    const QFileInfo target(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    const QString targetPath = target.absoluteFilePath();
    const bool existed = target.exists();
    const auto fail = [&](const QString& why) {
        ShowMessageBox(parent, QStringLiteral("取り込みができませんでした。\n") + why);
        return ImportOutcome::kFailed;
    };
    if (files.isEmpty()) return fail(QStringLiteral("ファイルが選ばれていません。"));
    // The collection goes to a new folder, or to an empty one: nothing of the user's is replaced.
    if (existed &&
        (!target.isDir() ||
         !QDir(targetPath).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).isEmpty()))
        return fail(QStringLiteral("%1 はすでにあります。新しいフォルダか空のフォルダを選んでください。")
                        .arg(Native(targetPath)));
    const QString parentFolder = target.absolutePath();
    if (!QDir().mkpath(parentFolder))
        return fail(QStringLiteral("%1 を作れません。").arg(Native(parentFolder)));

    // Everything is made in a temporary folder beside the target, removed whatever happens.
    QTemporaryDir work(parentFolder + QStringLiteral("/.kolva-import-XXXXXX"));
    if (!work.isValid())
        return fail(QStringLiteral("%1 に作業フォルダを作れません。").arg(Native(parentFolder)));
    const QString source = work.filePath(QStringLiteral("source"));
    const QString built = work.filePath(QStringLiteral("collection"));

    // The bar: the import to kProgressOfImport, the build to kProgressEnd.
    constexpr int kProgressOfImport = 300, kProgressEnd = 1000;
    QProgressDialog progress(QString(), QStringLiteral("キャンセル"), 0, kProgressEnd, parent);
    progress.setWindowTitle(QStringLiteral("取り込み"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setMinimumDuration(0);

    struct Step {
        QString program;
        QStringList arguments;
        QString label;
        int start, end;  // of the bar
    };
    const QString progressOption = QStringLiteral("--progress");
    const Step steps[] = {
        {toolFolder + QStringLiteral("/kolva-import"), QStringList{progressOption, QStringLiteral("--")} << files << source,
         QStringLiteral("%1 個のファイルを取り込んでいます…").arg(files.size()), 0, kProgressOfImport},
        {toolFolder + QStringLiteral("/kolva-build"), {progressOption, source, built},
         QStringLiteral("索引を作っています…"), kProgressOfImport, kProgressEnd},
    };
    for (const Step& step : steps) {
        progress.setLabelText(step.label);
        progress.setValue(step.start);
        progress.show();
        const ToolRun run = RunTool(progress, step.program, step.arguments, step.start == 0, step.end - step.start);
        if (run.cancelled) return ImportOutcome::kCancelled;
        const QString why = Failure(run, step.program);
        if (!why.isEmpty()) {
            progress.hide();
            return fail(why);
        }
    }
    progress.hide();

    // Into place: an empty folder the user chose gives way to the collection.
    if (existed && !QDir().rmdir(targetPath))
        return fail(QStringLiteral("%1 を置き換えられません。").arg(Native(targetPath)));
    if (!QDir().rename(built, targetPath)) {
        if (existed) QDir().mkdir(targetPath);
        return fail(QStringLiteral("%1 に移せません。").arg(Native(targetPath)));
    }
    return ImportOutcome::kBuilt;
}

void ImportCommand(QWidget* parent) {
    QStringList files;
    QString folder;
    if (Hooks().chooseImport) {
        if (!Hooks().chooseImport(files, folder)) return;
    } else {
        files = QFileDialog::getOpenFileNames(
            parent, QStringLiteral("取り込むファイル"), QString(),
            QStringLiteral("テキスト (*.txt *.epub *.xml *.tei *.zip);;すべてのファイル (*)"));
        if (files.isEmpty()) return;
        const QFileInfo first(files.front());
        folder = QFileDialog::getSaveFileName(
            parent, QStringLiteral("取り込み先（新しいコレクションのフォルダ）"),
            first.absolutePath() + QLatin1Char('/') + first.completeBaseName() + QStringLiteral("-kolva"),
            QString(), nullptr, QFileDialog::ShowDirsOnly | QFileDialog::DontConfirmOverwrite);
        if (folder.isEmpty()) return;
    }
    if (RunImport(parent, files, folder, QCoreApplication::applicationDirPath()) == ImportOutcome::kBuilt)
        Open(parent, QFileInfo(folder).absoluteFilePath());
}

void OpenCommand(QWidget* parent) {
    QString folder;
    if (Hooks().chooseOpen) {
        if (!Hooks().chooseOpen(folder)) return;
    } else {
        folder = QFileDialog::getExistingDirectory(parent, QStringLiteral("コレクションを開く"));
        if (folder.isEmpty()) return;
    }
    OpenCollection(parent, folder);
}

void OpenCollection(QWidget* parent, const QString& folder) {
    if (!QFileInfo::exists(QDir(folder).filePath(QLatin1String(kCatalogueName)))) {
        ShowMessageBox(parent, QStringLiteral("%1 にはコレクションがありません（%2 がありません）。")
                                   .arg(Native(folder), QLatin1String(kCatalogueName)));
        return;
    }
    Open(parent, QFileInfo(folder).absoluteFilePath());
}

namespace {
const QString kRecentCollectionsKey = QStringLiteral("Collections/Recent");
constexpr int kRecentCollectionCount = 8;
}  // namespace

QStringList RecentCollections() {
    QStringList recent;
    for (const QString& folder :
         QSettings(kProfileOrganisation, kAppTitle).value(kRecentCollectionsKey).toStringList())
        if (QFileInfo::exists(QDir(folder).filePath(QLatin1String(kCatalogueName)))) recent.append(folder);
    return recent;
}

void RememberCollection(const QString& folder) {
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    QSettings profile(kProfileOrganisation, kAppTitle);
    QStringList recent = profile.value(kRecentCollectionsKey).toStringList();
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > kRecentCollectionCount) recent.removeLast();
    profile.setValue(kRecentCollectionsKey, recent);
}

}  // namespace kolva
