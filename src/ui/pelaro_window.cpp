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

namespace axo::ui {

namespace {

QPushButton* Button(const char* name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

PelaroWindow::PelaroWindow(Core& core, QWidget* parent) : QDialog(parent), core_(core) {
    setObjectName("Pelaro");
    setWindowTitle("Interface parallèle Pelaro");
    setModal(false);
    auto* layout = new QVBoxLayout(this);

    auto* reset = new QGroupBox("Micro-contrôleurs", this);
    reset->setObjectName("fraPelaroReset");
    auto* rl = new QHBoxLayout(reset);
    QPushButton* resetAlpha = Button("cmdCalibrResetAlpha", "Reset Alpha", reset);
    QPushButton* resetDelta = Button("cmdCalibrResetDelta", "Reset Delta", reset);
    QPushButton* resetDome = Button("cmdCalibrResetDome", "Reset Coupole", reset);
    rl->addWidget(resetAlpha);
    rl->addWidget(resetDelta);
    rl->addWidget(resetDome);
    layout->addWidget(reset);

    auto* coders = new QGroupBox("Codeurs", this);
    coders->setObjectName("fraPelaroCoders");
    auto* cl = new QGridLayout(coders);
    auto* la = new QLabel("Variable de comptage Alpha", coders);
    la->setObjectName("lblCalibrCountAlpha");
    alpha_ = new QLineEdit(coders);
    alpha_->setObjectName("txtCalibrCountAlpha");
    alpha_->setFixedWidth(90);
    QPushButton* sendAlpha = Button("cmdCalibrCountAlpha", "Transmission", coders);
    QPushButton* zeroAlpha = Button("cmdCalibrZeroAlpha", "Zéro codeur Alpha", coders);
    auto* ld = new QLabel("Variable de comptage Delta", coders);
    ld->setObjectName("lblCalibrCountDelta");
    delta_ = new QLineEdit(coders);
    delta_->setObjectName("txtCalibrCountDelta");
    delta_->setFixedWidth(90);
    QPushButton* sendDelta = Button("cmdCalibrCountDelta", "Transmission", coders);
    QPushButton* zeroDelta = Button("cmdCalibrZeroDelta", "Zéro codeur Delta", coders);
    cl->addWidget(la, 0, 0);
    cl->addWidget(alpha_, 0, 1);
    cl->addWidget(sendAlpha, 0, 2);
    cl->addWidget(zeroAlpha, 0, 3);
    cl->addWidget(ld, 1, 0);
    cl->addWidget(delta_, 1, 1);
    cl->addWidget(sendDelta, 1, 2);
    cl->addWidget(zeroDelta, 1, 3);
    layout->addWidget(coders);

    QPushButton* close = Button("cmdPelaroClose", "Fermer", this);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(close);
    layout->addLayout(row);

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
    const CountEntryCheck check = CheckCountEntry(alpha_->text().toStdString(), CountAxis::Alpha);
    if (!check.value) {
        AlertBox(core_.op(), "Erreur", check.errorText, kAlertExclamation);
        RestoreAlphaText();
        return;
    }
    core_.settings().Dbl(DoubleKey::count_alpha) = *check.value;
    savedAlpha_ = alpha_->text();
    Send(CMD_SEND_COUNT_ALPHA);
    if (onSettingsChanged) {
        onSettingsChanged();
    }
}

void PelaroWindow::TransmitDelta() {
    const CountEntryCheck check = CheckCountEntry(delta_->text().toStdString(), CountAxis::Delta);
    if (!check.value) {
        AlertBox(core_.op(), "Erreur", check.errorText, kAlertExclamation);
        RestoreDeltaText();
        return;
    }
    core_.settings().Dbl(DoubleKey::count_delta) = *check.value;
    savedDelta_ = delta_->text();
    Send(CMD_SEND_COUNT_DELTA);
    if (onSettingsChanged) {
        onSettingsChanged();
    }
}

void PelaroWindow::RestoreAlphaText() {
    if (core_.settings().Int(IntKey::interface_ra) == INTERFACE_PARALLEL) {
        alpha_->setText(savedAlpha_);
    }
}

void PelaroWindow::RestoreDeltaText() {
    if (core_.settings().Int(IntKey::interface_de) == INTERFACE_PARALLEL) {
        delta_->setText(savedDelta_);
    }
}

void PelaroWindow::CloseAction() {
    hide();
    RestoreAlphaText();
    RestoreDeltaText();
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
