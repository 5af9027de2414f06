#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TAboutForm;
}

// The program's version, compiled in from the build.
QString ProductVersion();

class TAboutForm final : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);
    ~TAboutForm() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::TAboutForm> ui;
};
