#pragma once
// The drawing-access layer: the operations the text filter performs on a
// drawing, and nothing else. Entities are named by their handles; strings
// cross the layer as UTF-16. Every operation succeeds or throws DrawingError,
// whose message names the drawing and says what is wrong; only faults that
// are not the drawing's (std::logic_error, std::bad_alloc) pass as they are.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace support {
class CodePage;
}

namespace filter {

class DrawingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using EntityId = std::uint64_t;

struct Point {
    double x = 0.0, y = 0.0, z = 0.0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct BoundingBox {
    Point min, max;
};

// An object a save could not carry into the release it writes, left out
// with every reference to it.
struct DroppedObject {
    std::string handle;  // hexadecimal, as AutoCAD shows it
    std::string type;
    std::string reason;
    bool isEntity = false;  // something drawn: the drawing no longer shows it
};

class DrawingAccess {
public:
    virtual ~DrawingAccess() = default;

    virtual std::string release() const = 0;  // "R13" ... "2004"
    // What reading found, for reports: the program that wrote the drawing
    // (empty when it does not say), harmless oddities, and the redundant
    // structures a save rebuilds ("second file header: a fresh one").
    virtual std::string writer() const { return {}; }
    virtual std::vector<std::string> readWarnings() const { return {}; }
    virtual std::vector<std::string> rebuiltOnSave() const { return {}; }
    virtual int codePage() const = 0;         // DWGCODEPAGE

    // Text styles by index.
    virtual int styleCount() const = 0;
    virtual std::u16string styleName(int index) const = 0;
    virtual std::u16string styleFontFile(int index) const = 0;
    virtual void setStyleFontFile(int index, const std::u16string& fontFile) = 0;
    virtual int styleTextGenerationFlag(int index) const = 0;
    virtual void setStyleTextGenerationFlag(int index, int flag) = 0;

    // Block definitions in table order, with their entities in order.
    virtual int blockCount() const = 0;
    virtual std::u16string blockName(int index) const = 0;
    virtual std::vector<EntityId> blockEntities(int index) const = 0;

    // Every entity of one type ("TEXT" or "INSERT") of model space and every
    // paper-space layout, on every layer.
    virtual std::vector<EntityId> selectAll(const std::string& entityType) const = 0;

    virtual bool isBlockReference(EntityId entity) const = 0;
    virtual bool isText(EntityId entity) const = 0;
    virtual bool hasAttributes(EntityId blockReference) const = 0;
    virtual std::vector<EntityId> attributes(EntityId blockReference) const = 0;

    // Texts and attributes.
    virtual std::u16string textString(EntityId text) const = 0;
    virtual void setTextString(EntityId text, const std::u16string& value) = 0;
    virtual std::u16string textStyleName(EntityId text) const = 0;
    virtual bool backward(EntityId text) const = 0;
    virtual void setBackward(EntityId text, bool backward) = 0;
    virtual int textGenerationFlag(EntityId text) const = 0;
    virtual void setTextGenerationFlag(EntityId text, int flag) = 0;
    virtual Point insertionPoint(EntityId text) const = 0;
    // Moves a text or attribute by `to` minus `from`.
    virtual void move(EntityId text, const Point& from, const Point& to) = 0;

    // The box of any entity: texts, attributes, block references, geometry.
    // Measures the drawing as it now is, changes included.
    virtual BoundingBox boundingBox(EntityId entity) = 0;

    // Writes the drawing to `file` as AutoCAD 2004, whatever release it was
    // read in (temporary file, then renamed into place), in the code page
    // OpenOptions::outputCodePage names.
    virtual void saveAs(const std::filesystem::path& file) = 0;
    // The release and code page the last saveAs wrote ("2004", "ANSI_1255"),
    // empty before one; what it left out, and what it changed on the way (a
    // string shortened to a limit of 2004).
    virtual std::string releaseWritten() const { return {}; }
    virtual std::string codePageWritten() const { return {}; }
    virtual std::vector<DroppedObject> droppedInSave() const { return {}; }
    virtual std::vector<std::string> problemsInSave() const { return {}; }
};

// How a drawing is opened. recoverObjectMap: a damaged object map is
// recovered by scanning the drawing's objects (corvelin-cli --recover), each
// recovery listed in readWarnings() and rebuiltOnSave(); without it such a
// drawing cannot be opened.
struct OpenOptions {
    bool recoverObjectMap = false;
    // The DWGCODEPAGE a save declares and stores every string in; 0 for the
    // drawing's own.
    int outputCodePage = 0;
};

// The DWGCODEPAGE value of a code page name ("ANSI_1255", any case) that
// saves can write, or nothing.
std::optional<int> writableCodePage(std::string_view name);

// The code page of a DWGCODEPAGE number (DrawingAccess::codePage()), the
// one the drawing's strings are stored in.
const support::CodePage& textCodePage(int dwgCodePage);

// Opens a drawing with our DWG engine.
std::unique_ptr<DrawingAccess> openDrawing(const std::filesystem::path& file, const OpenOptions& options = {});

}  // namespace filter
