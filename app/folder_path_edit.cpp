#include "app/folder_path_edit.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

#include "ui/prompts.h"

namespace app {

FolderPathEdit::FolderPathEdit(QWidget* parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_browse(new QToolButton(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_edit);
    layout->addWidget(m_browse);
    m_browse->setText(QStringLiteral("..."));
    m_browse->setToolTip(QStringLiteral("Browse for the output folder"));
    connect(m_browse, &QToolButton::clicked, this, &FolderPathEdit::browse);
}

QString FolderPathEdit::path() const { return m_edit->text(); }

void FolderPathEdit::setPath(const QString& path) { m_edit->setText(path); }

void FolderPathEdit::browse() {
    ui::FileDialog dialog(ui::FileDialog::Mode::Folder);
    dialog.Title = QStringLiteral("Output Folder");
    dialog.InitialDir = path().isEmpty() ? QDir::homePath() : path();
    if (dialog.Execute(this))
        setPath(QDir::toNativeSeparators(dialog.FileName));
}

}  // namespace app
