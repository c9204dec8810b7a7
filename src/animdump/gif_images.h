// Which pixels of each frame a GIF preview has to store: frames after the first as the rectangle around the
// pixels that changed, unchanged pixels transparent, and a frame that changes nothing folded into the
// previous image's delay. Plain planning, no image library: any GIF writer can take its images.
#pragma once

#include <cstdint>

#include "stream/stream_format.h"

namespace animdump {

// The colour map index that stands for "as before": unused by the colour cube, and the stream's own marker.
constexpr std::uint8_t kGifTransparentIndex = animconv::kUnchangedMarker;
constexpr std::uint32_t kLongestGifDelay = 0xFFFF;

struct GifImage {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool hasTransparency = false;
    std::uint16_t delay = 0;
    std::uint8_t pixels[animconv::kFramePixels];  // width x height, top row first
};

// The colour table of a preview: only the colours the stream uses, and the transparent slot, in as few
// bits as hold them (a table of 2^n entries), so that every pixel code is as short as it can be.
struct GifPalette {
    int bits = 1;                    // the table has 2^bits entries
    int entries = 0;                 // of which these are in use; slot entries - 1 is the transparent one
    std::uint8_t slotOf[256] = {};   // colour cube index (or kGifTransparentIndex) -> table slot
    std::uint8_t indexAt[256] = {};  // table slot -> colour cube index
    std::uint8_t transparentSlot = 0;
};

// `used[i]` tells whether colour cube index i appears in any frame.
GifPalette paletteFor(const bool (&used)[256]);

class GifImagePlanner {
  public:
    // Frame by frame: `values` are the frame's pixels with its unchanged markers kept (the first frame has
    // none). An image is ready once the next frame shows that its delay is final; then `ready` holds it
    // and add returns true.
    bool add(const std::uint8_t* values, std::uint16_t delay, GifImage& ready);
    // After the last frame: the image still held back, if any.
    bool finish(GifImage& ready);

  private:
    std::uint8_t shown_[animconv::kFramePixels] = {};
    GifImage pending_;
    bool havePending_ = false;
};

}  // namespace animdump
