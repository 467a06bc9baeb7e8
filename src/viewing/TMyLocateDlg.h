#pragma once

#include "viewing/Matcher.h"

#include <QDialog>

#include <memory>
#include <string>

class TMyLocateDialog;
namespace Ui {
class TMyLocateDlg;
}

// The locate window: field, value and options, then "First" or "Next". It closes when a
// record matches and stays open, with a message, when none does.
class TMyLocateDlg : public QDialog {
public:
    TMyLocateDlg(TMyLocateDialog& locate, QWidget* parent = nullptr);
    ~TMyLocateDlg() override;

    // Filled by the component before the window is shown.
    void fillFields();
    void setDefaultButton(bool next);
    // Selects the entry of this column; false when none lists it.
    bool selectField(const std::string& column);
    void setOptions(viewing::MatchType matchType, bool caseSensitive);
    void setValue(const QString& value);

    // What the window holds when it closes.
    std::string selectedColumn() const; // "" when no field is selected
    QString value() const;
    viewing::MatchType matchType() const;
    bool caseSensitive() const;

    // Handlers, named after their control and event.
    void FormShow();
    void SetColors();
    void FindFirst();
    void FindNextBtnClick();
    void FieldNameComboBoxChange();
    void FieldNameComboBoxEnter();
    void FieldNameComboBoxExit();
    // Enter in the dropped-down list closes it and goes on to the value; true when handled.
    bool FieldNameComboBoxKeyDown(int key);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void locate(viewing::LocateFrom from);

    std::unique_ptr<Ui::TMyLocateDlg> ui;
    TMyLocateDialog& locate_;
    bool nextIsDefault_ = true;
    bool shown_ = false;
};
