#include "ui/status_bar.h"

#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include "core/core.h"

namespace axo::ui {

namespace {

QLabel* Part(QStatusBar* bar, const char* name, int stretch) {
    auto* l = new QLabel(bar);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    l->setContentsMargins(6, 0, 10, 0);
    bar->addWidget(l, stretch);
    return l;
}

QString LinkWord(const LinkStatus& link) {
    switch (link.state) {
        case LinkState::NotStarted:
            return "non démarrée";
        case LinkState::Answering:
            return "répond";
        case LinkState::Unreachable:
            return "injoignable";
        case LinkState::Failing:
            return "ne répond plus" + (link.detail.empty() ? QString() : " (" + QString::fromStdString(link.detail) + ")");
    }
    return {};
}

}  // namespace

StatusBar::StatusBar(Core& core, QStatusBar* bar, bool simulated, std::function<QString()> zeroCoderText)
    : QObject(bar), core_(core), simulated_(simulated), zeroCoderText_(std::move(zeroCoderText)) {
    bar->setObjectName("StatusBar");
    bar->setSizeGripEnabled(false);
    source_ = Part(bar, "lblStatusSource", 0);
    links_ = Part(bar, "lblStatusLinks", 2);
    operation_ = Part(bar, "lblStatusOperation", 2);
    filter_ = Part(bar, "lblStatusFilter", 0);
    positionLink_ = Part(bar, "lblStatusPositionLink", 0);
    positionLink_->setText("Lien LX200 : inactif");
    refresh_ = new QTimer(this);
    refresh_->setObjectName("tmrStatus");
    refresh_->setInterval(500);
    connect(refresh_, &QTimer::timeout, this, &StatusBar::Refresh);
    refresh_->start();
    Refresh();
}

QString StatusBar::SourceText() const {
    return simulated_ ? "Observatoire simulé" : "Matériel";
}

QString StatusBar::LinksText() const {
    const RuntimeState& st = core_.state();
    const DriverRegistry& d = core_.drivers();
    const std::tuple<bool, InterfaceId, const char*> used[] = {{st.ParallelInUse, InterfaceId::Parallel, "Pelaro"},
                                                               {st.S64xxInUse, InterfaceId::S64xx, "6420"},
                                                               {st.Eik120InUse, InterfaceId::Eik, "EIK120"},
                                                               {st.TalveneInUse, InterfaceId::Talvene, "Talvene"}};
    const bool polling = !pollingRunning_ || pollingRunning_();
    QStringList parts;
    for (const auto& [inUse, id, name] : used) {
        if (!inUse) {
            continue;
        }
        QString word = d.Has(id) ? LinkWord(d.Link(id)) : QString("absente");
        if (d.Has(id) && d.Link(id).state == LinkState::Answering && !polling) {
            word = "non interrogée";
        }
        parts << QString(name) + " : " + word;
    }
    return parts.isEmpty() ? QString("Aucune interface") : parts.join(" · ");
}

QString StatusBar::OperationText() const {
    const RuntimeState& st = core_.state();
    const int dome = core_.position().DomeAzimuth;
    if (st.DomeInitRunning) {
        return QString("Initialisation de la coupole en cours : coupole à %1°, vers le zéro").arg(dome);
    }
    if (st.DomeRestRunning) {
        return QString("Mise au repos de la coupole en cours : coupole à %1°, repos à %2°")
            .arg(dome)
            .arg(core_.settings().Int(IntKey::dome_rest_pos));
    }
    if (zeroCoderText_) {
        const QString zero = zeroCoderText_();
        if (!zero.isEmpty()) {
            return zero;
        }
    }
    return ended_;
}

QString StatusBar::FilterText() const {
    switch (core_.state().FilterInPlace) {
        case 6:
            return "Filtre rouge";
        case 7:
            return "Filtre vert";
        case 8:
            return "Filtre bleu";
        default:
            return "Filtre : —";
    }
}

void StatusBar::Refresh() {
    const RuntimeState& st = core_.state();
    QString running;
    if (st.DomeInitRunning) {
        running = "Initialisation de la coupole";
    } else if (st.DomeRestRunning) {
        running = "Mise au repos de la coupole";
    } else if (zeroCoderText_ && !zeroCoderText_().isEmpty()) {
        running = "Recherche du zéro codeur";
    }
    if (!running_.isEmpty() && running != running_) {
        const DateTimeRecord& t = st.DateTime;
        ended_ = running_ + QString(" finie à %1:%2").arg(t.hour, 2, 10, QChar('0')).arg(t.minute, 2, 10, QChar('0'));
    }
    running_ = running;
    source_->setText(SourceText());
    links_->setText(LinksText());
    operation_->setText(OperationText());
    filter_->setText(FilterText());
}

void StatusBar::SetPositionLinkText(const QString& text) {
    if (positionLink_->text() != text) {
        positionLink_->setText(text);
    }
}

QString StatusBar::PositionLinkText() const {
    return positionLink_->text();
}

}  // namespace axo::ui
