#include "filter/drawing_access.h"

#include <algorithm>

#include "dwg/drawing/drawing.h"
#include "dwg/drawing/text_codec.h"
#include "dwg/errors.h"
#include "preview/png.h"
#include "support/atomic_file.h"

namespace filter {
namespace {

// Turns the engine's errors about the drawing or its file into a
// DrawingError naming the drawing. Anything else (std::out_of_range,
// std::bad_alloc, std::logic_error) is a fault of ours or of the machine,
// not of the drawing, and goes on as what it is.
template <typename Body>
auto guarded(Body&& body) {
    try {
        return body();
    } catch (const DrawingError&) {
        throw;
    } catch (const dwg::FormatError& e) {
        throw DrawingError(e.what());
    } catch (const dwg::UnsupportedRelease& e) {
        throw DrawingError(e.what());
    } catch (const support::OpenError& e) {
        throw DrawingError(e.what());
    } catch (const support::WriteError& e) {
        throw DrawingError(e.what());
    }
}

class EngineDrawing final : public DrawingAccess {
    // Every operation runs through here, so that engine errors come out as
    // DrawingError naming the drawing.
    template <typename Body>
    auto run(Body&& body) const {
        return guarded(std::forward<Body>(body));
    }
    template <typename Body>
    auto run(Body&& body) {
        return guarded(std::forward<Body>(body));
    }

public:
    EngineDrawing(dwg::Drawing drawing, int outputCodePage)
        : m_drawing(std::move(drawing)), m_outputCodePage(outputCodePage) {}

    std::string release() const override { return std::string(dwg::releaseName(m_drawing.release())); }
    std::string writer() const override { return m_drawing.writer(); }
    std::vector<std::string> readWarnings() const override { return m_drawing.warnings(); }
    std::vector<std::string> rebuiltOnSave() const override {
        std::vector<std::string> rebuilt;
        // Several faults of one structure (the object map) rebuild it once.
        for (const dwg::Repair& repair : m_drawing.repairs()) {
            std::string what = repair.structure + ": " + repair.onSave;
            if (std::find(rebuilt.begin(), rebuilt.end(), what) == rebuilt.end())
                rebuilt.push_back(std::move(what));
        }
        return rebuilt;
    }
    int codePage() const override { return m_drawing.codePage(); }

    int styleCount() const override { return static_cast<int>(m_drawing.textStyles().size()); }
    std::u16string styleName(int index) const override {
        return run([&] { return m_drawing.styleName(styleAt(index)); });
    }
    std::u16string styleFontFile(int index) const override {
        return run([&] { return m_drawing.styleFontFile(styleAt(index)); });
    }
    void setStyleFontFile(int index, const std::u16string& fontFile) override {
        run([&] { m_drawing.setStyleFontFile(styleAt(index), fontFile); });
    }
    int styleTextGenerationFlag(int index) const override {
        return run([&] { return int{m_drawing.style(styleAt(index)).generation}; });
    }
    void setStyleTextGenerationFlag(int index, int flag) override {
        run([&] { m_drawing.setStyleGeneration(styleAt(index), static_cast<std::uint8_t>(flag)); });
    }

    int blockCount() const override { return static_cast<int>(m_drawing.blocks().size()); }
    std::u16string blockName(int index) const override {
        return run([&] { return m_drawing.blockName(blockAt(index)); });
    }
    std::vector<EntityId> blockEntities(int index) const override {
        return run([&] { return m_drawing.blockEntities(blockAt(index)); });
    }

    std::vector<EntityId> selectAll(const std::string& entityType) const override {
        return run([&] { return m_drawing.selectAll(entityType); });
    }

    bool isBlockReference(EntityId entity) const override { return m_drawing.isBlockReference(entity); }
    bool isText(EntityId entity) const override { return m_drawing.isText(entity); }
    bool hasAttributes(EntityId blockReference) const override {
        return run([&] { return m_drawing.insert(blockReference).hasAttributes; });
    }
    std::vector<EntityId> attributes(EntityId blockReference) const override {
        return run([&] { return m_drawing.attributes(blockReference); });
    }

    std::u16string textString(EntityId text) const override {
        return run([&] { return m_drawing.textString(text); });
    }
    void setTextString(EntityId text, const std::u16string& value) override {
        run([&] { m_drawing.setTextString(text, value); });
    }
    std::u16string textStyleName(EntityId text) const override {
        return run([&] { return m_drawing.textStyleName(text); });
    }
    bool backward(EntityId text) const override {
        return run([&] { return m_drawing.backward(text); });
    }
    void setBackward(EntityId text, bool backward) override {
        run([&] { m_drawing.setBackward(text, backward); });
    }
    int textGenerationFlag(EntityId text) const override {
        return run([&] { return int{m_drawing.textGeneration(text)}; });
    }
    void setTextGenerationFlag(EntityId text, int flag) override {
        run([&] { m_drawing.setTextGeneration(text, static_cast<std::int16_t>(flag)); });
    }
    Point insertionPoint(EntityId text) const override {
        return run([&] {
            const dwg::Point3 p = m_drawing.insertionPoint(text);
            return Point{p.x, p.y, p.z};
        });
    }
    void move(EntityId text, const Point& from, const Point& to) override {
        run([&] { m_drawing.move(text, {from.x, from.y, from.z}, {to.x, to.y, to.z}); });
    }

    BoundingBox boundingBox(EntityId entity) override {
        return run([&] {
            const dwg::Box3 box = m_drawing.boundingBox(entity);
            if (box.empty)
                throw DrawingError(m_drawing.name() + ": entity " + dwg::handleText(entity) + " has no extents");
            return BoundingBox{{box.min.x, box.min.y, box.min.z}, {box.max.x, box.max.y, box.max.z}};
        });
    }

    void saveAs(const std::filesystem::path& file) override {
        dwg::ReleaseChangeOptions options;
        if (m_outputCodePage != 0)
            options.codePage = static_cast<std::uint16_t>(m_outputCodePage);
        // AutoCAD 2004 shows a bitmap preview, not the PNG of 2013 and later;
        // of the size of its own.
        options.pngToBitmap = [](std::span<const std::uint8_t> png) { return preview::dibFromPng(png, 256); };
        run([&] { m_drawing.save(file, dwg::Release::R2004, options); });
        m_written = std::string(dwg::releaseName(dwg::Release::R2004));
        m_codePageWritten = std::string(dwg::dwgCodePageName(options.codePage.value_or(m_drawing.codePage())));
    }
    std::string releaseWritten() const override { return m_written; }
    std::string codePageWritten() const override { return m_codePageWritten; }
    std::vector<DroppedObject> droppedInSave() const override {
        std::vector<DroppedObject> out;
        for (const dwg::DroppedObjectInSave& d : m_drawing.droppedInSave())
            out.push_back({dwg::handleText(d.handle), d.type, d.reason, d.isEntity});
        return out;
    }
    std::vector<std::string> problemsInSave() const override { return m_drawing.problemsInSave(); }

private:
    std::uint64_t styleAt(int index) const {
        const auto& styles = m_drawing.textStyles();
        if (index < 0 || static_cast<std::size_t>(index) >= styles.size())
            throw DrawingError(m_drawing.name() + ": no text style " + std::to_string(index) + " (the drawing has " +
                               std::to_string(styles.size()) + ")");
        return styles[static_cast<std::size_t>(index)];
    }
    std::uint64_t blockAt(int index) const {
        const auto& blocks = m_drawing.blocks();
        if (index < 0 || static_cast<std::size_t>(index) >= blocks.size())
            throw DrawingError(m_drawing.name() + ": no block definition " + std::to_string(index) +
                               " (the drawing has " + std::to_string(blocks.size()) + ")");
        return blocks[static_cast<std::size_t>(index)];
    }

    dwg::Drawing m_drawing;
    int m_outputCodePage = 0;

    std::string m_written;
    std::string m_codePageWritten;
};

}  // namespace

const support::CodePage& textCodePage(int dwgCodePage) {
    return dwg::codePageOf(static_cast<std::uint16_t>(dwgCodePage));
}

std::unique_ptr<DrawingAccess> openDrawing(const std::filesystem::path& file, const OpenOptions& options) {
    dwg::ReadOptions read;
    read.recoverObjectMap = options.recoverObjectMap;
    return guarded(
        [&] { return std::make_unique<EngineDrawing>(dwg::Drawing::open(file, read), options.outputCodePage); });
}

std::optional<int> writableCodePage(std::string_view name) {
    if (const auto value = dwg::writableDwgCodePage(name))
        return int{*value};
    return std::nullopt;
}

}  // namespace filter
