#pragma once
// A folder path edit: a line edit for the path and a button that browses for
// a folder. Disabling it disables both.

#include <QString>
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace app {

class FolderPathEdit : public QWidget {
    Q_OBJECT
public:
    explicit FolderPathEdit(QWidget* parent = nullptr);

    QString path() const;
    void setPath(const QString& path);

    QLineEdit* edit() const { return m_edit; }
    QToolButton* browseButton() const { return m_browse; }

public slots:
    void browse();

private:
    QLineEdit* m_edit;
    QToolButton* m_browse;
};

}  // namespace app
