#include "ui/form_kit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace axo::ui {

QLabel* NamedLabel(const char* name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    if (name != nullptr) {
        l->setObjectName(name);
    }
    return l;
}

QGroupBox* NamedFrame(const char* name, const QString& title, QWidget* parent) {
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(name);
    return g;
}

QCheckBox* NamedCheckBox(const char* name, const QString& text, QWidget* parent) {
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(name);
    return c;
}

QLineEdit* NamedLineEdit(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

QPushButton* NamedButton(const char* name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* AddFieldRow(QGridLayout* grid, int row, const char* labelName, const QString& caption,
                       const char* fieldName, QWidget* parent) {
    grid->addWidget(NamedLabel(labelName, caption, parent), row, 0);
    QLineEdit* e = NamedLineEdit(fieldName, parent);
    grid->addWidget(e, row, 1);
    return e;
}

void AddButtonRow(QBoxLayout* layout, std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* b : buttons) {
        row->addWidget(b);
    }
    layout->addLayout(row);
}

}  // namespace axo::ui
