#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TWindowsListForm;
}

// Lists the program's visible windows by caption and brings the chosen one to the front.
class TWindowsListForm final : public QDialog {
    Q_OBJECT
public:
    explicit TWindowsListForm(QWidget* parent = nullptr);
    ~TWindowsListForm() override;

    bool Execute();
    void FillList();
    // Brings the selected item's window to the front; nothing when none is selected.
    void OkButtonClick();
    QWidget* SelectedWindow() const;

private:
    std::unique_ptr<Ui::TWindowsListForm> ui;
};
