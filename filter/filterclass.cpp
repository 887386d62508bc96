#include "filter/filterclass.h"

#include <algorithm>
#include <cmath>
#include <system_error>

#include "support/code_pages.h"
#include "support/hex.h"
#include "support/paths.h"

namespace filter {
namespace {

constexpr const char* kOpenProblem = "Problem with opening file";

std::string upperLetters(std::string_view text) { return support::upperAscii(text); }

// The converter's kind and backward setting for one text of a style.
void PrepareConverter(hebrew::Converter& converter, const ttextstyle& style, bool attribute, bool ownBackward) {
    converter.CurrentKind = style.Kind;
    converter.CurrentBackward = attribute ? style.Backward : (style.Backward || ownBackward);
}

}  // namespace

bool PlainStyleList::Contains(const std::string& name) const {
    return std::any_of(m_lines.begin(), m_lines.end(),
                       [&](const auto& line) { return support::equalsIgnoringAsciiCase(line.first, name); });
}

void PlainStyleList::Add(const std::string& name, ttextstyle* style) {
    auto at = std::lower_bound(m_lines.begin(), m_lines.end(), name, [](const auto& line, const std::string& n) {
        return support::compareIgnoringAsciiCase(line.first, n) < 0;
    });
    m_lines.insert(at, {name, style});
}

TDWGFileFilter::TDWGFileFilter(const hebrew::FontTable& fonts, StyleList& styleList, const FilterOptions& options,
                               Opener opener)
    : m_fonts(&fonts), m_styleList(&styleList), m_options(&options), m_engine(std::move(opener)),
      m_converter(fonts) {}

// The style list points into this filter's records: a list that the pass
// filled is emptied before the records go, so that it never shows freed ones.
TDWGFileFilter::~TDWGFileFilter() {
    if (m_filledStyleList)
        m_styleList->Clear();
}

void TDWGFileFilter::ReleaseEngine() { m_engine = nullptr; }

void TDWGFileFilter::processMessages() {
    if (ProcessMessages)
        ProcessMessages();
}

void TDWGFileFilter::raiseProgress(int done, int total) {
    if (!OnProgress || done % 100 != 0 || total <= 0)
        return;
    // Rounded to the nearest integer, halves to even (the default rounding mode).
    const double percent = std::nearbyint(static_cast<double>(done) / total * 100.0);
    OnProgress(nullptr, static_cast<int>(percent), 0);
}

std::string TDWGFileFilter::singleByte(const std::u16string& text, bool* complete) const {
    // The drawing's own code page keeps the stored bytes; Hebrew letters it
    // lacks (from \U+ escapes, or a drawing of 2007 or later, which holds
    // Unicode) come from Windows-1255. DOS Hebrew letters (bytes 0x80-0x9F)
    // that AutoCAD took into Unicode as the C1 controls of the same numbers
    // when it upgraded the drawing are those bytes again.
    const support::CodePage& page = textCodePage(Document->codePage());
    const support::CodePage& hebrew = support::CodePage::windows1255();
    std::string out;
    out.reserve(text.size());
    if (complete)
        *complete = true;
    for (char16_t c : text) {
        auto byte = page.fromUnicode(c);
        if (!byte)
            byte = hebrew.fromUnicode(c);
        if (!byte && c >= 0x80 && c <= 0x9F)
            byte = static_cast<std::uint8_t>(c);
        if (!byte && complete)
            *complete = false;
        out += static_cast<char>(byte.value_or('?'));
    }
    return out;
}

TextConversion ConvertStyleText(hebrew::Converter& converter, const ttextstyle& style, std::string text,
                                bool attribute, bool ownBackward, bool leftToRight, bool autoCorrect,
                                bool keepWindowsMapping) {
    PrepareConverter(converter, style, attribute, ownBackward);
    TextConversion result;
    if (autoCorrect && !hebrew::Converter::TextFitsKind(style.Kind, text)) {
        if (attribute && keepWindowsMapping) {
            result.text = std::move(text);
            result.converted = false;
            return result;
        }
        text = hebrew::Converter::RepairLetters(style.Kind, text);
        result.repaired = true;
    }
    result.text = leftToRight ? converter.ConvertForLtr(text) : converter.ConvertForRtl(text);
    return result;
}

void TDWGFileFilter::ProcessDrawing(const std::string& fileName) {
    FileName = fileName;
    Finished = false;
    OpenFailure.clear();

    // Open the drawing; a drawing that cannot be opened is reported once.
    try {
        if (!m_engine)
            throw DrawingError("the drawing engine was released");
        Document = m_engine(FileName);
    } catch (const DrawingError& e) {
        // Only a drawing that cannot be read is an opening problem; other
        // exceptions are faults of ours and go on to the caller.
        OpenFailure = e.what();
        if (OnError) {
            bool abort = false;
            OnError(nullptr, kOpenProblem, 1, abort);
        }
        Finished = true;
        return;
    }
    processMessages();
    m_styleList->Clear();
    m_filledStyleList = true;

    // Text styles, one record each; names equal ignoring case are recorded once.
    const int styleCount = Document->styleCount();
    for (int i = 0; i < styleCount; ++i) {
        const std::string name = singleByte(Document->styleName(i));
        if (name.empty() || name == " " || m_styleList->Contains(name))
            continue;
        auto record = std::make_unique<ttextstyle>();
        ttextstyle* style = record.get();
        const std::string key = upperLetters(name);
        Styles.SetValue(key, std::move(record));
        style->Name = key;
        style->FontFile = singleByte(Document->styleFontFile(i));
        style->Backward = Document->styleTextGenerationFlag(i) != 0;
        style->Kind = m_converter.FontKindOf(style->FontFile);
        m_styleList->Add(key, style);
    }

    // Block definitions: every entity of the named ones.
    const int blockCount = Document->blockCount();
    int done = 0;
    for (int i = 0; i < blockCount; ++i) {
        const std::u16string name = Document->blockName(i);
        if (name.empty() || name.front() == u'*' || name == u"Model_Space" || name == u"Paper_Space")
            continue;
        for (EntityId entity : Document->blockEntities(i))
            ConvertEntity(entity);
        raiseProgress(++done, blockCount);
        processMessages();
    }

    // Block references, then texts, of model space and every layout.
    walk(Document->selectAll("INSERT"));
    walk(Document->selectAll("TEXT"));

    if (CheckOnly) {
        Finished = true;
        return;
    }

    // Every style takes the TrueType font, unmirrored.
    for (int i = 0; i < styleCount; ++i) {
        Document->setStyleFontFile(i, u"Arial.ttf");
        Document->setStyleTextGenerationFlag(i, 0);
    }
    if (ConvertTexts)
        saveDrawing();
    Finished = true;
}

void TDWGFileFilter::walk(const std::vector<EntityId>& entities) {
    const int total = static_cast<int>(entities.size());
    int done = 0;
    for (EntityId entity : entities) {
        ConvertEntity(entity);
        raiseProgress(++done, total);
        processMessages();
    }
}

void TDWGFileFilter::saveDrawing() {
    const std::filesystem::path output(OutputFileName);
    // Another link to the input is another name: saving replaces that link
    // and leaves the drawing being read as it is.
    if (support::sameDirectoryEntry(output, FileName)) {
        // Never over the drawing being read: beside it under a "$$" name.
        const std::string folder(support::folderPart(OutputFileName));
        const std::string name(support::fileNamePart(OutputFileName));
        try {
            Document->saveAs(folder + "$$" + name);
        } catch (const std::exception& e) {
            m_statistics.warnings.push_back(std::string("not saved: ") + e.what());
        }
        return;
    }
    // The drawing goes to a temporary file first and replaces an existing
    // output only once it is complete.
    Document->saveAs(output);
}

void TDWGFileFilter::ConvertEntity(EntityId entity) {
    if (Document->isBlockReference(entity)) {
        if (!Document->hasAttributes(entity))
            return;
        for (EntityId attribute : Document->attributes(entity)) {
            const std::u16string style = Document->textStyleName(attribute);
            const std::u16string text = Document->textString(attribute);
            const bool backward = Document->backward(attribute);
            if (!handleUnit({attribute, entity, true}, text, style, backward))
                return;
        }
        return;
    }
    if (Document->isText(entity)) {
        const std::u16string text = Document->textString(entity);
        const std::u16string style = Document->textStyleName(entity);
        const bool backward = Document->backward(entity);
        handleUnit({entity, entity, false}, text, style, backward);
    }
}

bool TDWGFileFilter::handleUnit(const TextUnit& unit, std::u16string text, const std::u16string& styleName,
                                bool backward) {
    const std::string key = upperLetters(singleByte(styleName));
    const bool stylePresent = !key.empty() && Styles.Exists(key);
    if (!stylePresent) {
        // Left as it is rather than ending the whole drawing.
        ++m_statistics.leftUnchanged;
        m_statistics.warnings.push_back((unit.isAttribute ? "attribute " : "text ") + support::hexNumber(unit.target) +
                                        ": style \"" + singleByte(styleName) + "\" has no record; left unchanged");
        return !CheckOnly || !ConvertTexts;
    }

    bool complete = true;
    std::string t = singleByte(text, &complete);
    ttextstyle& record = Styles.GetValue(key);

    if (!ConvertTexts) {
        const Point at = Document->insertionPoint(unit.target);
        auto element = std::make_unique<telement>();
        element->X = at.x;
        element->Y = at.y;
        element->Text = t;
        element->Attribute = unit.isAttribute;
        element->Backward = !unit.isAttribute && backward;
        record.Elements.push_back(std::move(element));
        return true;
    }

    PrepareConverter(m_converter, record, unit.isAttribute, backward);
    if (CheckOnly)
        return false;  // a check pass looks at one attribute per reference

    if (!complete) {
        // Characters no single-byte form holds would be lost by converting.
        ++m_statistics.leftUnchanged;
        m_statistics.warnings.push_back((unit.isAttribute ? "attribute " : "text ") + support::hexNumber(unit.target) +
                                        ": characters outside its code page and Windows-1255; left unchanged");
        return true;
    }

    const TextConversion result = ConvertStyleText(m_converter, record, std::move(t), unit.isAttribute, backward,
                                                   m_options->LeftToRight(), AutoCorrect, KeepWindowsMapping);
    m_statistics.repaired += result.repaired;
    if (result.converted) {
        text = support::CodePage::windows1255().decode(result.text);
        ++(unit.isAttribute ? m_statistics.attributesConverted : m_statistics.textsConverted);
    } else {
        ++m_statistics.leftUnchanged;
    }

    BoundingBox box;
    if (m_converter.CurrentBackward)
        box = Document->boundingBox(unit.boxEntity);

    Document->setTextString(unit.target, text);
    Document->setBackward(unit.target, false);
    Document->setTextGenerationFlag(unit.target, 0);
    if (m_converter.CurrentBackward) {
        // One box width left, one box height down, one box depth back.
        const long double minX = box.min.x, minY = box.min.y, maxX = box.max.x, maxY = box.max.y;
        const Point from{box.min.x, box.min.y, box.max.z};
        const Point to{static_cast<double>(2 * minX - maxX), static_cast<double>(2 * minY - maxY), box.min.z};
        Document->move(unit.target, from, to);
    }
    return true;
}

}  // namespace filter
