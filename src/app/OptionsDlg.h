#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TOptionsForm;
}

// The program options dialog: language, mail server and log. OK stores the options at
// once; a new language takes effect at the next start.
class TOptionsForm final : public QDialog {
    Q_OBJECT
public:
    explicit TOptionsForm(QWidget* parent = nullptr);
    ~TOptionsForm() override;

    // Fills the controls from the options and shows the dialog; true when it ended with OK.
    bool Execute();

    // The steps of Execute, callable from tests without a modal loop.
    void LoadControls();
    void OkButtonClick();
    // A new security choice moves a port left at a default to the choice's own
    // (25, 587, 465).
    void SecurityComboBoxChange(int index);

private:
    void FillLanguageList();

    std::unique_ptr<Ui::TOptionsForm> ui;
    int m_rememberedIndex = 0;
};
