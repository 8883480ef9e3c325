#pragma once

// Tests build their movies with the product's SWF writing code, under the test kit's names.
#include "swf/writer/swf_writer.h"

namespace swivio::testkit {
using namespace swivio::swf::writer;
} // namespace swivio::testkit
