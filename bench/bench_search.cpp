// bench_search: a search on a large inventory table, from setting the filter to the first
// painted grid and its count, beside sqlite3 counting the same condition over the same records.
//
//   bench_table create FILE 1000000
//   vantorel-dbf index FILE NEWINDEX 'Upper(Left(Category,20))'
//   bench_search FILE          (QT_QPA_PLATFORM=offscreen)
//
// Prints tab-separated lines: what, seconds, rows in the view.

#include "core/FieldCatalogue.h"
#include "core/Settings.h"
#include "dbase/Table.h"
#include "viewing/InventoryModel.h"
#include "viewing/SearchCriteria.h"

#include <QApplication>
#include <QTableView>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// One search: the rows typed into the grid, turned into criteria, the filter set, the grid
// counted and painted.
void search(const char* what, dbase::Table& table, viewing::InventoryModel& model, QTableView& view,
            core::Settings& settings, viewing::SearchCriteria& criteria,
            const std::vector<std::vector<std::pair<int, std::pair<viewing::SearchOperator, QString>>>>& levels) {
    const auto start = Clock::now();
    criteria.clear();
    for (size_t l = 0; l < levels.size(); ++l) {
        viewing::SearchCells cells;
        viewing::SearchOperators operators;
        for (int n = 1; n <= core::kFieldCount; ++n) operators[n] = viewing::SearchOperator::Equal;
        for (const auto& [field, condition] : levels[l]) {
            operators[field] = condition.first;
            cells[static_cast<size_t>(field - 1)] = condition.second;
        }
        if (criteria.addRows(cells, operators, table.dateFormat()).result != viewing::SearchPass::Taken)
            std::fprintf(stderr, "criteria not taken\n");
        if (l + 1 < levels.size()) criteria.nextLevel();
    }
    settings.SearchActive = true;
    table.refresh();
    model.reset();
    view.grab();
    std::printf("%s\t%.3f s\t%d rows\n", what, since(start), model.rowCount());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_search TABLE.DBF\n");
        return 2;
    }
    QApplication application(argc, argv);
    dbase::Table table;
    table.openFile(argv[1], dbase::ShareMode::Shared, dbase::Access::ReadOnly);
    table.selectIndex("NEWINDEX");
    core::Settings settings;
    viewing::SearchCriteria criteria;
    table.setFilter(viewing::MakeSearchFilter(settings, criteria));
    std::vector<QString> names;
    for (int n = 1; n <= core::kFieldCount; ++n) names.push_back(QString::fromLatin1(core::DefaultCaption(n)));
    viewing::InventoryModel model(table, names);
    model.setBackgroundFill(false);
    QTableView view;
    view.setModel(&model);
    view.resize(1024, 600);
    view.show();
    view.grab();

    using viewing::SearchOperator;
    // About one brand in twelve of the generated records contains "ell" (Pellisar); none
    // contains "son", the worst case: an empty view.
    search("Brand contains ell", table, model, view, settings, criteria,
           {{{2, {SearchOperator::Contains, QStringLiteral("ell")}}}});
    search("Brand contains son (no record)", table, model, view, settings, criteria,
           {{{2, {SearchOperator::Contains, QStringLiteral("son")}}}});
    search("Category contains tools, or Cost greater than 500", table, model, view, settings, criteria,
           {{{12, {SearchOperator::Contains, QStringLiteral("tools")}}},
            {{11, {SearchOperator::Greater, QStringLiteral("500")}}}});
    return 0;
}
