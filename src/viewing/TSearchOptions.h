#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <memory>

namespace Ui {
class TSearchOptions;
}
namespace core {
struct Settings;
}

// The small list the search window opens behind a row's button: the operator words of a
// number or date row, or the remembered entries of a pick-list row. Made anew for each
// showing.
class TSearchOptions : public QDialog {
public:
    explicit TSearchOptions(const core::Settings& settings, QWidget* parent = nullptr);
    ~TSearchOptions() override;

    // The field the list belongs to, by its display name.
    void setFieldName(const QString& name);
    // Fills the list; selected is a position in it, or -1 for no selection.
    void LoadList(const QStringList& entries, int selected = -1);
    // The chosen position, -1 when nothing is selected.
    int selectedIndex() const;
    QString selectedText() const;

    void OkButtonClick();
    void CancelButtonClick();
    void SetColors();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();

    std::unique_ptr<Ui::TSearchOptions> ui;
    const core::Settings& settings_;
    bool shown_ = false;
};
