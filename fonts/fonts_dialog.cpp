#include "fonts/fonts_dialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>
#include <system_error>

#include "support/atomic_file.h"
#include "ui/text.h"

namespace fonts {
namespace {

constexpr int kNameColumn = 0;
constexpr int kMappingColumn = 1;

// The kinds a user may pick for a font, in the order the list shows them.
constexpr hebrew::TFontKind kPickableKinds[] = {hebrew::TFontKind::DosHebrew, hebrew::TFontKind::DosEnglish,
                                                hebrew::TFontKind::DosEnglishR, hebrew::TFontKind::Windows};

// The table's refusals name the font in its Windows-1255 bytes inside an
// otherwise ASCII message, so the whole message decodes as Windows-1255.
QString refusalText(const std::invalid_argument& refusal) { return ui::fromWindowsHebrew(refusal.what()); }

QString notStorableText(const QString& text) {
    return QStringLiteral("\"%1\" cannot be stored: font names and mappings are kept in the Windows-1255 "
                          "code page, which lacks some of its characters.")
        .arg(text);
}

// Whether `file` lies directly in `folder`, compared as written.
bool liesIn(const std::filesystem::path& file, const std::filesystem::path& folder) {
    return file.parent_path().lexically_normal() == (folder / "").parent_path().lexically_normal();
}

// The mapping cell's editor: an editable drop-down with the dialog's pick
// list, or the plain text editor where the list is empty. Any typed text is
// kept, also a kind that the list does not offer.
class MappingDelegate : public QStyledItemDelegate {
public:
    MappingDelegate(const TfrmFonts& dialog, QObject* parent) : QStyledItemDelegate(parent), m_dialog(&dialog) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        const QStringList entries = m_dialog->fontmapsGetPickList(index.row());
        if (entries.isEmpty())
            return QStyledItemDelegate::createEditor(parent, option, index);
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMaxVisibleItems(5);
        combo->addItems(entries);
        // Picking an entry is a finished edit; typed text waits for Enter or
        // for the focus to leave.
        connect(combo, &QComboBox::activated, this, [this, combo] {
            emit const_cast<MappingDelegate*>(this)->commitData(combo);
        });
        return combo;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            const QString text = index.data(Qt::EditRole).toString();
            combo->setCurrentIndex(combo->findText(text));
            combo->setEditText(text);
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            model->setData(index, combo->currentText(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    const TfrmFonts* m_dialog;
};

}  // namespace

void FontGrid::commitOpenEditor() {
    if (state() != EditingState)
        return;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void FontGrid::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    auto request = [this, event](void (FontGrid::*signal)()) {
        commitOpenEditor();
        emit(this->*signal)();
        event->accept();
    };
    switch (event->key()) {
    case Qt::Key_Down:
        if (modifiers == Qt::NoModifier && currentRow() == rowCount() - 1)
            return request(&FontGrid::appendRowRequested);
        break;
    case Qt::Key_Insert:
        if (modifiers == Qt::NoModifier)
            return request(&FontGrid::insertRowRequested);
        break;
    case Qt::Key_Delete:
        if (modifiers == Qt::ControlModifier)
            return request(&FontGrid::deleteRowRequested);
        break;
    case Qt::Key_Escape:
        // Taken here so that Escape in the grid does not close the dialog.
        return request(&FontGrid::revertRowRequested);
    default:
        break;
    }
    QTableWidget::keyPressEvent(event);
}

void FontGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    QTableWidget::closeEditor(editor, hint);
    if (hint == QAbstractItemDelegate::RevertModelCache)
        emit revertRowRequested();
}

TfrmFonts::TfrmFonts(hebrew::FontTable& table, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      m_table(&table) {
    buildControls();

    OpenDialog1.Filter = QStringLiteral("Autocad Fonts|*.shx;*.shp|True Type|*.ttf");
    OpenDialog1.DefaultExt = QStringLiteral("*.shx");
    OpenDialog2.Filter = QStringLiteral("Font Definitio Files(*.txt)|*.txt");
    OpenDialog2.DefaultExt = QStringLiteral("txt");
    SaveDialog1.Filter = OpenDialog2.Filter;
    SaveDialog1.DefaultExt = OpenDialog2.DefaultExt;

    // FormCreate.
    if (Edit1->text().isEmpty()) {
        Edit1->setText(ui::fromPath(hebrew::FontTable::defaultDefinitionFile()));
        OpenDialog2.FileName = SaveDialog1.FileName = Edit1->text();
        OpenDialog2.InitialDir = SaveDialog1.InitialDir = ui::fromPath(hebrew::FontTable::UserFolder());
    }
    m_definitionFile = ui::toPath(Edit1->text());
    showDefinitionFile();
    // A missing definition file is the usual first run: the table just starts
    // empty, as FontTable::loadDefault has it. Any other read error is shown.
    std::error_code error;
    if (std::filesystem::exists(m_definitionFile, error))
        readDefinitionFile();
    else
        refreshGrid();
}

TfrmFonts::~TfrmFonts() = default;

void TfrmFonts::buildControls() {
    setWindowTitle(QStringLiteral("Fonts Definition"));
    QFont designFont(QStringLiteral("MS Sans Serif"));
    designFont.setPixelSize(14);
    setFont(designFont);

    auto* panel2 = new QFrame(this);
    panel2->setObjectName(QStringLiteral("Panel2"));
    panel2->setFixedHeight(41);
    auto* label1 = new QLabel(QStringLiteral("File"), panel2);
    label1->setObjectName(QStringLiteral("Label1"));
    Edit1 = new QLineEdit(panel2);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setFixedWidth(233);
    label1->setBuddy(Edit1);
    SpeedButton1 = new QToolButton(panel2);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    SpeedButton1->setToolTip(QStringLiteral("Load  new Font Defenition File"));
    SpeedButton2 = new QToolButton(panel2);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setAutoRaise(true);
    SpeedButton2->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    SpeedButton2->setToolTip(QStringLiteral("Save  Font Defenition File As .."));
    auto* fileRow = new QHBoxLayout(panel2);
    fileRow->setContentsMargins(8, 4, 8, 4);
    fileRow->addWidget(label1);
    fileRow->addWidget(Edit1);
    fileRow->addWidget(SpeedButton1);
    fileRow->addWidget(SpeedButton2);
    fileRow->addStretch();

    m_grid = new FontGrid(0, 2, this);
    fontmaps = m_grid;
    fontmaps->setObjectName(QStringLiteral("fontmaps"));
    fontmaps->setHorizontalHeaderLabels({QStringLiteral("Fonts"), QStringLiteral("Mapping")});
    fontmaps->setColumnWidth(kNameColumn, 250);
    fontmaps->setColumnWidth(kMappingColumn, 125);
    fontmaps->verticalHeader()->hide();
    fontmaps->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    fontmaps->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fontmaps->setSelectionMode(QAbstractItemView::SingleSelection);
    fontmaps->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                              QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    fontmaps->setItemDelegateForColumn(kMappingColumn, new MappingDelegate(*this, fontmaps));

    // The file that closing writes, in full: Edit1 is too narrow for most paths.
    lblDefinitionFile = new QLabel(this);
    lblDefinitionFile->setObjectName(QStringLiteral("lblDefinitionFile"));
    lblDefinitionFile->setContentsMargins(8, 0, 8, 4);
    lblDefinitionFile->setWordWrap(true);
    lblDefinitionFile->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* panel1 = new QFrame(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setFixedHeight(50);
    auto button = [panel1](const char* name, const QString& text) {
        auto* created = new QPushButton(text, panel1);
        created->setObjectName(QLatin1String(name));
        created->setAutoDefault(false);
        // Narrower than the style's preferred width when the window is at its
        // designed size, but never narrower than the caption.
        created->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        created->setMinimumWidth(created->fontMetrics().horizontalAdvance(text) + 12);
        return created;
    };
    btnNew = button("btnNew", QStringLiteral("&New"));
    Button1 = button("Button1", QStringLiteral("&New from file"));
    btnDelete = button("btnDelete", QStringLiteral("&Delete"));
    btnOk = button("btnOk", QStringLiteral("OK"));
    btnOk->setDefault(true);
    btnCancel = button("btnCancel", QStringLiteral("Cancel"));
    auto* commandRow = new QHBoxLayout(panel1);
    commandRow->setContentsMargins(8, 4, 8, 4);
    for (QPushButton* command : {btnNew, Button1, btnDelete})
        commandRow->addWidget(command);
    commandRow->addStretch();
    commandRow->addWidget(btnOk);
    commandRow->addWidget(btnCancel);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(panel2);
    column->addWidget(lblDefinitionFile);
    auto* gridFrame = new QHBoxLayout;
    gridFrame->setContentsMargins(8, 0, 8, 0);
    gridFrame->addWidget(fontmaps);
    column->addLayout(gridFrame, 1);
    column->addWidget(panel1);

    resize(416, 407);
    move(411, 173);

    connect(btnNew, &QPushButton::clicked, this, &TfrmFonts::btnNewClick);
    connect(Button1, &QPushButton::clicked, this, &TfrmFonts::Button1Click);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmFonts::btnDeleteClick);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(SpeedButton1, &QToolButton::clicked, this, &TfrmFonts::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TfrmFonts::SpeedButton2Click);
    connect(fontmaps, &QTableWidget::itemChanged, this, &TfrmFonts::fontmapsItemChanged);
    connect(fontmaps, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int previousRow, int) {
                if (row != previousRow)
                    rememberCurrentRow();
            });
    connect(m_grid, &FontGrid::appendRowRequested, this, &TfrmFonts::appendEmptyRow);
    connect(m_grid, &FontGrid::insertRowRequested, this, &TfrmFonts::insertEmptyRow);
    connect(m_grid, &FontGrid::deleteRowRequested, this, &TfrmFonts::btnDeleteClick);
    connect(m_grid, &FontGrid::revertRowRequested, this, &TfrmFonts::revertCurrentRow);
}

void TfrmFonts::Readfonts() { readDefinitionFile(); }

bool TfrmFonts::readDefinitionFile() {
    bool loaded = true;
    try {
        m_table->Readfonts(m_definitionFile);
    } catch (const support::OpenError& error) {
        showError(ui::fromUtf8(error.what()));
        loaded = false;
    } catch (const std::out_of_range& error) {  // an empty file
        showError(ui::fromUtf8(error.what()));
        loaded = false;
    }
    refreshGrid();
    rememberCurrentRow();
    return loaded;
}

void TfrmFonts::refreshGrid() {
    QScopedValueRollback<bool> ownChanges(m_refreshing, true);
    const std::vector<hebrew::FontRow>& rows = m_table->rows();
    fontmaps->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < fontmaps->rowCount(); ++row) {
        const hebrew::FontRow& values = rows[static_cast<std::size_t>(row)];
        for (int column : {kNameColumn, kMappingColumn}) {
            const QString text = ui::fromWindowsHebrew(column == kNameColumn ? values.name : values.mapping);
            QTableWidgetItem* item = fontmaps->item(row, column);
            if (!item)
                fontmaps->setItem(row, column, new QTableWidgetItem(text));
            else if (item->text() != text)
                item->setText(text);
        }
    }
}

QStringList TfrmFonts::fontmapsGetPickList(int row) const {
    const std::vector<hebrew::FontRow>& rows = m_table->rows();
    if (row < 0 || static_cast<std::size_t>(row) >= rows.size() || rows[static_cast<std::size_t>(row)].name.empty())
        return {};
    QStringList entries;
    for (hebrew::TFontKind kind : kPickableKinds)
        entries << ui::fromUtf8(hebrew::FontKindName(kind));
    return entries;
}

void TfrmFonts::fontmapsItemChanged(QTableWidgetItem* item) {
    if (m_refreshing)
        return;
    const int row = item->row();
    const QString text = item->text();
    if (static_cast<std::size_t>(row) >= m_table->rows().size()) {
        refreshGrid();
        return;
    }
    // The message comes before the grid shows the table's value again, so
    // that an editor losing its focus to the message box commits nothing new.
    if (!ui::fitsWindowsHebrew(text)) {
        showError(notStorableText(text));
    } else {
        try {
            if (item->column() == kNameColumn)
                m_table->setName(static_cast<std::size_t>(row), ui::toWindowsHebrew(text));
            else
                m_table->setMapping(static_cast<std::size_t>(row), ui::toWindowsHebrew(text));
        } catch (const std::invalid_argument& refusal) {
            showError(refusalText(refusal));
        }
    }
    refreshGrid();
}

void TfrmFonts::btnNewClick() {
    m_grid->commitOpenEditor();
    const int row = fontmaps->currentRow();
    const std::vector<hebrew::FontRow>& rows = m_table->rows();
    const bool currentIsEmpty = row >= 0 && static_cast<std::size_t>(row) < rows.size() &&
                                rows[static_cast<std::size_t>(row)] == hebrew::FontRow{};
    if (!currentIsEmpty) {
        m_table->appendRow({});
        refreshGrid();
    }
    fontmaps->setFocus();
}

// The chosen font takes the current row's place when that row is empty (no
// name, no mapping), so that "&New" followed by "&New from file" leaves one
// row; otherwise it is inserted before the current row, or appended when no
// row is current. The current row then points at the font's row.
void TfrmFonts::Button1Click() {
    m_grid->commitOpenEditor();
    if (!OpenDialog1.Execute(this))
        return;
    const QString name = QFileInfo(OpenDialog1.FileName).completeBaseName();
    if (!ui::fitsWindowsHebrew(name)) {
        showError(notStorableText(name));
        return;
    }
    const std::vector<hebrew::FontRow>& rows = m_table->rows();
    int row = fontmaps->currentRow();
    try {
        if (row >= 0 && static_cast<std::size_t>(row) < rows.size() &&
            rows[static_cast<std::size_t>(row)] == hebrew::FontRow{}) {
            m_table->setName(static_cast<std::size_t>(row), ui::toWindowsHebrew(name));
        } else {
            if (row < 0)
                row = static_cast<int>(rows.size());
            m_table->insertRow(static_cast<std::size_t>(row), {ui::toWindowsHebrew(name), {}});
        }
    } catch (const std::invalid_argument& refusal) {
        showError(refusalText(refusal));
        return;
    }
    refreshGrid();
    makeCurrent(row);
}

void TfrmFonts::btnDeleteClick() {
    m_grid->commitOpenEditor();
    const int row = fontmaps->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= m_table->rows().size())
        return;
    m_table->deleteRow(static_cast<std::size_t>(row));
    refreshGrid();
    // The row now current holds other values, even where its index stayed.
    rememberCurrentRow();
}

void TfrmFonts::SpeedButton1Click() {
    m_grid->commitOpenEditor();
    if (!OpenDialog2.Execute(this))
        return;
    // Bound to the chosen file even when it cannot be read, so that closing
    // writes the shown rows there.
    m_definitionFile = ui::toPath(OpenDialog2.FileName);
    showDefinitionFile();
    if (!readDefinitionFile())
        return;
    Edit1->setText(OpenDialog2.FileName);
    OpenDialog2.InitialDir = QFileInfo(OpenDialog2.FileName).path();
}

void TfrmFonts::SpeedButton2Click() {
    m_grid->commitOpenEditor();
    if (!SaveDialog1.Execute(this))
        return;
    m_definitionFile = ui::toPath(SaveDialog1.FileName);
    try {
        m_table->write(m_definitionFile, /*skipEmptyNames=*/false);
    } catch (const support::WriteError& error) {
        showError(ui::fromUtf8(error.what()));
        return;
    } catch (const support::OpenError& error) {  // the file's old content could not be read
        showError(ui::fromUtf8(error.what()));
        return;
    }
    showDefinitionFile();
    Edit1->setText(SaveDialog1.FileName);
    OpenDialog2.InitialDir = QFileInfo(SaveDialog1.FileName).path();
}

void TfrmFonts::showDefinitionFile() {
    const QString file = ui::fromPath(m_definitionFile);
    std::error_code error;
    const bool exists = std::filesystem::exists(m_definitionFile, error);
    lblDefinitionFile->setText(QStringLiteral("Editing ") + file +
                               (exists ? QString() : QStringLiteral(" (not written yet)")));
    lblDefinitionFile->setToolTip(file);
}

// Every way of closing writes the table, Cancel included. A failure is shown
// rather than swallowed so that edits never vanish silently; the dialog
// closes all the same.
void TfrmFonts::done(int result) {
    m_grid->commitOpenEditor();
    // On a first run the per-user folder may not exist yet.
    const std::filesystem::path userFolder = hebrew::FontTable::UserFolder();
    std::error_code ignored;
    if (liesIn(m_definitionFile, userFolder) && !std::filesystem::exists(userFolder, ignored))
        std::filesystem::create_directories(userFolder, ignored);  // a failure shows up as the write error
    try {
        m_table->write(m_definitionFile, /*skipEmptyNames=*/true);
    } catch (const support::WriteError& error) {
        showError(ui::fromUtf8(error.what()));
    } catch (const support::OpenError& error) {
        showError(ui::fromUtf8(error.what()));
    }
    QDialog::done(result);
}

void TfrmFonts::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The table may have changed while hidden (the remap dialog's "Apply to
    // Current Session").
    refreshGrid();
    rememberCurrentRow();
    showDefinitionFile();
}

void TfrmFonts::appendEmptyRow() {
    m_table->appendRow({});
    refreshGrid();
    makeCurrent(fontmaps->rowCount() - 1);
}

void TfrmFonts::insertEmptyRow() {
    const int row = std::max(fontmaps->currentRow(), 0);
    m_table->insertRow(static_cast<std::size_t>(row), {});
    refreshGrid();
    makeCurrent(row);
}

void TfrmFonts::revertCurrentRow() {
    const int row = fontmaps->currentRow();
    if (row < 0 || row != m_rememberedRow || static_cast<std::size_t>(row) >= m_table->rows().size())
        return;
    try {
        m_table->setName(static_cast<std::size_t>(row), m_rememberedValues.name);
        m_table->setMapping(static_cast<std::size_t>(row), m_rememberedValues.mapping);
    } catch (const std::invalid_argument& refusal) {
        showError(refusalText(refusal));
    }
    refreshGrid();
}

void TfrmFonts::rememberCurrentRow() {
    const int row = fontmaps->currentRow();
    const std::vector<hebrew::FontRow>& rows = m_table->rows();
    const bool valid = row >= 0 && static_cast<std::size_t>(row) < rows.size();
    m_rememberedRow = valid ? row : -1;
    m_rememberedValues = valid ? rows[static_cast<std::size_t>(row)] : hebrew::FontRow{};
}

void TfrmFonts::makeCurrent(int row) {
    if (row < 0 || row >= fontmaps->rowCount())
        return;
    fontmaps->setCurrentCell(row, std::max(fontmaps->currentColumn(), 0));
    rememberCurrentRow();
}

void TfrmFonts::showError(const QString& text) { ui::showMessage(this, {ui::MessageKind::Error, text, {}}); }

}  // namespace fonts
