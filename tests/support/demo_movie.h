#pragma once

// The demo movie, under the test kit's names.
#include "resources/demo/demo_movie.h"

namespace swivio::testkit {
using namespace swivio::demo;
} // namespace swivio::testkit
