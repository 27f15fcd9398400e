#pragma once

// Small builders the windows share. Every control the core or a test reaches is found by its
// object name, so each builder names what it makes; the foot row puts a dialog's closing
// buttons where every window has them.

#include <QString>
#include <initializer_list>

class QBoxLayout;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace axo::ui {

// A label; `name` may be null for a caption nothing looks up.
QLabel* NamedLabel(const char* name, const QString& text, QWidget* parent);
QGroupBox* NamedFrame(const char* name, const QString& title, QWidget* parent);
QCheckBox* NamedCheckBox(const char* name, const QString& text, QWidget* parent);
QLineEdit* NamedLineEdit(const char* name, QWidget* parent);
// A button that Enter does not press just because it has the focus (auto-default off): in a
// dialog Enter goes to the default button, or to none.
QPushButton* NamedButton(const char* name, const QString& text, QWidget* parent);
// One row of a labelled text box in `grid`: the caption (named `labelName`, may be null) in
// column 0, the box named `fieldName` in column 1. The caption is made first, so the tab order
// stays that of the rows.
QLineEdit* AddFieldRow(QGridLayout* grid, int row, const char* labelName, const QString& caption,
                       const char* fieldName, QWidget* parent);
// The closing buttons of a dialog, right-aligned in a row of their own under `layout`.
void AddButtonRow(QBoxLayout* layout, std::initializer_list<QPushButton*> buttons);

}  // namespace axo::ui
