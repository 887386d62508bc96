#include "hebrew/text_layout.h"

#include <array>
#include <numeric>
#include <stdexcept>
#include <vector>

#include <fribidi.h>

#include "hebrew/HebLib.h"
#include "support/code_pages.h"

namespace hebrew {
namespace {

// Bidi facts of the 256 Windows-1255 characters, worked out once.
struct ByteTables {
    std::array<FriBidiCharType, 256> type{};
    std::array<FriBidiBracketType, 256> bracket{};
    std::array<std::uint8_t, 256> characterClass{};
    // Bytes whose presence can make the reordering differ from the identity.
    std::array<bool, 256> rightToLeft{};

    ByteTables() {
        const auto& page = support::CodePage::windows1255();
        for (int b = 0; b < 256; ++b) {
            auto i = static_cast<std::size_t>(b);
            FriBidiChar c = page.toUnicode(static_cast<std::uint8_t>(b));
            type[i] = fribidi_get_bidi_type(c);
            // Only neutral characters take part in bracket pairing.
            bracket[i] = type[i] == FRIBIDI_TYPE_ON ? fribidi_get_bracket(c) : FRIBIDI_NO_BRACKET;
            // FriBidi 1.0.8's FRIBIDI_IS_RTL_LETTER macro is faulty: compare types.
            bool rtlLetter = type[i] == FRIBIDI_TYPE_RTL || type[i] == FRIBIDI_TYPE_AL;
            characterClass[i] = rtlLetter ? kHebrewClass : 0;
            rightToLeft[i] = rtlLetter || type[i] == FRIBIDI_TYPE_AN || type[i] == FRIBIDI_TYPE_RLE ||
                             type[i] == FRIBIDI_TYPE_RLO || type[i] == FRIBIDI_TYPE_RLI;
        }
    }
};

const ByteTables& tables() {
    static const ByteTables instance;
    return instance;
}

// Scratch arrays sized for the longest text seen so far on this thread, so
// that reordering a text allocates nothing but its result.
struct Scratch {
    std::vector<FriBidiCharType> types;
    std::vector<FriBidiBracketType> brackets;
    std::vector<FriBidiLevel> levels;
    std::vector<FriBidiStrIndex> map;

    void resize(std::size_t n) {
        if (types.size() < n) {
            types.resize(n);
            brackets.resize(n);
            levels.resize(n);
            map.resize(n);
        }
    }
};

}  // namespace

std::uint8_t CharacterClass(std::uint8_t byte) { return tables().characterClass[byte]; }

std::string RestoreLtrRuns(std::string_view text) {
    const auto& t = tables();
    std::array<std::uint8_t, 256> small{};
    std::vector<std::uint8_t> large;
    std::uint8_t* classes = small.data();
    if (text.size() > small.size()) {
        large.resize(text.size());
        classes = large.data();
    }
    for (std::size_t i = 0; i < text.size(); ++i)
        classes[i] = t.characterClass[static_cast<std::uint8_t>(text[i])];
    return ReverseRunsByClass(text, {classes, text.size()});
}

std::string ReorderToVisual(std::string_view text) {
    const auto& t = tables();
    bool identity = true;
    for (char c : text)
        identity = identity && !t.rightToLeft[static_cast<std::uint8_t>(c)];
    if (identity)
        return std::string(text);

    thread_local Scratch scratch;
    const std::size_t n = text.size();
    scratch.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        auto b = static_cast<std::uint8_t>(text[i]);
        scratch.types[i] = t.type[b];
        scratch.brackets[i] = t.bracket[b];
    }
    const auto length = static_cast<FriBidiStrIndex>(n);
    FriBidiParType direction = FRIBIDI_PAR_LTR;
    if (fribidi_get_par_embedding_levels_ex(scratch.types.data(), scratch.brackets.data(), length, &direction,
                                            scratch.levels.data()) == 0)
        throw std::bad_alloc();
    std::iota(scratch.map.begin(), scratch.map.begin() + static_cast<std::ptrdiff_t>(n), FriBidiStrIndex{0});
    // No flags: neither mirroring nor moving marks after their base letters.
    if (fribidi_reorder_line(0, scratch.types.data(), length, 0, direction, scratch.levels.data(), nullptr,
                             scratch.map.data()) == 0)
        throw std::bad_alloc();
    std::string out(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        out[i] = text[static_cast<std::size_t>(scratch.map[i])];
    return out;
}

}  // namespace hebrew
