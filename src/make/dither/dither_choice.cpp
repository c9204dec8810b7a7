#include "make/dither/dither_choice.h"

#include "make/dither/dither.h"
#include "make/dither/search_dither.h"

namespace animmake::dither {

bool ditherRemembers(Dither dither) {
    return dither == Dither::steady || dither == Dither::search;
}

std::unique_ptr<FrameDither> makeDither(Dither dither) {
    switch (dither) {
        case Dither::steady:
            return std::make_unique<SteadyDither>();
        case Dither::search:
            return std::make_unique<SearchDither>();
        case Dither::ordered:
            return std::make_unique<OrderedDither>();
        case Dither::diffusion:
            return std::make_unique<DiffusionDither>();
        case Dither::none:
            break;
    }
    return nullptr;
}

}  // namespace animmake::dither
