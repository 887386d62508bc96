#include "remap/remap_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <exception>
#include <stdexcept>

#include "fonts/fonts_dialog.h"
#include "support/Hashes.h"
#include "support/paths.h"
#include "ui/prompts.h"
#include "ui/text.h"

namespace remap {
namespace {

constexpr int kColumnNumber = 0;
constexpr int kColumnText = 3;
constexpr int kElementRole = Qt::UserRole;

// Blanks and control characters (bytes up to 0x20) off both ends.
std::string_view trimmedText(std::string_view text) {
    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Switches a widget's painting off for a bracket of changes and back to what
// it was, also when the changes end in an exception.
class UpdateBracket {
public:
    explicit UpdateBracket(QWidget* widget) : m_widget(widget), m_wasEnabled(widget->updatesEnabled()) {
        m_widget->setUpdatesEnabled(false);
    }
    ~UpdateBracket() { m_widget->setUpdatesEnabled(m_wasEnabled); }
    UpdateBracket(const UpdateBracket&) = delete;
    UpdateBracket& operator=(const UpdateBracket&) = delete;

private:
    QWidget* m_widget;
    bool m_wasEnabled;
};

// The hourglass while a style is selected; nested selections stack.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

filter::telement* elementOf(const QTreeWidgetItem* item) {
    return static_cast<filter::telement*>(item->data(kColumnNumber, kElementRole).value<void*>());
}

}  // namespace

QString formatCoordinate(double value, const QLocale& locale) {
    constexpr int kPrecision = 8;  // significant digits
    constexpr int kDecimals = 2;
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");

    // The exact decimal expansion (no double has more than 1074 fractional
    // digits), so that halves round away from zero as the decimal digits
    // say, not as the binary printing routine's tie rule would.
    std::array<char, 1500> buffer{};
    const auto printed = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                       std::chars_format::fixed, 1100);
    if (printed.ec != std::errc())
        throw std::runtime_error("A coordinate could not be formatted");
    const std::string_view text(buffer.data(), static_cast<std::size_t>(printed.ptr - buffer.data()));
    const std::size_t point = std::min(text.find('.'), text.size());
    std::string all(text.substr(0, point));
    if (point < text.size())
        all.append(text.substr(point + 1));

    // value = 0.digits x 10^exponent
    const std::size_t first = all.find_first_not_of('0');
    std::string digits = first == std::string::npos ? std::string() : all.substr(first);
    int exponent = first == std::string::npos ? 0 : static_cast<int>(point) - static_cast<int>(first);

    const int keep = std::min(kPrecision, exponent + kDecimals);
    if (keep < 0) {
        digits.clear();
    } else if (static_cast<std::size_t>(keep) < digits.size()) {
        const bool up = digits[static_cast<std::size_t>(keep)] >= '5';
        digits.resize(static_cast<std::size_t>(keep));
        if (up) {
            int i = keep - 1;
            while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9')
                digits[static_cast<std::size_t>(i--)] = '0';
            if (i >= 0) {
                ++digits[static_cast<std::size_t>(i)];
            } else {
                digits.insert(digits.begin(), '1');
                ++exponent;
            }
        }
    }
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();

    const QString separator = locale.decimalPoint();
    if (digits.empty())
        return QStringLiteral("0") + separator + QString(kDecimals, QLatin1Char('0'));

    auto digitAt = [&](int k) {
        return k >= 0 && static_cast<std::size_t>(k) < digits.size() ? digits[static_cast<std::size_t>(k)] : '0';
    };
    QString result;
    if (value < 0)
        result += QLatin1Char('-');
    if (exponent > kPrecision) {
        // Too many integer digits for fixed notation: d.dddddddE+XX.
        result += QLatin1Char(digitAt(0));
        result += separator;
        for (int k = 1; k < kPrecision; ++k)
            result += QLatin1Char(digitAt(k));
        const int power = exponent - 1;
        result += power < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
        result += QStringLiteral("%1").arg(std::abs(power), 2, 10, QLatin1Char('0'));
        return result;
    }
    if (exponent <= 0)
        result += QLatin1Char('0');
    for (int k = 0; k < exponent; ++k)
        result += QLatin1Char(digitAt(k));
    result += separator;
    for (int j = 0; j < kDecimals; ++j)
        result += QLatin1Char(digitAt(exponent + j));
    return result;
}

TfrmRemap::TfrmRemap(hebrew::FontTable& table, fonts::TfrmFonts& fonts, const MainOptions& options,
                     QWidget* parent)
    : QDialog(parent), m_table(&table), m_fonts(&fonts), m_options(&options), m_converter(table) {
    setObjectName(QStringLiteral("frmRemap"));
    setWindowTitle(QStringLiteral(" Remaping Text Style"));
    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPixelSize(13);
    setFont(formFont);
    resize(919, 540);

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->setHandleWidth(9);
    splitter->setChildrenCollapsible(false);
    outer->addWidget(splitter);

    ListBox1 = new QListWidget(splitter);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);

    auto* client = new QWidget(splitter);
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    splitter->addWidget(ListBox1);
    splitter->addWidget(client);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({209, 919 - 209 - 9});

    // ToolBar2: the style's kind, font and the table commands.
    auto* toolBar2 = new QWidget(client);
    toolBar2->setObjectName(QStringLiteral("ToolBar2"));
    toolBar2->setFixedHeight(128);
    auto* top = new QGridLayout(toolBar2);
    // Three rows must fit the bar's 128 pixels.
    top->setContentsMargins(8, 4, 8, 4);
    top->setVerticalSpacing(4);

    RadioGroup1 = new QGroupBox(QStringLiteral("Kind of Font"), toolBar2);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    auto* kindsLayout = new QGridLayout(RadioGroup1);
    kindsLayout->setContentsMargins(8, 2, 8, 2);
    m_kinds = new QButtonGroup(this);
    m_kinds->setExclusive(true);
    for (hebrew::TFontKind kind : hebrew::kAllFontKinds) {
        const std::string_view name = hebrew::FontKindName(kind);
        auto* button = new QRadioButton(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())),
                                        RadioGroup1);
        const int id = static_cast<int>(kind);
        m_kinds->addButton(button, id);
        kindsLayout->addWidget(button, 0, id);  // five columns, one row
    }
    top->addWidget(RadioGroup1, 0, 0, 1, 5);

    auto* label1 = new QLabel(QStringLiteral("Font"), toolBar2);
    label1->setObjectName(QStringLiteral("Label1"));
    Edit1 = new QLineEdit(toolBar2);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setReadOnly(true);
    label1->setBuddy(Edit1);
    btsavetable = new QPushButton(QStringLiteral("Apply to Current Session"), toolBar2);
    btsavetable->setObjectName(QStringLiteral("btsavetable"));
    btsavetable->setToolTip(QStringLiteral("Apply  Selected Kind of Font to the current  session") + QChar(0x05E5) +
                            QStringLiteral("\r\nDoes not Save changes to the Font file."));
    cbxback = new QCheckBox(QStringLiteral("Backward"), toolBar2);
    cbxback->setObjectName(QStringLiteral("cbxback"));
    top->addWidget(label1, 1, 0);
    top->addWidget(Edit1, 1, 1, 1, 2);
    top->addWidget(btsavetable, 1, 3);
    top->addWidget(cbxback, 1, 4);

    Button1 = new QPushButton(QStringLiteral("Show/Load Font Table"), toolBar2);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setToolTip(QStringLiteral("Show or Load Font Table"));
    CheckBox1 = new QCheckBox(QStringLiteral("Excclude Duplicates"), toolBar2);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    Button2 = new QPushButton(QStringLiteral("Save Font Table As.."), toolBar2);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setToolTip(QStringLiteral("Save Current Font Table  to a New.Alternative Font  Table file"));
    top->addWidget(Button1, 2, 1);
    top->addWidget(CheckBox1, 2, 2);
    top->addWidget(Button2, 2, 3);
    top->setColumnStretch(2, 1);
    clientLayout->addWidget(toolBar2);

    // ListView1: one row per listed element.
    ListView1 = new QTreeWidget(client);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setLayoutDirection(Qt::LeftToRight);
    ListView1->setColumnCount(4);
    ListView1->setHeaderLabels(
        {QStringLiteral("#"), QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Text")});
    ListView1->headerItem()->setTextAlignment(kColumnText, Qt::AlignRight | Qt::AlignVCenter);
    ListView1->header()->setMinimumSectionSize(50);
    ListView1->header()->setStretchLastSection(true);
    ListView1->setColumnWidth(0, 60);
    ListView1->setColumnWidth(1, 100);
    ListView1->setColumnWidth(2, 100);
    clientLayout->addWidget(ListView1, 1);

    // ToolBar1: OK and the right-to-left rendering of the selected element.
    auto* toolBar1 = new QWidget(client);
    toolBar1->setObjectName(QStringLiteral("ToolBar1"));
    toolBar1->setFixedHeight(52);
    auto* bottom = new QHBoxLayout(toolBar1);
    BitBtn1 = new QPushButton(QStringLiteral("OK"), toolBar1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    Edit2 = new QLineEdit(toolBar1);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setReadOnly(true);
    Edit2->setLayoutDirection(Qt::RightToLeft);
    Edit2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Edit2->setFixedWidth(561);
    bottom->addWidget(BitBtn1);
    bottom->addWidget(Edit2);
    bottom->addStretch(1);
    clientLayout->addWidget(toolBar1);

    // Only the user's actions run the handlers; setting a control from a
    // style record does not.
    connect(ListBox1, &QListWidget::itemSelectionChanged, this, &TfrmRemap::ListBox1Click);
    connect(m_kinds, &QButtonGroup::idClicked, this, [this](int) { RadioGroup1Click(); });
    connect(cbxback, &QCheckBox::clicked, this, [this](bool) { bbackClick(); });
    connect(CheckBox1, &QCheckBox::clicked, this, [this](bool) { CheckBox1Click(); });
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmRemap::listViewSelectionChanged);
    connect(btsavetable, &QPushButton::clicked, this, [this] { btsavetableClick(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

TfrmRemap::~TfrmRemap() {
    // The children outlive this part of the object: their signals must not
    // reach the handlers any more.
    disconnect(ListBox1, nullptr, this, nullptr);
    disconnect(ListView1->selectionModel(), nullptr, this, nullptr);
}

void TfrmRemap::Clear() {
    // A fill running below us (events are processed while it lists) must
    // stop: the records it lists are freed once the dialog has closed.
    ++m_fillGeneration;
    m_pendingFill.reset();
    {
        const QSignalBlocker blocker(ListBox1);
        ListBox1->clear();
    }
    m_lines.clear();
    removeRows();
    Edit1->clear();
    Edit2->clear();
}

bool TfrmRemap::Contains(const std::string& name) const {
    return std::any_of(m_lines.begin(), m_lines.end(),
                       [&](const auto& line) { return support::equalsIgnoringAsciiCase(line.first, name); });
}

void TfrmRemap::Add(const std::string& name, filter::ttextstyle* style) {
    auto at = std::lower_bound(m_lines.begin(), m_lines.end(), name, [](const auto& line, const std::string& n) {
        return support::compareIgnoringAsciiCase(line.first, n) < 0;
    });
    const int row = static_cast<int>(at - m_lines.begin());
    m_lines.insert(at, {name, style});
    const QSignalBlocker blocker(ListBox1);
    ListBox1->insertItem(row, ui::fromWindowsHebrew(name));
}

filter::ttextstyle* TfrmRemap::styleAt(int line) const {
    if (line < 0 || static_cast<std::size_t>(line) >= m_lines.size())
        throw std::out_of_range("List index out of bounds (" + std::to_string(line) + ")");
    return m_lines[static_cast<std::size_t>(line)].second;
}

int TfrmRemap::RadioGroup1ItemIndex() const { return m_kinds->checkedId(); }

void TfrmRemap::setRadioGroup1ItemIndex(int index) {
    if (QAbstractButton* button = m_kinds->button(index)) {
        button->setChecked(true);
        return;
    }
    // No item: an exclusive group cannot uncheck its last button.
    if (QAbstractButton* checked = m_kinds->checkedButton()) {
        m_kinds->setExclusive(false);
        checked->setChecked(false);
        m_kinds->setExclusive(true);
    }
}

int TfrmRemap::selectedLine() const {
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    return selected.isEmpty() ? -1 : ListBox1->row(selected.first());
}

std::string TfrmRemap::convertForListing(std::string_view text) const { return m_converter.ConvertForLtr(text); }

void TfrmRemap::FillElements(const Elements& elements, hebrew::TFontKind kind, bool backward) {
    m_pendingFill = FillRequest{&elements, kind, backward};
    if (m_filling)
        return;  // the running fill stops at its next element and runs this one
    m_filling = true;
    struct Reset {
        TfrmRemap* dialog;
        ~Reset() {
            dialog->m_filling = false;
            dialog->m_pendingFill.reset();
        }
    } reset{this};
    while (m_pendingFill) {
        const FillRequest request = *m_pendingFill;
        m_pendingFill.reset();
        fillOnce(request);
    }
}

void TfrmRemap::fillOnce(const FillRequest& request) {
    const Elements& elements = *request.elements;
    const bool excludeDuplicates = CheckBox1->isChecked();
    std::optional<support::TIntegerHash> listed;
    if (excludeDuplicates)
        listed.emplace();
    m_converter.CurrentKind = request.kind;
    m_converter.CurrentBackward = request.backward;

    // Conversion pass: ConvertedText and Marked of every element.
    int p = 0;
    for (const auto& element : elements) {
        ++p;
        std::string s(trimmedText(element->Text));
        if (s.empty()) {
            element->ConvertedText.clear();
            continue;
        }
        bool marked = false;
        try {
            if (m_options->AutoCorrect()) {
                marked = !hebrew::Converter::TextFitsKind(request.kind, s);
                if (marked)
                    s = hebrew::Converter::RepairLetters(request.kind, s);
            }
            s = convertForListing(s);
        } catch (const std::exception&) {
            // Only this element is affected: it shows its number, checked.
            s = std::to_string(p);
            marked = true;
        }
        element->ConvertedText = marked && m_options->KeepWindowsMapping() ? element->Text : s;
        element->Marked = marked;
    }

    {
        const UpdateBracket bracket(ListView1);
        removeRows();
    }

    // Listing pass. Events are processed before every element, so the window
    // stays responsive; a new request or Clear() ends this listing early.
    const UpdateBracket bracket(ListView1);
    const std::uint64_t generation = m_fillGeneration;
    const QLocale locale;
    p = 0;
    for (const auto& element : elements) {
        ++p;
        QCoreApplication::processEvents();
        if (m_pendingFill || generation != m_fillGeneration)
            break;
        if (element->ConvertedText.empty())
            continue;
        if (listed) {
            if (listed->Exists(element->ConvertedText))
                continue;
            listed->SetValue(element->ConvertedText, 1);
        }
        auto* item = new QTreeWidgetItem;
        item->setText(0, QString::number(p));
        item->setText(1, formatCoordinate(element->X, locale));
        item->setText(2, formatCoordinate(element->Y, locale));
        item->setText(kColumnText, ui::fromWindowsHebrew(element->ConvertedText));
        item->setTextAlignment(kColumnText, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(kColumnNumber, kElementRole, QVariant::fromValue(static_cast<void*>(element.get())));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(kColumnNumber, element->Marked ? Qt::Checked : Qt::Unchecked);
        ListView1->addTopLevelItem(item);
    }
}

void TfrmRemap::removeRows() {
    m_removingRows = true;
    ListView1->clear();
    m_removingRows = false;
}

void TfrmRemap::selectStyle() {
    const WaitCursor cursor;
    try {
        const int line = selectedLine();
        filter::ttextstyle* style = styleAt(line < 0 ? 0 : line);
        if (!style)
            return;
        setRadioGroup1ItemIndex(static_cast<int>(style->Kind));
        cbxback->setChecked(style->Backward);
        Edit1->setText(ui::fromWindowsHebrew(style->FontFile));
        m_converter.CurrentKind = style->Kind;
        m_converter.CurrentBackward = style->Backward;
        FillElements(style->Elements, style->Kind, style->Backward);
    } catch (const std::exception&) {
        // An empty style list, for instance: the element list keeps what it showed.
    }
}

void TfrmRemap::FormActivate() { selectStyle(); }

void TfrmRemap::ListBox1Click() { selectStyle(); }

void TfrmRemap::CheckBox1Click() { selectStyle(); }

void TfrmRemap::RadioGroup1Click() {
    const int line = selectedLine();
    if (line < 0)
        return;
    filter::ttextstyle* style = styleAt(line);
    style->Kind = static_cast<hebrew::TFontKind>(RadioGroup1ItemIndex());
    style->Backward = cbxback->isChecked();
    FillElements(style->Elements, style->Kind, style->Backward);
}

void TfrmRemap::bbackClick() {
    const int line = selectedLine();
    if (line < 0)
        return;
    filter::ttextstyle* style = styleAt(line);
    style->Backward = cbxback->isChecked();
    FillElements(style->Elements, style->Kind, style->Backward);
}

void TfrmRemap::listViewSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    if (m_removingRows)
        return;
    // Like the list view's own notifications: the rows left first, then the
    // rows chosen, so that Edit2 ends showing a newly selected row.
    for (const QItemSelection* change : {&deselected, &selected})
        for (const QModelIndex& index : change->indexes())
            if (index.column() == kColumnNumber)
                ListView1SelectItem(ListView1->itemFromIndex(index));
}

void TfrmRemap::ListView1SelectItem(QTreeWidgetItem* item) {
    if (!item)
        return;
    const filter::telement* element = elementOf(item);
    if (!element)
        return;
    Edit2->setText(ui::fromWindowsHebrew(m_converter.ConvertForRtl(trimmedText(element->Text))));
}

void TfrmRemap::btsavetableClick() {
    try {
        // An empty radio group passes the byte of -1, which the table maps to "TrueType".
        m_table->SetFontKind(ui::toWindowsHebrew(Edit1->text()), static_cast<std::uint8_t>(RadioGroup1ItemIndex()));
    } catch (const std::exception& error) {
        ui::showMessage(this, {ui::MessageKind::Error, ui::fromUtf8(error.what()), {}});
    }
}

void TfrmRemap::Button1Click() { m_fonts->exec(); }

void TfrmRemap::Button2Click() {
    try {
        ui::FileDialog& dialog = m_fonts->SaveDialog1;
        if (!dialog.Execute(this))
            return;
        const QString chosen = dialog.FileName;
        // Section "Fonts" is not erased first: keys of the file that the
        // table lacks stay. The table stays bound to its own definition file.
        m_table->write(ui::toPath(chosen), /*skipEmptyNames=*/false, /*eraseSection=*/false);
        m_fonts->Edit1->setText(QFileInfo(chosen).absoluteFilePath());
    } catch (const std::exception& error) {
        ui::showMessage(this, {ui::MessageKind::Error, ui::fromUtf8(error.what()), {}});
    }
}

void TfrmRemap::done(int result) {
    Clear();
    QDialog::done(result);
}

bool TfrmRemap::event(QEvent* event) {
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return handled;
}

}  // namespace remap
