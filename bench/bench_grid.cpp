// bench_grid: how fast the viewer grid opens, jumps and scrolls over a large inventory table,
// and how much memory the program holds while it does. The table and its sort index come
// from the other tools:
//
//   bench_table create FILE 1000000
//   vantorel-dbf index FILE NEWINDEX 'Upper(Left(Category,20))+DTOS(PurchDate)+STR(Cost,12,2)'
//   bench_grid FILE [TAG]           TAG defaults to NEWINDEX
//
// Each result is one tab-separated line: name, rows of the view, seconds, then figures of its
// own (records stepped over, rows decoded). The first line is the reference: one sequential
// read of the whole file, as cat would do it. The grid's own targets: the first painted grid
// within a second, and the whole program within 150 MB.

#include "core/FieldCatalogue.h"
#include "dbase/Table.h"
#include "viewing/InventoryModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableView>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// VmRSS or VmHWM of this process, in megabytes.
double memoryMb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(key);
    while (std::getline(status, line)) {
        if (line.compare(0, length, key) == 0 && line.size() > length && line[length] == ':')
            return std::stod(line.substr(length + 1)) / 1024.0; // the line is "Key:  1234 kB"
    }
    return 0;
}

double sequentialRead(const std::string& path) {
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    std::vector<char> buffer(1 << 20);
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    ::close(fd);
    return secondsSince(start);
}

std::vector<QString> captions() {
    std::vector<QString> names;
    for (int n = 1; n <= core::kFieldCount; ++n)
        names.push_back(QString::fromLatin1(core::DefaultCaption(n)));
    return names;
}

// Every cell of `rows` rows from `first` on, as a view asks for them.
qsizetype readRows(const viewing::InventoryModel& model, int first, int rows) {
    qsizetype chars = 0;
    for (int r = first; r < first + rows && r < model.rowCount(); ++r)
        for (int c = 0; c < model.columnCount(); ++c)
            chars += model.data(model.index(r, c)).toString().size();
    return chars;
}

struct Mark {
    Clock::time_point start = Clock::now();
    uint64_t steps;
    uint64_t decoded;
    explicit Mark(const viewing::InventoryModel& model)
        : steps(model.rows().counters().steps), decoded(model.rows().counters().rowsDecoded) {}
};

void report(const char* name, const viewing::InventoryModel& model, const Mark& mark,
            const char* note = "") {
    const auto& c = model.rows().counters();
    std::printf("%s\t%d\t%.6f\tsteps=%llu\tdecoded=%llu%s%s\n", name, model.rowCount(),
                secondsSince(mark.start), static_cast<unsigned long long>(c.steps - mark.steps),
                static_cast<unsigned long long>(c.rowsDecoded - mark.decoded), *note ? "\t" : "",
                note);
    std::fflush(stdout);
}

void paint(QTableView& view) {
    view.grab();
}

int run(const std::string& path, const std::string& tag) {
    constexpr int kPage = 30;
    const double reference = sequentialRead(path);
    std::printf("reference_sequential_read\t0\t%.6f\n", reference);
    std::printf("rss_before_table_mb\t0\t0\t%.1f\n", memoryMb("VmRSS"));

    // The model alone: open, count, the first 30 rows.
    {
        const auto start = Clock::now();
        dbase::Table table;
        table.openFile(path, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
        table.selectIndex(tag);
        viewing::InventoryModel model(table, captions());
        model.setBackgroundFill(false);
        readRows(model, 0, kPage);
        std::printf("open_model_first_page\t%d\t%.6f\tratio_to_reference=%.2f\n", model.rowCount(),
                    secondsSince(start), secondsSince(start) / reference);
    }

    // The grid as the program shows it.
    const auto start = Clock::now();
    dbase::Table table;
    table.openFile(path, dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    table.selectIndex(tag);
    viewing::InventoryModel model(table, captions());
    model.setBackgroundFill(false); // measured on its own below
    QTableView view;
    view.setModel(&model);
    view.resize(1200, 800);
    view.show();
    paint(view);
    const double firstPaint = secondsSince(start);
    std::printf("open_to_first_paint\t%d\t%.6f\tratio_to_reference=%.2f\trss_mb=%.1f\n",
                model.rowCount(), firstPaint, firstPaint / reference, memoryMb("VmRSS"));
    QScrollBar* bar = view.verticalScrollBar();

    {
        Mark m(model);
        view.scrollToBottom();
        paint(view);
        report("jump_to_last_row", model, m);
    }
    {
        Mark m(model);
        bar->setValue(bar->maximum() / 2);
        paint(view);
        report("jump_to_middle_nothing_known", model, m);
    }
    {
        Mark m(model);
        bar->setValue(bar->value() + bar->pageStep());
        paint(view);
        report("page_down", model, m);
    }
    {
        Mark m(model);
        bar->setValue(bar->value() - 2 * bar->pageStep());
        paint(view);
        report("page_up_twice", model, m);
    }
    {
        // A scroll bar dragged from the top to the middle with nothing known: each position
        // walks on from the last.
        model.refresh();
        view.scrollToTop();
        paint(view);
        Mark m(model);
        const int target = bar->maximum() / 2;
        for (int i = 1; i <= 50; ++i) {
            bar->setValue(target / 50 * i);
            paint(view);
        }
        report("drag_to_middle_in_50_moves", model, m);
    }
    {
        // What painting costs by itself, to set the scrolling below against.
        Mark m(model);
        for (int i = 0; i < 200; ++i)
            paint(view);
        report("repaint_same_page_200_times", model, m);
    }
    {
        Mark m(model);
        for (int i = 0; i < 200; ++i) {
            bar->setValue(bar->value() + 1);
            paint(view);
        }
        report("scroll_200_single_rows", model, m);
    }
    {
        // The cursor put on a record by a key lookup, as the locate dialog does, right after
        // the table changed: nothing is known but the count.
        model.refresh();
        table.findNearest("JEWELLERY");
        Mark m(model);
        const int row = model.rowOfCurrent();
        report("row_of_current_nothing_known", model, m, ("row=" + std::to_string(row)).c_str());
    }
    {
        // Every row placed in idle time, from a fresh count.
        model.refresh();
        Mark m(model);
        model.setBackgroundFill(true);
        while (!model.rows().allPlaced())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        report("idle_fill_every_row", model, m,
               ("anchors=" + std::to_string(model.rows().anchorCount())).c_str());
    }
    {
        std::mt19937 random(1);
        Mark m(model);
        constexpr int kJumps = 100;
        for (int i = 0; i < kJumps; ++i) {
            bar->setValue(static_cast<int>(random() % static_cast<unsigned>(bar->maximum() + 1)));
            paint(view);
        }
        report("100_random_jumps_after_fill", model, m);
    }
    {
        std::mt19937 random(2);
        Mark m(model);
        for (int i = 0; i < 100; ++i)
            readRows(model, static_cast<int>(random() % static_cast<unsigned>(model.rowCount())),
                     kPage);
        report("100_random_jumps_after_fill_model_only", model, m);
    }
    {
        table.findNearest("SPORTS");
        Mark m(model);
        const int row = model.rowOfCurrent();
        report("row_of_current_after_fill", model, m, ("row=" + std::to_string(row)).c_str());
    }
    std::printf("rss_after_index_order_mb\t%d\t0\t%.1f\n", model.rowCount(), memoryMb("VmRSS"));

    // A search on: the filter asked about every record once by the count. "Tools" sorts last,
    // so the engine searches most of the index for the first row.
    {
        table.setFilter([](const dbase::Record& r) { return r.text(11) == "Tools"; });
        Mark m(model);
        model.reset();
        view.scrollToTop();
        paint(view);
        report("filter_count_and_first_paint", model, m);
        Mark last(model);
        view.scrollToBottom();
        paint(view);
        report("filter_jump_to_last_row", model, last);
        table.setFilter(nullptr);
    }

    // Record order: row n is record n + 1.
    {
        table.selectIndex("");
        Mark m(model);
        model.reset();
        view.scrollToTop();
        paint(view);
        report("record_order_count_and_first_paint", model, m);
        Mark middle(model);
        bar->setValue(bar->maximum() / 2);
        paint(view);
        report("record_order_jump_to_middle", model, middle);
    }

    std::printf("rss_end_mb\t%d\t0\t%.1f\n", model.rowCount(), memoryMb("VmRSS"));
    std::printf("rss_peak_mb\t%d\t0\t%.1f\n", model.rowCount(), memoryMb("VmHWM"));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_grid FILE [TAG]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    try {
        return run(argv[1], argc > 2 ? argv[2] : "NEWINDEX");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_grid: %s\n", e.what());
        return 1;
    }
}
