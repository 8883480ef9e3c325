// Imported characters copied under fresh ids, with the ids inside them rewritten to match.
#include "swf/format/movie_imports.h"

#include <functional>

#include <gtest/gtest.h>

namespace swivio::swf {
namespace {

Character make(CharacterType type, uint16_t id) {
    Character c;
    c.type = type;
    c.id = id;
    return c;
}

// Exports a button showing shape 1, a text and an edit text in font 2, and a morph shape
// filled with bitmap 6.
std::shared_ptr<const MovieDefinition> source() {
    auto movie = std::make_shared<MovieDefinition>();
    movie->file.version = 8;
    movie->characters.emplace(1, make(CharacterType::Shape, 1));
    movie->characters.emplace(2, make(CharacterType::Font, 2));
    movie->characters.emplace(6, make(CharacterType::Bitmap, 6));
    Character button = make(CharacterType::Button, 3);
    ButtonRecord record;
    record.characterId = 1;
    button.button = std::make_shared<ButtonDefinition>(ButtonDefinition{{record}, false, {}, {}});
    movie->characters.emplace(3, button);
    Character text = make(CharacterType::Text, 4);
    TextRecord line;
    line.hasFont = true;
    line.fontId = 2;
    text.text = std::make_shared<StaticText>(StaticText{{}, {}, {line}});
    movie->characters.emplace(4, text);
    // An empty RECT, flags with HasFont, font 2, height 240.
    static const std::vector<uint8_t> field = {0x00, 0x01, 0x00, 2, 0, 240, 0};
    Character edit = make(CharacterType::EditText, 5);
    edit.body = field;
    movie->characters.emplace(5, edit);
    Character morph = make(CharacterType::MorphShape, 7);
    MorphFillStyle fill;
    fill.start.type = fill.end.type = FillType::ClippedBitmap;
    fill.start.bitmapId = fill.end.bitmapId = 6;
    morph.morph = std::make_shared<MorphShape>();
    std::const_pointer_cast<MorphShape>(morph.morph)->fills.push_back(fill);
    movie->characters.emplace(7, morph);
    movie->exports = {{"button", 3}, {"text", 4}, {"field", 5}, {"morph", 7}};
    return movie;
}

struct Reference {
    const char* name;
    uint16_t importId;
    CharacterType type;
    std::function<uint16_t(const Character&)> referent;
    CharacterType referentType;
};

class CopiedReferences : public testing::TestWithParam<Reference> {};

// The movie's own 1, 2 and 6 are of other types: a reference left unrewritten finds them.
TEST_P(CopiedReferences, FindTheCopiesNotTheMoviesOwnCharacters) {
    const Reference& r = GetParam();
    MovieDefinition movie;
    movie.root.frames.resize(1);
    movie.characters.emplace(1, make(CharacterType::Sprite, 1));
    movie.characters.emplace(2, make(CharacterType::Sound, 2));
    movie.characters.emplace(6, make(CharacterType::Sound, 6));
    movie.imports.push_back(
        {"lib.swf", {{10, "button"}, {11, "text"}, {12, "field"}, {13, "morph"}, {14, "none"}}, 0});
    const std::shared_ptr<const MovieDefinition> sources[] = {source()};
    linkImports(movie, sources);

    const Character* imported = movie.character(r.importId);
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->type, r.type);
    EXPECT_EQ(movie.exportedCharacter(r.name, true), imported);
    const uint16_t id = r.referent(*imported);
    EXPECT_GT(id, 14); // fresh: above the movie's own ids and its import ids
    const Character* referent = movie.character(id);
    ASSERT_TRUE(referent);
    EXPECT_EQ(referent->type, r.referentType);
    EXPECT_EQ(movie.character(1)->type, CharacterType::Sprite);
    ASSERT_EQ(movie.warnings.size(), 1u); // "none" is not exported
    EXPECT_NE(movie.warnings[0].find("none"), std::string::npos);
    ASSERT_EQ(movie.importedMovies.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CopiedReferences,
    testing::Values(
        Reference{"button", 10, CharacterType::Button,
                  [](const Character& c) { return c.button->records.at(0).characterId; },
                  CharacterType::Shape},
        Reference{"text", 11, CharacterType::Text,
                  [](const Character& c) { return c.text->records.at(0).fontId; },
                  CharacterType::Font},
        Reference{"field", 12, CharacterType::EditText,
                  [](const Character& c) { return loadLe16(c.body.data() + 3); },
                  CharacterType::Font},
        Reference{"morph", 13, CharacterType::MorphShape,
                  [](const Character& c) { return c.morph->fills.at(0).end.bitmapId; },
                  CharacterType::Bitmap}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace swivio::swf
