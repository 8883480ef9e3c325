#pragma once

#include <memory>
#include <span>

#include "swf/format/movie_definition.h"

namespace swivio::swf {

// Copies into movie what each of its ImportAssets tags takes from another movie: sources[i]
// is the movie movie.imports[i] names, already read (and its own imports linked), or null
// when it could not be. Each export named, and every character it refers to (placements,
// button records, fonts, bitmap fills, sounds, video streams), is copied under a fresh id
// above the movie's own; the copies' ids inside their parsed data are rewritten to match,
// and the export is stored under the id the import gives it and exported under its name.
// The source's root init actions for copied sprites are added to the importing frame.
// Every source given is kept alive in movie.importedMovies, as the copies view its body.
// Names that cannot be imported (not exported there, or an id this movie already defines)
// are skipped with a warning.
void linkImports(MovieDefinition& movie,
                 std::span<const std::shared_ptr<const MovieDefinition>> sources);

} // namespace swivio::swf
