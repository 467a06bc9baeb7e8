// bench_startup: the whole program's start on a large default database, from nothing to the
// first painted grid, and the memory it holds. Runs the real main window on the offscreen
// platform (set QT_QPA_PLATFORM=offscreen) with a scratch data folder whose MASTER.DBF is the
// given table (linked, not copied):
//
//   bench_table create FILE 1000000
//   vantorel-dbf index FILE NEWINDEX 'Upper(Left(Category,20))'    the default sort order
//   bench_startup FILE
//
// Prints tab-separated lines: what, seconds, and the peak memory of the process so far.

#include "app/TMain.h"
#include "core/DialogService.h"
#include "core/MessageService.h"
#include "core/Settings.h"
#include "dbase/Table.h"
#include "viewing/InventoryModel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double memoryMb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(key);
    while (std::getline(status, line))
        if (line.compare(0, length, key) == 0 && line.size() > length && line[length] == ':')
            return std::stod(line.substr(length + 1)) / 1024.0;
    return 0;
}

void report(const char* what, Clock::time_point start) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%s\t%.3f s\tpeak %.1f MB\tnow: %.1f MB heap and stack, %.1f MB of mapped files\n", what,
                seconds, memoryMb("VmHWM"), memoryMb("RssAnon"), memoryMb("RssFile"));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_startup TABLE.DBF\n");
        return 2;
    }
    const auto start = Clock::now();
    QApplication application(argc, argv);
    const QFileInfo table(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    const QString folder = home.path() + QStringLiteral("/data/vantorel-inventory");
    QDir().mkpath(folder);
    const QString mdx = table.absolutePath() + QLatin1Char('/') + table.completeBaseName() + QStringLiteral(".MDX");
    QFile::link(table.absoluteFilePath(), folder + QStringLiteral("/MASTER.DBF"));
    QFile::link(mdx, folder + QStringLiteral("/MASTER.MDX"));

    core::Settings settings;
    core::ScriptedMessageService messages;
    core::ScriptedDialogService dialogs;
    TMain main({settings, messages, dialogs, {}});
    if (main.startupFailed() || !messages.messages().empty()) {
        std::fprintf(stderr, "start-up failed\n");
        return 1;
    }
    main.resize(1024, 768);
    main.show();
    QApplication::processEvents();
    main.grab(); // paints the grid with its first rows
    report("start to first painted grid", start);

    auto* grid = main.findChild<QTableView*>(QStringLiteral("ViewerGrid"));
    auto* last = main.findChild<QToolButton*>(QStringLiteral("NavLast"));
    const auto jump = Clock::now();
    last->click();
    main.grab();
    report("jump to the last record and paint", jump);
    const auto page = Clock::now();
    grid->scrollTo(main.model()->index(std::max(0, main.model()->rowCount() - 80), 0));
    main.grab();
    report("scroll a page and paint", page);
    // An edit as the edit window posts it, in the middle of the order, and the grid catching up.
    const int middle = main.model()->rowCount() / 2;
    grid->setCurrentIndex(main.model()->index(middle, 0));
    QApplication::processEvents();
    for (const char* field : {"Descriptio", "Category"}) {
        const auto edit = Clock::now();
        dbase::Table& table = main.table();
        main.model()->moveTo(middle);
        table.edit();
        table.setText(table.fieldIndex(field), std::string(field) == "Category" ? "Zzz moved" : "Edited");
        table.post();
        main.model()->recordEdited(table.movedInOrder());
        const int row = main.model()->rowOfCurrent();
        grid->setCurrentIndex(main.model()->index(row, 0));
        grid->scrollTo(main.model()->index(row, 0));
        main.grab();
        report(std::string(field) == "Category" ? "post an edit of the sort key, find its row, paint"
                                                : "post an edit outside the sort key and paint",
               edit);
    }
    std::printf("rows\t%d\n", main.model()->rowCount());
    if (const char* copy = std::getenv("BENCH_SMAPS")) {
        std::ifstream in("/proc/self/smaps");
        std::ofstream(copy) << in.rdbuf();
    }
    return 0;
}
