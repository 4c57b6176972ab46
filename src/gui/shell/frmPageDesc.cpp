#include "gui/shell/frmPageDesc.h"

#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>

namespace vellicar::gui {

frmPageDesc::frmPageDesc(QString& tag, QWidget* parent) : QDialog(parent), tag_(tag) {
    setObjectName(QStringLiteral("frmPageDesc"));
    setModal(true);
    setWindowTitle(QStringLiteral("Edit Section Title"));
    tag_ = QStringLiteral("Canceled");
    lblTitle = new QLabel(QStringLiteral("Title ..."), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    txtDescription = new QLineEdit(this);
    txtDescription->setObjectName(QStringLiteral("txtDescription"));
    txtDescription->setMaxLength(MaxTitle);
    txtDescription->setMinimumWidth(260);
    lblTitle->setBuddy(txtDescription);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* box = new QVBoxLayout(this);
    box->addWidget(lblTitle);
    box->addWidget(txtDescription);
    box->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, [this] {
        tag_ = txtDescription->text();
        accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmPageDesc::setDescription(const QString& text) {
    txtDescription->setMaxLength(std::max(MaxTitle, int(text.size())));
    txtDescription->setText(text);
}

void frmPageDesc::setVisible(bool visible) {
    QDialog::setVisible(visible);
    if (visible) {
        txtDescription->setFocus();
        txtDescription->selectAll();
    }
}

} // namespace vellicar::gui
