#include "make/progress_estimate.h"

#include <algorithm>
#include <utility>

namespace animmake {

WorkEstimate::WorkEstimate(std::vector<std::uint64_t> inputBytes) : bytes_(std::move(inputBytes)) {}

void WorkEstimate::update(std::size_t input, std::size_t frame, std::size_t frames) {
    current_ = input;
    frame_ = frame;
    frames_ = frames;
}

void WorkEstimate::finish(std::size_t input, std::size_t frames) {
    given_.resize(std::max(given_.size(), input + 1), 0);
    given_[input] = frames;
    current_ = input + 1;
    frame_ = 0;
    frames_ = 0;
}

double WorkEstimate::done() const {
    if (bytes_.empty()) {
        return 1.0;
    }
    // Frames per byte over what is known: the inputs done, and the current one when its count is.
    double knownFrames = 0;
    double knownBytes = 0;
    double doneFrames = 0;
    for (std::size_t input = 0; input < std::min(current_, bytes_.size()); ++input) {
        const double given = input < given_.size() ? static_cast<double>(given_[input]) : 0.0;
        knownFrames += given;
        knownBytes += static_cast<double>(bytes_[input]);
        doneFrames += given;
    }
    const bool countKnown = frames_ > 0 && current_ < bytes_.size();
    if (countKnown) {
        knownFrames += static_cast<double>(std::max(frames_, frame_));
        knownBytes += static_cast<double>(bytes_[current_]);
    }
    const std::size_t reached = std::min(current_, bytes_.size());
    const double perInput =
        reached > 0 ? knownFrames / static_cast<double>(reached + (countKnown ? 1 : 0)) : 1.0;
    const auto estimated = [&](std::size_t input) {
        if (knownBytes > 0 && knownFrames > 0) {
            return std::max(1.0, static_cast<double>(bytes_[input]) * knownFrames / knownBytes);
        }
        return std::max(1.0, perInput);
    };
    double total = doneFrames;
    for (std::size_t input = reached; input < bytes_.size(); ++input) {
        if (input == current_) {
            total += countKnown ? static_cast<double>(std::max(frames_, frame_))
                                : std::max(estimated(input), static_cast<double>(frame_));
        } else {
            total += estimated(input);
        }
    }
    const double share = total > 0 ? (doneFrames + static_cast<double>(frame_)) / total : 1.0;
    return std::clamp(share, 0.0, 1.0);
}

}  // namespace animmake
