#pragma once

// Inventory tables for the model's tests, made through the engine in a scratch folder, and
// the engine's own straight walk over a view to hold the model's rows against.

#include "core/Cp1252.h"
#include "core/FieldCatalogue.h"
#include "dbase/Table.h"

#include <QAbstractItemModel>
#include <QAbstractItemModelTester>
#include <QLoggingCategory>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Readable failure messages for QString values.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace viewing_test {

// Table field positions (catalogue number - 1).
constexpr int kItem = 0;
constexpr int kQuantity = 8;
constexpr int kPurchDate = 9;
constexpr int kCost = 10;
constexpr int kCategory = 11;
constexpr int kWarranty = 13;

// The key of the sort index the program makes for "sort by category".
inline const std::string kCategoryKey = "Upper(Left(Category,20))";

inline std::vector<QString> defaultNames() {
    std::vector<QString> names;
    for (int n = 1; n <= core::kFieldCount; ++n)
        names.push_back(QString::fromLatin1(core::DefaultCaption(n)));
    return names;
}

// Categories in mixed case, so that the index's Upper() decides the order.
inline const std::array<std::string, 6> kCategories = {"Tools",  "kitchen", "Books",
                                                       "Garden", "zoo",     "Music"};

inline std::string itemName(int n) {
    std::string s = std::to_string(n);
    return "Item " + std::string(5 - std::min<size_t>(5, s.size()), '0') + s;
}

// Record n (0-based): a unique item, a category that jumps about, so that index order and
// record order differ everywhere.
inline void setStockRecord(dbase::Table& t, int n) {
    t.setText(kItem, itemName(n));
    const auto mixed = static_cast<uint32_t>(n) * 2654435761u;
    t.setText(kCategory, kCategories[(mixed >> 16) % kCategories.size()]);
    t.setText(kCost, std::to_string(n % 1000) + ".25");
    t.setText(kWarranty, n % 2 == 0 ? "Yes" : "No");
}

// A table of `records` stock records at folder/STOCK.DBF, with the category index if asked.
inline std::string makeStock(const QTemporaryDir& folder, int records, bool withIndex) {
    const std::string path = folder.filePath(QStringLiteral("STOCK.DBF")).toStdString();
    dbase::Table::create(path, core::InventoryColumns());
    dbase::Table t;
    t.openFile(path, dbase::ShareMode::Exclusive, dbase::Access::ReadWrite);
    for (int n = 0; n < records; ++n) {
        t.insert();
        setStockRecord(t, n);
        t.post();
    }
    if (withIndex) t.addIndex("NEWINDEX", kCategoryKey);
    t.close();
    return path;
}

// One field of every row of the view, through the engine's cursor alone.
inline std::vector<QString> straightWalk(dbase::Table& t, int field) {
    std::vector<QString> texts;
    for (t.first(); !t.isEmpty() && !t.eof(); t.next())
        texts.push_back(core::fromTableText(t.text(field)));
    return texts;
}

inline QString cell(const QAbstractItemModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

// Runs a model under QAbstractItemModelTester and turns every complaint of the tester into a
// failure of the running test.
class CheckedModel {
public:
    explicit CheckedModel(QAbstractItemModel* model) {
        previous_ = qInstallMessageHandler(&CheckedModel::handle);
        tester_ = std::make_unique<QAbstractItemModelTester>(
            model, QAbstractItemModelTester::FailureReportingMode::Warning);
    }
    ~CheckedModel() {
        tester_.reset();
        qInstallMessageHandler(previous_);
    }
    CheckedModel(const CheckedModel&) = delete;
    CheckedModel& operator=(const CheckedModel&) = delete;

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg && context.category &&
            QLatin1String(context.category) == QLatin1String("qt.modeltest"))
            ADD_FAILURE() << "model tester: " << text.toStdString();
    }
    QtMessageHandler previous_ = nullptr;
    std::unique_ptr<QAbstractItemModelTester> tester_;
};

} // namespace viewing_test
