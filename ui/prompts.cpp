#include "ui/prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <utility>

namespace ui {
namespace {

std::function<void(const Message&)>& messageAnswerer() {
    static std::function<void(const Message&)> answerer;
    return answerer;
}

std::function<bool(const QString&)>& questionAnswerer() {
    static std::function<bool(const QString&)> answerer;
    return answerer;
}

std::function<bool(FileDialog&)>& fileAnswerer() {
    static std::function<bool(FileDialog&)> answerer;
    return answerer;
}

QMessageBox::Icon iconOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Plain: return QMessageBox::NoIcon;
    case MessageKind::Warning: return QMessageBox::Warning;
    case MessageKind::Error: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// The extension to add to a typed name: "txt" and "*.shx" both give "shx"/"txt".
QString suffixOf(const QString& defaultExt) {
    QString suffix = defaultExt;
    if (suffix.startsWith(QLatin1String("*.")))
        suffix.remove(0, 2);
    else if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    return suffix;
}

}  // namespace

void showMessage(QWidget* parent, const Message& message) {
    if (messageAnswerer()) {
        messageAnswerer()(message);
        return;
    }
    QMessageBox box(iconOf(message.kind), QApplication::applicationName(), message.text, QMessageBox::Ok, parent);
    if (!message.details.isEmpty())
        box.setInformativeText(message.details);
    box.exec();
}

bool askYesNo(QWidget* parent, const QString& text) {
    if (questionAnswerer())
        return questionAnswerer()(text);
    return QMessageBox::question(parent, QApplication::applicationName(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QString FileDialog::qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << parts[i] + QLatin1String(" (") + patterns + QLatin1Char(')');
    }
    return entries.join(QLatin1String(";;"));
}

bool FileDialog::Execute(QWidget* parent) {
    if (fileAnswerer())
        return fileAnswerer()(*this);

    QFileDialog dialog(parent, Title, InitialDir, qtFilter(Filter));
    switch (m_mode) {
    case Mode::Open:
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case Mode::Save:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        break;
    case Mode::Folder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    if (!DefaultExt.isEmpty())
        dialog.setDefaultSuffix(suffixOf(DefaultExt));
    if (!FileName.isEmpty())
        dialog.selectFile(FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    FileName = dialog.selectedFiles().constFirst();
    return true;
}

void answerMessagesWith(std::function<void(const Message&)> answerer) { messageAnswerer() = std::move(answerer); }
void answerQuestionsWith(std::function<bool(const QString&)> answerer) { questionAnswerer() = std::move(answerer); }
void answerFileDialogsWith(std::function<bool(FileDialog&)> answerer) { fileAnswerer() = std::move(answerer); }

}  // namespace ui
