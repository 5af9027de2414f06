#include "settings/AboutDlg.h"

#include "common/Desktop.h"
#include "common/DialogsUnit.h"
#include "ui_AboutDlg.h"

#include <QDesktopServices>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

namespace {
QPixmap aboutPicture() {
    QPixmap pixmap(129, 281);
    QPainter p(&pixmap);
    QLinearGradient g(0, 0, 0, 281);
    g.setColorAt(0, QColor(0x1f, 0x3c, 0x88));
    g.setColorAt(1, QColor(0x5b, 0x86, 0xe5));
    p.fillRect(pixmap.rect(), g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 200), 5));
    for (int i = 0; i < 4; ++i) {
        p.drawEllipse(QPointF(64, 70 + i * 42), 26, 16);  // a chain standing upright
    }
    return pixmap;
}
}  // namespace

QString ProductVersion() {
    return QStringLiteral(LINKARIUM_VERSION);
}

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TAboutForm>()) {
    ui->setupUi(this);
    ui->Image->setPixmap(aboutPicture());
    QFont title(QStringLiteral("Arial"));
    title.setBold(true);
    title.setPixelSize(28);
    ui->ContactsLabel->setFont(title);
    ui->ContactsLabel->setStyleSheet(QStringLiteral("color: navy;"));
    ui->VersionLabel->setText(ui->VersionLabel->text() + QLatin1Char(' ') + ProductVersion());
    for (QLabel* link : {ui->Label3, ui->Label6, ui->Label12}) {
        link->setStyleSheet(QStringLiteral("color: blue;"));
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
    }
    QFont underlined = ui->Label3->font();
    underlined.setUnderline(true);
    ui->Label3->setFont(underlined);
    connect(ui->OkButton, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutForm::~TAboutForm() = default;

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == ui->Label3) {
            Guarded([this]() { OpenURLOrThrow(ui->Label3->text()); });
            return true;
        }
        if (watched == ui->Label6 || watched == ui->Label12) {
            const QString address = static_cast<QLabel*>(watched)->text();
            QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + address));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
