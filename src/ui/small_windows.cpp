#include "ui/small_windows.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "astro/utils.h"
#include "core/state.h"
#include "platform/operator.h"
#include "settings/settings.h"
#include "ui/form_kit.h"

namespace axo::ui {

namespace {

QLabel* MakeLabel(const QString& name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setWordWrap(true);
    return l;
}

QPushButton* MakeButton(const QString& name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

QLabel* TitleLabel(const QString& name, const QString& text, QWidget* parent) {
    QLabel* l = MakeLabel(name, text, parent);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 1.6);
    f.setBold(true);
    l->setFont(f);
    return l;
}

}  // namespace

LoadWindow::LoadWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("LoadWindow");
    setWindowTitle("Axo");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TitleLabel("lblLoadVersion", kVersionText, this));
    layout->addWidget(MakeLabel("lblLoad1", "Initialisation du système en cours", this));
    layout->addWidget(MakeLabel("lblLoad2", "Veuillez patienter...", this));
    text_ = MakeLabel("lblLoadText", "", this);
    text_->setMinimumWidth(360);
    layout->addWidget(text_);
    layout->addWidget(MakeLabel("lblLoad3", "Pilotage du télescope, de la coupole et des accessoires", this));
}

void LoadWindow::SetProgress(const QString& text) {
    text_->setText(text);
    text_->repaint();
}

WelcomeWindow::WelcomeWindow(Settings& settings, QWidget* parent) : QDialog(parent) {
    setObjectName("Welcome");
    setWindowTitle("Bienvenue !");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TitleLabel("lblWelcomeTitle", "Axo", this));
    layout->addWidget(MakeLabel("Label1", "Bienvenue dans le logiciel de pilotage du Axo", this));
    QLabel* text = MakeLabel("lblWelcomeText",
                             "Ce logiciel commande les deux axes du télescope, la coupole, la mise au point et le "
                             "filtre coloré. Vérifiez que personne ne se trouve près des parties mobiles avant "
                             "tout mouvement.",
                             this);
    text->setMinimumWidth(420);
    layout->addWidget(text);
    auto* check = new QCheckBox("Ne plus afficher cet écran de bienvenue", this);
    check->setObjectName("chkWelcomeDisplay");
    check->setChecked(settings.Int(IntKey::display_welcome) != 1);
    connect(check, &QCheckBox::clicked, this, [&settings] {
        int16_t& v = settings.Int(IntKey::display_welcome);
        v = v == 1 ? 0 : 1;
    });
    layout->addWidget(check);
    QPushButton* cont = MakeButton("cmdWelcomeContinue", "Continuer", this);
    cont->setDefault(true);
    connect(cont, &QPushButton::clicked, this, &QDialog::hide);
    connect(cont, &QPushButton::clicked, this, &QDialog::accept);
    AddButtonRow(layout, {cont});
}

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("About");
    setWindowTitle("A propos de Axo");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* image = new QLabel(this);
    image->setObjectName("Image1");
    image->setText(QString::fromUtf8("\u2609"));  // the astronomical sign of the Sun
    QFont big = image->font();
    big.setPointSizeF(big.pointSizeF() * 3.0);
    image->setFont(big);
    image->setAlignment(Qt::AlignCenter);
    layout->addWidget(image);
    layout->addWidget(TitleLabel("lblAboutTitle", kVersionText, this));
    layout->addWidget(MakeLabel("llAboutDate", kReleaseDate, this));
    layout->addWidget(MakeLabel("lblAboutText", "Logiciel de pilotage de télescope et de coupole", this));
    QPushButton* ok = MakeButton("cmdAboutOK", "OK", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    AddButtonRow(layout, {ok});
}

PasswordWindow::PasswordWindow(RuntimeState& state, Operator& op, QWidget* parent)
    : QDialog(parent), state_(state), op_(op) {
    setObjectName("Password");
    setWindowTitle("Mot de passe");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeLabel("lblPassword", "Entrez un mot de passe :", this));
    text_ = new QLineEdit(this);
    text_->setObjectName("txtPassword");
    text_->setEchoMode(QLineEdit::Password);
    text_->installEventFilter(this);
    layout->addWidget(text_);
    QPushButton* ok = MakeButton("cmdPasswordOk", "Ok", this);
    QPushButton* cancel = MakeButton("cmdPsswordCancel", "Annuler", this);
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &PasswordWindow::Ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    AddButtonRow(layout, {ok, cancel});
    setMinimumWidth(300);
}

bool PasswordWindow::IsPassword(const QString& text) {
    return text == QStringLiteral("axo");
}

void PasswordWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    text_->setFocus();
    text_->selectAll();
}

bool PasswordWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == text_) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                Ok();
                return true;  // swallowed: nothing reaches the box
            }
        } else if (event->type() == QEvent::FocusIn) {
            text_->selectAll();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void PasswordWindow::Ok() {
    if (IsPassword(text_->text())) {
        state_.PasswordGranted = true;
        accept();
        return;
    }
    AlertBox(op_, "Erreur", "Mot de passe incorrect", kAlertExclamation);
}

CancelWindow::CancelWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("Cancel");
    setWindowTitle("Annulation");
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    message_ = MakeLabel("lblCancelMessage", "", this);
    message_->setMinimumWidth(320);
    layout->addWidget(message_);
    QPushButton* cancel = MakeButton("cmdCancel", "Annuler", this);
    connect(cancel, &QPushButton::clicked, this, &CancelWindow::reject);
    AddButtonRow(layout, {cancel});
}

void CancelWindow::reject() {
    cancelRequested_ = true;
    hide();
}

void CancelWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    reject();
}

void CancelWindow::Start(const QString& message) {
    cancelRequested_ = false;
    message_->setText(message);
    show();
}

}  // namespace axo::ui
