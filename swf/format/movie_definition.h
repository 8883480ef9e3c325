#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/result.h"
#include "swf/format/character.h"
#include "swf/format/movie_file.h"
#include "swf/format/sound.h"

namespace swivio::swf {

// Upper bound on the edges of all the shapes of one movie together, so a movie of many
// damaged shapes cannot use memory without end either (32 bytes an edge: 128 MiB).
constexpr std::size_t kMaxMovieEdges = 4u << 20;

// ScriptLimits: the bounds the movie asks its scripts to keep.
struct ScriptLimits {
    uint16_t maxRecursionDepth = 0;
    uint16_t scriptTimeoutSeconds = 0;
};

// One name an ImportAssets tag takes from another movie, and the id it goes by here.
struct ImportedName {
    uint16_t id = 0;
    std::string name;
};

// ImportAssets or ImportAssets2: characters exported by the movie at url, by name.
struct ImportAssets {
    std::string url;
    std::vector<ImportedName> names;
    int frame = 0; // the root frame the tag stands in (its init actions run there)
};

// A movie read into plain data: header fields, the dictionary of characters and the root
// timeline. Immutable once read; characters keep views into the shared body.
struct MovieDefinition {
    MovieFile file;
    std::unordered_map<uint16_t, Character> characters;
    Timeline root;
    std::span<const uint8_t> jpegTables; // the JPEGTables body, empty if none
    uint32_t fileAttributes = 0;         // FileAttributes flags, 0 if absent
    // ExportAssets: linkage name to character id (the first export of a name wins).
    std::map<std::string, uint16_t> exports;
    std::optional<ScriptLimits> scriptLimits; // the last ScriptLimits tag, if any
    std::vector<ImportAssets> imports;        // in the order of their tags
    // Movies whose characters were copied in by linkImports: the copies view their bodies.
    std::vector<std::shared_ptr<const MovieDefinition>> importedMovies;
    // Bodies rewritten for copied characters (a font or sound id changed), owned here.
    std::vector<std::shared_ptr<const std::vector<uint8_t>>> ownedBodies;
    // Tags that were damaged and skipped, each "tag CODE at offset N: why".
    std::vector<std::string> warnings;
    // DefineButtonSound: each button's sounds for its state changes.
    std::map<uint16_t, ButtonSounds> buttonSounds;

    const Character* character(uint16_t id) const {
        auto it = characters.find(id);
        return it == characters.end() ? nullptr : &it->second;
    }
    // The character exported under a linkage name, or null. Without caseSensitive (SWF 6 and
    // earlier) ASCII letters match either case; an exact match is preferred.
    const Character* exportedCharacter(std::string_view name, bool caseSensitive) const;
    // The sound button `buttonId` plays on the state change `condition` (one kButton... bit),
    // or null.
    const ButtonSound* buttonSound(uint16_t buttonId, uint16_t condition) const;
    // FileAttributes says the movie's scripts are ActionScript 3.
    bool usesActionScript3() const { return fileAttributes & 0x08; }
};

// Reads every tag of a movie. A damaged tag is skipped with a warning; a damaged tag stream
// ends the reading there and keeps what came before. Fails only when the header is not a
// movie's.
Result<std::shared_ptr<const MovieDefinition>> readMovieDefinition(std::span<const uint8_t> file);

} // namespace swivio::swf
