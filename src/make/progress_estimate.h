// How much of a run is done, over all its inputs: each counted by the frames it is known to give (a
// video's container count, a GIF's pages, one for a still once it is reached), an input not yet reached by
// its size at the frames per byte seen so far.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace animmake {

class WorkEstimate {
  public:
    explicit WorkEstimate(std::vector<std::uint64_t> inputBytes);

    // Input `input` (the inputs before it done) has given `frame` frames of the `frames` it is expected to
    // give (0 when unknown).
    void update(std::size_t input, std::size_t frame, std::size_t frames);
    // Input `input` is done, having given `frames` frames.
    void finish(std::size_t input, std::size_t frames);

    // The share of the run done, 0 to 1.
    double done() const;

  private:
    std::vector<std::uint64_t> bytes_;
    std::vector<std::size_t> given_;  // the frames of the inputs done
    std::size_t current_ = 0;
    std::size_t frame_ = 0;
    std::size_t frames_ = 0;
};

}  // namespace animmake
