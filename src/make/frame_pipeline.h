// Decoding, fitting and dithering in parallel, delivered in input order: worker threads each take the next
// input while it lies within a small window ahead of the consumer, and queue at most a few frames of it.
// Frames in flight are thus bounded by window x queue, whatever the number of inputs or pages. Whatever a
// worker meets, a failed load or an exception, reaches the consumer as that input's failure.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "convert/frame_encoder.h"
#include "make/dither/frame_dither.h"
#include "make/inputs/frame_source.h"
#include "make/inputs/input_list.h"
#include "make/inputs/source_settings.h"

namespace animmake {

class FramePipeline {
  public:
    // The workers apply `dither` when it does not remember the frames before (ditherRemembers). `inputs`
    // and `settings` outlive the pipeline.
    FramePipeline(const std::vector<inputs::InputItem>& inputs, const inputs::SourceSettings& settings,
                  dither::Dither dither, unsigned workers);
    ~FramePipeline();
    FramePipeline(const FramePipeline&) = delete;
    FramePipeline& operator=(const FramePipeline&) = delete;

    enum class Next { frame, inputDone, failed };
    // The next frame of input `input` (taken in order, 0, 1, ...): a frame, the input's end (with `notice`
    // set when it was used only in part), or its `failure` (a load that failed, or anything thrown while
    // the input was worked on).
    Next next(std::size_t input, inputs::SourceFrame& frame, inputs::LoadFailure& failure,
              std::string& notice);
    // After inputDone or failed: frees the input's slot for an input further on.
    void advance();

  private:
    struct Slot {
        std::deque<inputs::SourceFrame> frames;
        bool done = false;
        bool failed = false;
        inputs::LoadFailure failure;
        std::string notice;  // an input used in part
    };
    void work();
    void workOn(std::size_t input, Slot& slot, dither::FrameDither* dither);
    bool deliver(Slot& slot, inputs::SourceFrame frame);
    void stopAndJoin();

    const std::vector<inputs::InputItem>& inputs_;
    const inputs::SourceSettings& settings_;
    const dither::Dither dither_;
    std::size_t window_;
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t nextToClaim_ = 0;
    std::size_t consumerAt_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace animmake
