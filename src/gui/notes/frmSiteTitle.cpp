#include "gui/notes/frmSiteTitle.h"

#include "core/tree/tree_blob.h"
#include "gui/shell/prompter.h"

#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

namespace vellicar::gui {

namespace {
// Lengths of the stored encodings count code points, not UTF-16 units.
int codePoints(const QString& s) {
    return int(s.toUcs4().size());
}
} // namespace

frmSiteTitle::frmSiteTitle(Prompter& prompter, const QString& programTitle, QString& enteredTitle,
                           QWidget* parent)
    : QDialog(parent), prompter_(prompter), programTitle_(programTitle),
      enteredTitle_(enteredTitle) {
    setObjectName(QStringLiteral("frmSiteTitle"));
    setModal(true);
    setWindowTitle(captionFor(QString()));
    lblTitle = new QLabel(QStringLiteral("Title ..."), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    txtSiteTitle = new QLineEdit(this);
    txtSiteTitle->setObjectName(QStringLiteral("txtSiteTitle"));
    // The encodings decide the limit, checked on OK so a pasted title is
    // never cut short without a word.
    txtSiteTitle->setMaxLength(32767);
    txtSiteTitle->setMinimumWidth(360);
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
    box->addWidget(txtSiteTitle);
    box->addLayout(buttons);
    setSizeGripEnabled(false);

    lblTitle->setBuddy(txtSiteTitle);
    txtSiteTitle->setFocus();
    connect(cmdOK, &QPushButton::clicked, this, [this] { okClicked(); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString frmSiteTitle::captionFor(const QString& mode) {
    if (mode == QLatin1String("New0"))
        return QStringLiteral("New Child Note");
    if (mode == QLatin1String("New1"))
        return QStringLiteral("New Sibling Note");
    if (mode == QLatin1String("Edit"))
        return QStringLiteral("Edit Note Title");
    if (mode == QLatin1String("New Section"))
        return QStringLiteral("Section Title");
    return QStringLiteral("New Note Title");
}

int frmSiteTitle::maxLengthFor(const QString& mode) {
    return mode == QLatin1String("New Section") ? 99 : tree::MaxTitleLength;
}

void frmSiteTitle::setMode(const QString& mode) {
    mode_ = mode;
    setWindowTitle(captionFor(mode));
}

void frmSiteTitle::setText(const QString& text) {
    txtSiteTitle->setText(text);
}

QString frmSiteTitle::text() const {
    return txtSiteTitle->text();
}

void frmSiteTitle::setVisible(bool visible) {
    QDialog::setVisible(visible);
    if (!visible)
        return;
    // QDialog tabs into the box when it shows, which selects the whole text;
    // the caret goes where the mode wants it after that.
    txtSiteTitle->setFocus();
    txtSiteTitle->deselect();
    if (mode_ == QLatin1String("Edit") || mode_ == QLatin1String("New Section"))
        txtSiteTitle->setCursorPosition(int(txtSiteTitle->text().size()));
    else
        txtSiteTitle->setCursorPosition(0);
}

void frmSiteTitle::okClicked() {
    const QString text = txtSiteTitle->text();
    if (text.isEmpty()) {
        prompter_.message(QStringLiteral("Title must be supplied."), programTitle_,
                          PromptIcon::Information, PromptButtons::Ok);
        txtSiteTitle->setFocus();
        return;
    }
    const int limit = maxLengthFor(mode_);
    const int length = codePoints(text);
    if (length > limit) {
        prompter_.message(QStringLiteral("This title has %1 characters; at most %2 can be stored. "
                                         "Please shorten it.")
                              .arg(length)
                              .arg(limit),
                          programTitle_, PromptIcon::Information, PromptButtons::Ok);
        txtSiteTitle->setFocus();
        return;
    }
    enteredTitle_ = text;
    accept();
}

} // namespace vellicar::gui
