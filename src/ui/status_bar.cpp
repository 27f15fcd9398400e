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
    // These two can be long (three interfaces, a dome operation under way): on a narrow window
    // they go on a second line rather than being cut.
    for (QLabel* l : {links_, operation_}) {
        l->setWordWrap(true);
        l->setMinimumWidth(120);
    }
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
    QStringList parts;
    // The mount first: what it does is what the observer must never be wrong about.
    if (core_.settings().Int(IntKey::manual_mode) == 1) {
        parts << "Mode manuel";
    } else if (const QString mount = MountText(); !mount.isEmpty()) {
        parts << mount;
    }
    const int dome = core_.position().DomeAzimuth;
    QString operation;
    if (st.DomeInitRunning) {
        operation = QString("Initialisation de la coupole en cours : coupole à %1°, vers le zéro").arg(dome);
    } else if (st.DomeRestRunning) {
        operation = QString("Mise au repos de la coupole en cours : coupole à %1°, repos à %2°")
                        .arg(dome)
                        .arg(core_.settings().Int(IntKey::dome_rest_pos));
    } else if (zeroCoderText_ && !zeroCoderText_().isEmpty()) {
        operation = zeroCoderText_();
    } else if (st.DomeTrackingOn) {
        operation = "Coupole en suivi du télescope";
    } else {
        operation = ended_;
    }
    if (!operation.isEmpty()) {
        parts << operation;
    }
    return parts.join(" · ");
}

QString StatusBar::MountText() const {
    const Pointing& pointing = core_.pointing();
    const MountState state = pointing.State();
    const GotoProgress progress = pointing.Progress();
    if (progress.active && !progress.parking) {
        // A go-to says where it goes; once there it says it settles.
        QString text = "Pointage : " + QString::fromStdString(progress.target);
        if (state == MountState::Settling) {
            text += QString(" (") + QString::fromUtf8(MountStateText(state)) + ")";
        }
        return text;
    }
    if (state == MountState::Idle) {
        return {};  // a mount at rest has nothing to say
    }
    QString text = QString::fromUtf8(MountStateText(state));
    text[0] = text[0].toUpper();
    return text;
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
        // A dome operation ended by a stop did not reach its position: it must not read as done.
        const bool stopped = running_ != "Recherche du zéro codeur" && st.DomeOperationInterrupted;
        ended_ = running_ + QString(stopped ? " interrompue à %1:%2" : " finie à %1:%2")
                               .arg(t.hour, 2, 10, QChar('0'))
                               .arg(t.minute, 2, 10, QChar('0'));
    }
    if (st.DomeTrackingOn) {
        ended_.clear();  // what the dome does now replaces what it last finished
    }
    running_ = running;
    // A narrow window cuts the texts: each part keeps its whole text in its tooltip.
    for (auto [label, text] : {std::pair{source_, SourceText()}, std::pair{links_, LinksText()},
                               std::pair{operation_, OperationText()}, std::pair{filter_, FilterText()}}) {
        label->setText(text);
        label->setToolTip(text);
    }
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
