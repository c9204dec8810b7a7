#include "animdump/gif_images.h"

#include <algorithm>
#include <cstring>

namespace animdump {
namespace {

using animconv::kFrameHeight;
using animconv::kFrameWidth;
using animconv::kUnchangedMarker;

}  // namespace

GifPalette paletteFor(const bool (&used)[256]) {
    GifPalette palette;
    int slot = 0;
    for (int index = 0; index < 256; ++index) {
        if (used[index] && index != kGifTransparentIndex) {
            palette.slotOf[index] = static_cast<std::uint8_t>(slot);
            palette.indexAt[slot] = static_cast<std::uint8_t>(index);
            ++slot;
        }
    }
    palette.transparentSlot = static_cast<std::uint8_t>(slot);
    palette.slotOf[kGifTransparentIndex] = palette.transparentSlot;
    palette.entries = slot + 1;
    while ((1 << palette.bits) < palette.entries) {
        ++palette.bits;
    }
    return palette;
}

bool GifImagePlanner::add(const std::uint8_t* values, std::uint16_t delay, GifImage& ready) {
    // The rectangle around the pixels that differ from what is on screen: a pixel a frame wrote again with
    // the colour it already had counts as unchanged too.
    int left = kFrameWidth;
    int right = -1;
    int top = kFrameHeight;
    int bottom = -1;
    for (int y = 0; y < kFrameHeight; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * kFrameWidth;
        for (int x = 0; x < kFrameWidth; ++x) {
            const std::uint8_t value = values[row + static_cast<std::size_t>(x)];
            if (havePending_ &&
                (value == kUnchangedMarker || value == shown_[row + static_cast<std::size_t>(x)])) {
                continue;
            }
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) {
        // Nothing changes: the image on screen stays for longer, when its delay can hold the sum.
        if (std::uint32_t{pending_.delay} + delay <= kLongestGifDelay) {
            pending_.delay = static_cast<std::uint16_t>(pending_.delay + delay);
            return false;
        }
        left = right = top = bottom = 0;  // one transparent pixel carries the delay
    }
    const bool first = !havePending_;
    if (havePending_) {
        std::memcpy(&ready, &pending_, sizeof ready);
    }
    GifImage& image = pending_;
    image.left = left;
    image.top = top;
    image.width = right - left + 1;
    image.height = bottom - top + 1;
    image.delay = delay;
    image.hasTransparency = false;
    std::uint8_t* out = image.pixels;
    for (int y = top; y <= bottom; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * kFrameWidth;
        for (int x = left; x <= right; ++x) {
            const std::size_t at = row + static_cast<std::size_t>(x);
            const std::uint8_t value = values[at];
            if (!first && (value == kUnchangedMarker || value == shown_[at])) {
                *out++ = kGifTransparentIndex;
                image.hasTransparency = true;
            } else {
                *out++ = value;
                shown_[at] = value;
            }
        }
    }
    havePending_ = true;
    return !first;
}

bool GifImagePlanner::finish(GifImage& ready) {
    if (!havePending_) {
        return false;
    }
    std::memcpy(&ready, &pending_, sizeof ready);
    havePending_ = false;
    return true;
}

}  // namespace animdump
