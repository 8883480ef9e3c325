#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "swf/format/movie_definition.h"
#include "tests/support/swf_movies.h"
#include "tests/support/swf_shapes.h"

namespace swivio::swf::test {

inline std::shared_ptr<const MovieDefinition> definitionOf(const testkit::SwfWriter& w) {
    auto definition = readMovieDefinition(w.build());
    EXPECT_TRUE(definition.ok()) << definition.message();
    if (definition.ok())
        for (const std::string& warning : (*definition)->warnings)
            ADD_FAILURE() << "unexpected warning: " << warning;
    return definition.ok() ? *definition : nullptr;
}

// Shapes 1, 2 and 3: red, green and blue squares of 100 x 100 twips at the origin.
inline void defineSquares(testkit::SwfWriter& w) {
    using testkit::TagCode;
    w.tag(TagCode::DefineShape3, testkit::rectangleShape(1, 0, 0, 100, 100, 255, 0, 0));
    w.tag(TagCode::DefineShape3, testkit::rectangleShape(2, 0, 0, 100, 100, 0, 255, 0));
    w.tag(TagCode::DefineShape3, testkit::rectangleShape(3, 0, 0, 100, 100, 0, 0, 255));
}

} // namespace swivio::swf::test
