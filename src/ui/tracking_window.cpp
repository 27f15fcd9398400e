#include "ui/tracking_window.h"
#include "ui/form_kit.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace axo::ui {

namespace {

QGroupBox* Frame(const QString& name, const QString& title,
                 std::initializer_list<std::tuple<const char*, const char*, const char*>> rows, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(name);
    auto* grid = new QGridLayout(box);
    int row = 0;
    for (const auto& [legendName, legend, valueName] : rows) {
        auto* l = new QLabel(legend, box);
        l->setObjectName(legendName);
        auto* v = new QLabel(box);
        v->setObjectName(valueName);
        v->setMinimumWidth(130);
        v->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QFont f = v->font();
        f.setFamily("DejaVu Sans Mono");
        f.setPointSizeF(f.pointSizeF() * 1.15);
        v->setFont(f);
        grid->addWidget(l, row, 0);
        grid->addWidget(v, row, 1);
        ++row;
    }
    return box;
}

}  // namespace

TrackingWindow::TrackingWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("Tracking");
    setWindowTitle("Suivi");
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame("Frame2", "Coordonées équatoriales",
                            {{"lblTrkRaL", "AD", "lblTrkRa"}, {"lblTrkDeL", "Dec", "lblTrkDe"}, {"lblTrkHaL", "AH", "lblTrkHa"}},
                            this));
    layout->addWidget(Frame("Frame3", "Coordonnées locales",
                            {{"lblTrkAzL", "Az", "lblTrkAz"}, {"lblTrkHeL", "h", "lblTrkHe"}, {"lblTrkAmL", "MA", "lblTrkAm"}},
                            this));
    layout->addWidget(Frame("Frame1", "Heure",
                            {{"lblTrkTSL", "TS", "lblTrkTS"}, {"lblTrkTUL", "TU", "lblTrkTU"},
                             {"lblTrkDateL", "Date", "lblTrkDate"}},
                            this));
    auto* close = new QPushButton("Fermer", this);
    close->setObjectName("cmdTrackingClose");
    connect(close, &QPushButton::clicked, this, &TrackingWindow::CloseAction);
    AddButtonRow(layout, {close});
}

void TrackingWindow::CloseAction() {
    hide();
    if (onClosed) {
        onClosed();
    }
}

void TrackingWindow::closeEvent(QCloseEvent* event) {
    // The title bar's close button does what "Fermer" does.
    event->ignore();
    CloseAction();
}

}  // namespace axo::ui
