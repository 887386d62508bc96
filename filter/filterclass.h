#pragma once
// The drawing text filter: one TDWGFileFilter processes one drawing in one
// pass. A conversion pass rewrites every single-line text and attribute into
// Windows-1255 for the chosen ESRI Hebrew setting, clears mirroring, resets
// the text styles to "Arial.ttf" and saves the drawing; a check pass only
// walks it; a collecting pass gathers the texts per style for the remap view.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "filter/drawing_access.h"
#include "hebrew/converter.h"
#include "hebrew/fntdef.h"
#include "support/Hashes.h"

namespace filter {

// One text found by a collecting pass.
struct telement {
    double X = 0.0;
    double Y = 0.0;
    std::string Text;           // the text as read, single-byte
    std::string ConvertedText;  // written only by the remap view
    bool Marked = false;        // written only by the remap view
    bool Attribute = false;     // an attribute of a block reference
    bool Backward = false;      // the text's own backward flag (false for attributes)
};

// One text style of the drawing.
struct ttextstyle {
    std::string Name;      // upper case (a-z raised only)
    std::string FontFile;  // as the drawing gives it
    bool Backward = false;
    std::vector<std::unique_ptr<telement>> Elements;
    hebrew::TFontKind Kind = hebrew::TFontKind::DosHebrew;
};

// The remap view's list of styles: sorted, searched ignoring case, each line
// carrying its style record (which the filter owns).
class StyleList {
public:
    virtual ~StyleList() = default;
    virtual void Clear() = 0;
    virtual bool Contains(const std::string& name) const = 0;
    virtual void Add(const std::string& name, ttextstyle* style) = 0;
};

// A StyleList without a window, for the command-line tool and tests.
class PlainStyleList final : public StyleList {
public:
    void Clear() override { m_lines.clear(); }
    bool Contains(const std::string& name) const override;
    void Add(const std::string& name, ttextstyle* style) override;
    const std::vector<std::pair<std::string, ttextstyle*>>& lines() const { return m_lines; }

private:
    std::vector<std::pair<std::string, ttextstyle*>> m_lines;  // sorted ignoring case
};

// The window's "ESRI Hebrew Setting", read anew for every text.
class FilterOptions {
public:
    virtual ~FilterOptions() = default;
    virtual bool LeftToRight() const = 0;  // "Left To Right"; else "RightTo Left"
};

class FixedOptions final : public FilterOptions {
public:
    explicit FixedOptions(bool leftToRight) : m_leftToRight(leftToRight) {}
    bool LeftToRight() const override { return m_leftToRight; }

private:
    bool m_leftToRight;
};

// What a pass did, for reports.
struct FilterStatistics {
    int textsConverted = 0;
    int attributesConverted = 0;
    int repaired = 0;       // texts and attributes whose letters were repaired first
    int leftUnchanged = 0;  // texts and attributes written back as read, or not at all
    std::vector<std::string> warnings;
};

// The rules by which a conversion pass converts one text of a style: the
// text's own backward flag counts for texts, not for attributes; with
// automatic correction, letters foreign to the style's kind are repaired
// first, unless an attribute keeps its Windows mapping. `converter` gets the
// style's kind and backward setting.
struct TextConversion {
    std::string text;
    bool converted = true;  // false: written back as read
    bool repaired = false;
};
TextConversion ConvertStyleText(hebrew::Converter& converter, const ttextstyle& style, std::string text,
                                bool attribute, bool ownBackward, bool leftToRight, bool autoCorrect,
                                bool keepWindowsMapping);

class TDWGFileFilter {
public:
    using ProgressEvent = std::function<void(void* sender, int percent, int extra)>;
    using ErrorEvent = std::function<void(void* sender, const std::string& message, int kind, bool& abort)>;
    using Opener = std::function<std::unique_ptr<DrawingAccess>(const std::filesystem::path&)>;

    // `fonts` is shared and only read; `styleList` and `options` outlive the
    // filter, and a style list that the pass filled is emptied when the filter
    // is freed. `opener` stands for the drawing engine (our engine by default).
    TDWGFileFilter(const hebrew::FontTable& fonts, StyleList& styleList, const FilterOptions& options,
                   Opener opener = [](const std::filesystem::path& file) { return openDrawing(file); });
    ~TDWGFileFilter();
    TDWGFileFilter(const TDWGFileFilter&) = delete;
    TDWGFileFilter& operator=(const TDWGFileFilter&) = delete;

    std::string FileName;
    ProgressEvent OnProgress;
    ErrorEvent OnError;
    bool Finished = false;
    std::unique_ptr<DrawingAccess> Document;
    support::TObjectHash<ttextstyle> Styles;
    std::string OutputFileName;
    bool ConvertTexts = false;
    bool CheckOnly = false;
    bool AutoCorrect = false;
    bool KeepWindowsMapping = false;

    // Called while the pass works, so that a window can repaint.
    std::function<void()> ProcessMessages;
    // Why the last drawing could not be opened (empty when it opened).
    std::string OpenFailure;
    const FilterStatistics& Statistics() const { return m_statistics; }
    const hebrew::FontTable& Fonts() const { return *m_fonts; }

    // The drawing pass over one drawing file.
    void ProcessDrawing(const std::string& fileName);
    // Handles one entity: a text, or the attributes of a block reference.
    void ConvertEntity(EntityId entity);
    // Drops the drawing engine at once; later steps use none.
    void ReleaseEngine();

private:
    struct TextUnit {
        EntityId target = 0;
        EntityId boxEntity = 0;
        bool isAttribute = false;
    };
    // Returns false where a check pass ends a block reference's attributes.
    bool handleUnit(const TextUnit& unit, std::u16string text, const std::u16string& styleName, bool backward);
    void raiseProgress(int done, int total);
    void processMessages();
    void walk(const std::vector<EntityId>& entities);
    std::string singleByte(const std::u16string& text, bool* complete = nullptr) const;
    void saveDrawing();

    const hebrew::FontTable* m_fonts;
    StyleList* m_styleList;
    bool m_filledStyleList = false;
    const FilterOptions* m_options;
    Opener m_engine;
    hebrew::Converter m_converter;
    FilterStatistics m_statistics;
};

}  // namespace filter
