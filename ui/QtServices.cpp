#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>

#include "ui/ModalService.h"
#include "ui/QtMessageService.h"

namespace kesola {

void QtModalService::showModal(QDialog& dialog) { dialog.exec(); }

namespace {

QMessageBox::Icon boxIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::Critical:
            return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

std::unique_ptr<QMessageBox> buildMessageBox(const QString& text, MsgIcon icon, MsgButtons buttons,
                                             const QString& title, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(title);
    // Texts carry stored names (a room, a patient): Qt would guess that one that looks like markup is rich text.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setIcon(boxIcon(icon));
    QPushButton* ok = box->addButton(kOkButtonText, QMessageBox::AcceptRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    if (buttons == MsgButtons::OkCancel)
        box->setEscapeButton(box->addButton(kCancelButtonText, QMessageBox::RejectRole));
    return box;
}

MsgAnswer QtMessageService::show(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title) {
    const std::unique_ptr<QMessageBox> box = buildMessageBox(text, icon, buttons, title, QApplication::activeWindow());
    box->exec();
    return box->clickedButton() == box->defaultButton() ? MsgAnswer::Ok : MsgAnswer::Cancel;
}

}  // namespace kesola
