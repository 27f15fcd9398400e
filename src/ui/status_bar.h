#pragma once

// The main window's status bar: what the observer must be able to trust at a glance. Where
// the hardware is (simulated observatory or the real one), whether each interface in use
// answers, what the mount does (tracking, a go-to and its target, parked), a long operation running (dome Init or rest, the zero-coder search) and how it
// ended, and the filter in place.

#include <QObject>
#include <QString>
#include <functional>

class QLabel;
class QStatusBar;
class QTimer;

namespace axo {
class Core;
}

namespace axo::ui {

class StatusBar : public QObject {
    Q_OBJECT
public:
    // `zeroCoderText` gives the text of a running zero-coder search, empty when none runs.
    StatusBar(Core& core, QStatusBar* bar, bool simulated, std::function<QString()> zeroCoderText);

    // Reads the core again; also done twice a second.
    void Refresh();

    // The texts, for the tests and the log.
    QString SourceText() const;
    QString LinksText() const;
    QString OperationText() const;
    // The mount's state as the core keeps it ("Suivi sidéral", "Parqué", "Pointage : Véga");
    // empty at rest.
    QString MountText() const;
    QString FilterText() const;

    // The planetarium link: on or off, its address, the clients connected (set by whoever
    // runs the link; "Lien LX200 : inactif" until then).
    // Whether the polling timer runs: without it nothing is exchanged, and an interface that
    // answered at its last exchange cannot be said to answer now.
    void SetPollingRunning(std::function<bool()> running) { pollingRunning_ = std::move(running); }
    void SetPositionLinkText(const QString& text);
    QString PositionLinkText() const;

private:
    Core& core_;
    bool simulated_;
    std::function<QString()> zeroCoderText_;
    std::function<bool()> pollingRunning_;
    QLabel* source_;
    QLabel* links_;
    QLabel* operation_;
    QLabel* filter_;
    QLabel* positionLink_;
    QTimer* refresh_;
    // The operation last seen running, to say how it ended once it stops.
    QString running_;
    QString ended_;
};

}  // namespace axo::ui
