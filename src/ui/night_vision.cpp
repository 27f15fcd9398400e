#include "ui/night_vision.h"

#include <algorithm>

#include <QApplication>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QSettings>
#include <QAction>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QToolBar>
#include <QWidget>

#include "platform/profile_file.h"

namespace axo::ui {

namespace {

bool g_on = false;
bool g_saved = false;
QPalette g_dayPalette;

// Deep red on black: no green or blue at all, and the brightest text well below full red.
const QColor kText(170, 0, 0);
const QColor kDim(95, 0, 0);
const QColor kBase(0, 0, 0);
const QColor kRaised(22, 0, 0);
const QColor kHighlight(70, 0, 0);

QPalette NightPalette() {
    QPalette p;
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QColor text = g == QPalette::Disabled ? kDim : kText;
        p.setColor(g, QPalette::Window, kBase);
        p.setColor(g, QPalette::WindowText, text);
        p.setColor(g, QPalette::Base, kBase);
        p.setColor(g, QPalette::AlternateBase, kRaised);
        p.setColor(g, QPalette::Text, text);
        p.setColor(g, QPalette::Button, kRaised);
        p.setColor(g, QPalette::ButtonText, text);
        p.setColor(g, QPalette::BrightText, kText);
        p.setColor(g, QPalette::Highlight, kHighlight);
        p.setColor(g, QPalette::HighlightedText, kText);
        p.setColor(g, QPalette::ToolTipBase, kBase);
        p.setColor(g, QPalette::ToolTipText, kText);
        p.setColor(g, QPalette::PlaceholderText, kDim);
        p.setColor(g, QPalette::Light, kHighlight);
        p.setColor(g, QPalette::Midlight, kRaised);
        p.setColor(g, QPalette::Mid, kDim);
        p.setColor(g, QPalette::Dark, kRaised);
        p.setColor(g, QPalette::Shadow, kBase);
        p.setColor(g, QPalette::Link, kText);
        p.setColor(g, QPalette::LinkVisited, kDim);
    }
    return p;
}

// The style sheet catches what a palette does not reach in every style: frames, menus, tool
// tips, the toolbar and the status bar.
const char* kNightStyle =
    "QWidget { background-color: #000000; color: #aa0000; selection-background-color: #460000;"
    " selection-color: #aa0000; }"
    "QMenuBar, QMenu, QToolBar, QStatusBar, QToolTip { background-color: #000000; color: #aa0000;"
    " border: 1px solid #3a0000; }"
    "QMenu::item:selected, QMenuBar::item:selected { background-color: #460000; }"
    "QLineEdit, QComboBox, QListWidget, QSpinBox { border: 1px solid #5a0000; }"
    // A combo box with a border of its own loses the room its arrow had: give it back.
    "QComboBox { padding: 1px 20px 1px 4px; }"
    "QPushButton, QToolButton { border: 1px solid #5a0000; padding: 3px 8px; }"
    "QGroupBox { border: 1px solid #3a0000; margin-top: 1.1em; }"
    "QGroupBox::title { subcontrol-origin: margin; left: 6px; }"
    "QTabWidget::pane { border: 1px solid #3a0000; }"
    "QTabBar::tab { background-color: #000000; color: #aa0000; border: 1px solid #3a0000; padding: 3px 8px; }"
    "QTabBar::tab:selected { background-color: #2a0000; }"
    "QCheckBox::indicator, QRadioButton::indicator { width: 11px; height: 11px; border: 1px solid #aa0000;"
    " background-color: #000000; }"
    "QRadioButton::indicator { border-radius: 6px; }"
    "QCheckBox::indicator:checked, QRadioButton::indicator:checked { background-color: #aa0000; }"
    "QCheckBox::indicator:disabled, QRadioButton::indicator:disabled { border-color: #5f0000; }"
    "QFileDialog QToolButton { padding: 1px; }"
    "QHeaderView::section { background-color: #000000; color: #aa0000; border: 1px solid #3a0000; padding: 2px 4px; }"
    "QSplitter::handle { background-color: #1a0000; }"
    "QScrollBar { background-color: #000000; }"
    "QScrollBar::handle { background-color: #3a0000; }";

// Every pixel's brightness in dim red, its transparency kept.
QImage NightImage(const QImage& day) {
    QImage img = day.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            // A dark glyph drawn for a light background (the file dialog's arrows) would vanish
            // on black: whatever is drawn keeps at least a dim red.
            QColor red(std::max(NightColour(c).red(), 80), 0, 0);
            red.setAlpha(c.alpha());
            img.setPixelColor(x, y, red);
        }
    }
    return img;
}

QIcon NightIcon(const QIcon& day) {
    if (day.isNull()) {
        return day;
    }
    QIcon night;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected}) {
            const QPixmap pm = day.pixmap(QSize(size, size), mode);
            if (!pm.isNull()) {
                night.addPixmap(QPixmap::fromImage(NightImage(pm.toImage())), mode);
            }
        }
    }
    return night;
}

// The style's own pictures (the message boxes' warning triangle and question bubble, the file
// dialog's folders, the arrows of OK buttons) in dim red too: the palette does not reach them.
class NightStyle final : public QProxyStyle {
public:
    explicit NightStyle(QStyle* day) : QProxyStyle(day) {}
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override {
        return NightIcon(QProxyStyle::standardIcon(which, option, widget));
    }
    QPixmap standardPixmap(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override {
        return QPixmap::fromImage(NightImage(QProxyStyle::standardPixmap(which, option, widget).toImage()));
    }
    QPixmap generatedIconPixmap(QIcon::Mode mode, const QPixmap& pixmap, const QStyleOption* option) const override {
        return QPixmap::fromImage(NightImage(QProxyStyle::generatedIconPixmap(mode, pixmap, option).toImage()));
    }
};

QString g_dayStyle;

}  // namespace

bool NightVisionOn() {
    return g_on;
}

QString InterfacePreferencesFile() {
    return QString::fromStdString(ResolveProfilePath("axo-ui.ini").string());
}

bool SavedNightVision() {
    QSettings prefs(InterfacePreferencesFile(), QSettings::IniFormat);
    return prefs.value("Affichage/night_vision", false).toBool();
}

void SetNightVision(bool on) {
    if (!g_saved) {
        g_dayPalette = QApplication::palette();
        g_saved = true;
    }
    g_on = on;
    if (g_dayStyle.isEmpty()) {
        g_dayStyle = QApplication::style()->name();
    }
    // The application owns the style it is given and deletes the one it replaces.
    if (on) {
        QApplication::setStyle(new NightStyle(QStyleFactory::create(g_dayStyle)));
    } else {
        QApplication::setStyle(QStyleFactory::create(g_dayStyle));
    }
    QApplication::setPalette(on ? NightPalette() : g_dayPalette);
    qApp->setStyleSheet(on ? kNightStyle : "");
    for (QWidget* w : QApplication::topLevelWidgets()) {
        ApplyNightEffects(w);
    }
    for (QWidget* w : QApplication::allWidgets()) {
        w->update();  // the picture buttons draw their own colours
    }
    QSettings prefs(InterfacePreferencesFile(), QSettings::IniFormat);
    prefs.setValue("Affichage/night_vision", on);
    prefs.sync();
}

void ApplyNightEffects(QWidget* root) {
    if (root == nullptr) {
        return;
    }
    for (QToolBar* bar : root->findChildren<QToolBar*>()) {
        for (QAction* a : bar->actions()) {
            if (a->icon().isNull() && !a->property("dayIcon").isValid()) {
                continue;
            }
            if (!a->property("dayIcon").isValid()) {
                a->setProperty("dayIcon", a->icon());
            }
            const QIcon day = a->property("dayIcon").value<QIcon>();
            if (!g_on) {
                a->setIcon(day);
                continue;
            }
            a->setIcon(NightIcon(day));
        }
    }
}

QColor NightColour(const QColor& colour) {
    if (!g_on) {
        return colour;
    }
    // The brightest symbol reaches kText's red; a dark face stays nearly black.
    const int level = qGray(colour.rgb()) * kText.red() / 255;
    return QColor(level, 0, 0);
}

}  // namespace axo::ui
