#include "ui/pelaro_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "astro/utils.h"
#include "core/core.h"
#include "interfaces/parallel/count_entry.h"
#include "settings/value_text.h"
#include "ui/form_kit.h"

namespace axo::ui {

PelaroWindow::PelaroWindow(Core& core, QWidget* parent) : QDialog(parent), core_(core) {
    setObjectName("Pelaro");
    setWindowTitle("Interface parallèle Pelaro");
    setModal(false);
    auto* layout = new QVBoxLayout(this);

    QGroupBox* reset = NamedFrame("fraPelaroReset", "Micro-contrôleurs", this);
    auto* rl = new QHBoxLayout(reset);
    QPushButton* resetAlpha = NamedButton("cmdCalibrResetAlpha", "Reset Alpha", reset);
    QPushButton* resetDelta = NamedButton("cmdCalibrResetDelta", "Reset Delta", reset);
    QPushButton* resetDome = NamedButton("cmdCalibrResetDome", "Reset Coupole", reset);
    rl->addWidget(resetAlpha);
    rl->addWidget(resetDelta);
    rl->addWidget(resetDome);
    layout->addWidget(reset);

    QGroupBox* coders = NamedFrame("fraPelaroCoders", "Codeurs", this);
    auto* cl = new QGridLayout(coders);
    QLabel* la = NamedLabel("lblCalibrCountAlpha", "Variable de comptage Alpha", coders);
    alpha_ = NamedLineEdit("txtCalibrCountAlpha", coders);
    alpha_->setFixedWidth(90);
    QPushButton* sendAlpha = NamedButton("cmdCalibrCountAlpha", "Transmission", coders);
    QPushButton* zeroAlpha = NamedButton("cmdCalibrZeroAlpha", "Zéro codeur Alpha", coders);
    QLabel* ld = NamedLabel("lblCalibrCountDelta", "Variable de comptage Delta", coders);
    delta_ = NamedLineEdit("txtCalibrCountDelta", coders);
    delta_->setFixedWidth(90);
    QPushButton* sendDelta = NamedButton("cmdCalibrCountDelta", "Transmission", coders);
    QPushButton* zeroDelta = NamedButton("cmdCalibrZeroDelta", "Zéro codeur Delta", coders);
    cl->addWidget(la, 0, 0);
    cl->addWidget(alpha_, 0, 1);
    cl->addWidget(sendAlpha, 0, 2);
    cl->addWidget(zeroAlpha, 0, 3);
    cl->addWidget(ld, 1, 0);
    cl->addWidget(delta_, 1, 1);
    cl->addWidget(sendDelta, 1, 2);
    cl->addWidget(zeroDelta, 1, 3);
    layout->addWidget(coders);

    QPushButton* close = NamedButton("cmdPelaroClose", "Fermer", this);
    AddButtonRow(layout, {close});

    alpha_->installEventFilter(this);
    delta_->installEventFilter(this);
    connect(sendAlpha, &QPushButton::clicked, this, &PelaroWindow::TransmitAlpha);
    connect(sendDelta, &QPushButton::clicked, this, &PelaroWindow::TransmitDelta);
    connect(zeroAlpha, &QPushButton::clicked, this, [this] {
        // The search lets window events run; the panel itself stays out of reach meanwhile.
        setEnabled(false);
        Send(CMD_ZERO_CODER_ALPHA);
        setEnabled(true);
    });
    connect(zeroDelta, &QPushButton::clicked, this, [this] {
        setEnabled(false);
        Send(CMD_ZERO_CODER_DELTA);
        setEnabled(true);
    });
    connect(resetAlpha, &QPushButton::clicked, this, [this] { Send(CMD_RESET_ALPHA); });
    connect(resetDelta, &QPushButton::clicked, this, [this] { Send(CMD_RESET_DELTA); });
    connect(resetDome, &QPushButton::clicked, this, [this] { Send(CMD_RESET_DOME); });
    connect(close, &QPushButton::clicked, this, &PelaroWindow::CloseAction);
}

void PelaroWindow::Send(int16_t code) {
    DriverParam p{0, 0};
    core_.drivers().ParallelDriver(code, p);
}

void PelaroWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Activate();
}

void PelaroWindow::Activate() {
    const Settings& s = core_.settings();
    alpha_->setText(QString::fromStdString(DoubleToText(s.Dbl(DoubleKey::count_alpha))));
    delta_->setText(QString::fromStdString(DoubleToText(s.Dbl(DoubleKey::count_delta))));
    const bool coders = s.Int(IntKey::interface_coders) == INTERFACE_PARALLEL;
    for (const char* name : {"txtCalibrCountAlpha", "cmdCalibrCountAlpha", "cmdCalibrZeroAlpha", "txtCalibrCountDelta",
                             "cmdCalibrCountDelta", "cmdCalibrZeroDelta"}) {
        findChild<QWidget*>(name)->setEnabled(coders);
    }
    if (coders) {
        savedAlpha_ = alpha_->text();
        savedDelta_ = delta_->text();
    }
    findChild<QWidget*>("cmdCalibrResetAlpha")->setEnabled(s.Int(IntKey::interface_ra) == INTERFACE_PARALLEL);
    findChild<QWidget*>("cmdCalibrResetDelta")->setEnabled(s.Int(IntKey::interface_de) == INTERFACE_PARALLEL);
    findChild<QWidget*>("cmdCalibrResetDome")->setEnabled(s.Int(IntKey::interface_dome) == INTERFACE_PARALLEL);
}

void PelaroWindow::TransmitAlpha() {
    Transmit(true);
}

void PelaroWindow::TransmitDelta() {
    Transmit(false);
}

void PelaroWindow::Transmit(bool alpha) {
    QLineEdit* field = alpha ? alpha_ : delta_;
    const CountEntryCheck check =
        CheckCountEntry(field->text().toStdString(), alpha ? CountAxis::Alpha : CountAxis::Delta);
    if (!check.value) {
        AlertBox(core_.op(), "Erreur", check.errorText, kAlertExclamation);
        RestoreText(alpha);
        return;
    }
    core_.settings().Dbl(alpha ? DoubleKey::count_alpha : DoubleKey::count_delta) = *check.value;
    (alpha ? savedAlpha_ : savedDelta_) = field->text();
    Send(alpha ? CMD_SEND_COUNT_ALPHA : CMD_SEND_COUNT_DELTA);
    if (onSettingsChanged) {
        onSettingsChanged();
    }
}

void PelaroWindow::RestoreText(bool alpha) {
    if (core_.settings().Int(alpha ? IntKey::interface_ra : IntKey::interface_de) == INTERFACE_PARALLEL) {
        (alpha ? alpha_ : delta_)->setText(alpha ? savedAlpha_ : savedDelta_);
    }
}

void PelaroWindow::CloseAction() {
    hide();
    RestoreText(true);
    RestoreText(false);
}

void PelaroWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    CloseAction();
}

bool PelaroWindow::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == alpha_ || watched == delta_) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            focusNextChild();  // Enter moves on; it does not transmit
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace axo::ui
