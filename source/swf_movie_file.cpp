#include "source/swf_movie_file.h"

#include <filesystem>

#include "source/movie_source.h"
#include "swf/movie.h"
#include "swf/movie_sound_list.h"

namespace swivio {

Result<SwfMovieFile> loadSwfMovieFile(const std::string& path) {
    using R = Result<SwfMovieFile>;
    auto refused = [](const std::string& cause) {
        return R::failure(std::string(kInvalidMovieMessage) + " (" + cause + ")");
    };
    auto bytes = swf::readMovieBytes(path);
    if (!bytes)
        return refused(bytes.message());
    SwfMovieFile file;
    if (!file.header.read(bytes->data(), bytes->size()))
        return refused(path + ": the header or the compressed body is not an SWF movie's");
    // Characters a movie imports come from files beside it.
    auto movie = swf::Movie::load(*bytes, swf::importsFromFolder(
                                              std::filesystem::path(path).parent_path()));
    if (!movie)
        return refused(path + ": " + movie.message());
    file.movie = std::move(*movie);
    return file;
}

namespace {

bool timelineHasScripts(const swf::Timeline& timeline) {
    for (const swf::TimelineFrame& frame : timeline.frames) {
        if (!frame.actions.empty() || !frame.initActions.empty())
            return true;
        for (const swf::DisplayTag& tag : frame.displayTags)
            if (tag.kind == swf::DisplayTag::Kind::Place && !tag.place.clipEvents.empty())
                return true;
    }
    return false;
}

} // namespace

std::vector<MovieSoundEntry> movieSounds(const SwfMovieFile& file) {
    std::vector<MovieSoundEntry> sounds;
    if (!file.movie)
        return sounds;
    for (const swf::MovieSoundListing& e : swf::listMovieSounds(*file.movie->definition()))
        sounds.push_back({e.stream, e.characterId, e.format, e.rate, e.channels, e.seconds});
    return sounds;
}

std::string movieScripts(const SwfMovieFile& file) {
    if (!file.movie)
        return "none";
    const swf::MovieDefinition& definition = *file.movie->definition();
    if (definition.usesActionScript3())
        return "ActionScript 3 (not run)";
    bool scripts = timelineHasScripts(definition.root);
    for (const auto& [id, character] : definition.characters) {
        (void)id;
        if (scripts)
            break;
        if (character.sprite)
            scripts = timelineHasScripts(character.sprite->timeline);
        else if (character.button)
            scripts = !character.button->conditions.empty();
    }
    return scripts ? "ActionScript 1/2" : "none";
}

std::vector<std::string> movieFileWarnings(const SwfMovieFile& file) {
    std::vector<std::string> warnings;
    // A movie is damaged when its reading had to skip or stop; a whole movie that merely
    // shows fewer frames than its header counts is not.
    if (!file.movie || file.movie->warnings().empty())
        return warnings;
    const int declared = file.header.frameCount, readable = file.movie->frameCount();
    if (readable < declared)
        warnings.push_back("The movie is damaged: only " + std::to_string(readable) + " of its " +
                           std::to_string(declared) + " frames could be read.");
    for (const std::string& warning : file.movie->warnings())
        warnings.push_back(warning);
    return warnings;
}

} // namespace swivio
