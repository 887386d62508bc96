#pragma once
// The "Fonts Definition" dialog: a view over the program's one font table
// (hebrew::FontTable), in which the user edits font names and their kinds,
// loads another definition file and saves the table under another name.

#include <QAbstractItemDelegate>
#include <QDialog>
#include <QLabel>
#include <QStringList>
#include <QTableWidget>
#include <filesystem>

#include "hebrew/fntdef.h"
#include "ui/prompts.h"

class QLineEdit;
class QPushButton;
class QToolButton;

namespace fonts {

// The grid's own keys, turned into requests that the dialog carries out on
// the font table: Down on the last row, Insert, Ctrl+Delete and Escape. An
// open cell editor is committed before a request, so the request sees the
// table as the user left it.
class FontGrid : public QTableWidget {
    Q_OBJECT
public:
    using QTableWidget::QTableWidget;

    // Hands an open cell editor's text to the table and closes the editor.
    void commitOpenEditor();

signals:
    void appendRowRequested();
    void insertRowRequested();
    void deleteRowRequested();
    void revertRowRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Escape in a cell editor drops the cell's edit and, like Escape in the
    // grid, also undoes the row's other edits.
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
};

class TfrmFonts : public QDialog {
    Q_OBJECT
public:
    // Loads the default definition file of the per-user folder into `table`
    // (FormCreate); a load error is shown and the table stays empty.
    explicit TfrmFonts(hebrew::FontTable& table, QWidget* parent = nullptr);
    ~TfrmFonts() override;

    hebrew::FontTable& table() { return *m_table; }
    // The file that closing the dialog writes; changed by load and save-as.
    const std::filesystem::path& DefinitionFile() const { return m_definitionFile; }
    // Loads the table from DefinitionFile and shows it.
    void Readfonts();
    // Shows the table's rows anew (the dialog also does so whenever it is shown).
    void refreshGrid();
    // The drop-down entries of a row's mapping cell: the four kinds a user
    // may pick ("TrueType" is not offered), none for a row without a name.
    QStringList fontmapsGetPickList(int row) const;

    // Controls, by their designer names.
    QLineEdit* Edit1 = nullptr;
    QLabel* lblDefinitionFile = nullptr;  // the file the dialog edits, DefinitionFile
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QTableWidget* fontmaps = nullptr;  // column 0 "Fonts", column 1 "Mapping"
    QPushButton* btnNew = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    ui::FileDialog OpenDialog1{ui::FileDialog::Mode::Open};  // a font file
    ui::FileDialog OpenDialog2{ui::FileDialog::Mode::Open};  // a definition file to load
    ui::FileDialog SaveDialog1{ui::FileDialog::Mode::Save};  // a definition file to save to

public slots:
    void btnNewClick();
    void Button1Click();
    void btnDeleteClick();
    void SpeedButton1Click();
    void SpeedButton2Click();

protected:
    // FormClose: OK, Cancel and the close box all write the table.
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    // Readfonts; false (after showing the error) when the file could not be read.
    bool readDefinitionFile();
    // The grid's edits and keys, each one call on the table.
    void fontmapsItemChanged(QTableWidgetItem* item);
    void appendEmptyRow();
    void insertEmptyRow();
    void revertCurrentRow();
    // Remembers the current row's values for Escape.
    void rememberCurrentRow();
    void makeCurrent(int row);
    void showError(const QString& text);
    // Shows DefinitionFile, and whether it exists yet.
    void showDefinitionFile();

    hebrew::FontTable* m_table;
    std::filesystem::path m_definitionFile;
    FontGrid* m_grid = nullptr;  // the same widget as fontmaps
    bool m_refreshing = false;   // the grid's own changes are no user edits
    int m_rememberedRow = -1;
    hebrew::FontRow m_rememberedValues;
};

}  // namespace fonts
