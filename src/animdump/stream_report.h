// animdump's report on a stream: a table with one row per frame, the totals and the verdict line.
#pragma once

#include <cstddef>
#include <string>

#include "stream/stream_reader.h"

namespace animdump {

struct StreamTotals {
    std::size_t frames = 0;
    std::size_t bytes = 0;
    std::size_t runs = 0;
    std::size_t unchangedPixels = 0;
};

// Checks the whole stream and writes the report. Returns the first problem, or Problem::none for a valid
// stream.
animconv::Problem checkStream(animconv::StreamView stream, StreamTotals& totals, std::string& reportText);

}  // namespace animdump
