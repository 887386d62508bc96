#pragma once
// " Remaping Text Style": after a collecting pass, shows per text style how
// its texts would convert under a chosen font kind and the Backward setting,
// and carries a chosen kind into the font table of the running program or a
// new font table file. It converts nothing in the drawing.

#include <QDialog>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "filter/filterclass.h"
#include "hebrew/converter.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QItemSelection;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace fonts {
class TfrmFonts;
}

namespace remap {

// The main window's options that the dialog reads while it fills.
class MainOptions {
public:
    virtual ~MainOptions() = default;
    virtual bool AutoCorrect() const = 0;         // "Automatic Correction"
    virtual bool KeepWindowsMapping() const = 0;  // "Keep Windows mapping"
};

// A coordinate as the "X" and "Y" columns show it: fixed notation with two
// decimals after rounding to 8 significant digits, in the locale's form
// (1234.5 gives "1234.50" or "1234,50").
QString formatCoordinate(double value, const QLocale& locale);

class TfrmRemap : public QDialog, public filter::StyleList {
    Q_OBJECT
public:
    TfrmRemap(hebrew::FontTable& table, fonts::TfrmFonts& fonts, const MainOptions& options,
              QWidget* parent = nullptr);
    ~TfrmRemap() override;

    // The style list that a drawing pass fills (ListBox1): sorted, searched
    // ignoring case; the records belong to the filter.
    void Clear() override;
    bool Contains(const std::string& name) const override;
    void Add(const std::string& name, filter::ttextstyle* style) override;
    filter::ttextstyle* styleAt(int line) const;

    using Elements = std::vector<std::unique_ptr<filter::telement>>;
    void FillElements(const Elements& elements, hebrew::TFontKind kind, bool backward);

    // The selected kind of "Kind of Font" (the TFontKind value), or -1.
    int RadioGroup1ItemIndex() const;
    void setRadioGroup1ItemIndex(int index);  // without running RadioGroup1Click

    // Controls, by their designer names.
    QListWidget* ListBox1 = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* btsavetable = nullptr;
    QCheckBox* cbxback = nullptr;
    QPushButton* Button1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QPushButton* Button2 = nullptr;
    QTreeWidget* ListView1 = nullptr;  // columns "#", "X", "Y", "Text"
    QPushButton* BitBtn1 = nullptr;
    QLineEdit* Edit2 = nullptr;

public slots:
    void FormActivate();
    void ListBox1Click();
    void RadioGroup1Click();
    void bbackClick();
    void CheckBox1Click();
    void ListView1SelectItem(QTreeWidgetItem* item);
    void btsavetableClick();
    void Button1Click();
    void Button2Click();
    void btsaveClick() {}  // bound to no control

protected:
    void done(int result) override;  // FormClose: empties the style list
    bool event(QEvent* event) override;

private:
    struct FillRequest {
        const Elements* elements = nullptr;
        hebrew::TFontKind kind = hebrew::TFontKind::DosHebrew;
        bool backward = false;
    };

    // The style selection that ListBox1Click, FormActivate and CheckBox1Click share.
    void selectStyle();
    // The selected line of ListBox1, or -1.
    int selectedLine() const;
    void fillOnce(const FillRequest& request);
    // Empties ListView1 without reporting the rows' deselection.
    void removeRows();
    void listViewSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    // The conversion of one trimmed text for the "Text" column; virtual so
    // that tests can make it fail.
    virtual std::string convertForListing(std::string_view text) const;

    hebrew::FontTable* m_table;
    fonts::TfrmFonts* m_fonts;
    const MainOptions* m_options;
    hebrew::Converter m_converter;
    QButtonGroup* m_kinds = nullptr;
    std::vector<std::pair<std::string, filter::ttextstyle*>> m_lines;  // sorted ignoring case
    // A fill asked for while one runs (events are processed during a fill)
    // waits here; the running fill stops early and runs the latest one.
    std::optional<FillRequest> m_pendingFill;
    bool m_filling = false;
    // Raised by Clear(), so that a running fill stops touching the records.
    std::uint64_t m_fillGeneration = 0;
    bool m_removingRows = false;
};

}  // namespace remap
