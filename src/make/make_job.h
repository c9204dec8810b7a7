// One run of the maker: the inputs taken through the frame pipeline, in order, each frame dithered, timed,
// encoded and written to an open stream. animmake's command line and animstudio's page both make their
// streams through this, so that the same inputs and options give the same bytes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "convert/frame_encoder.h"
#include "make/frame_pipeline.h"
#include "make/inputs/input_list.h"
#include "make/make_options.h"
#include "make/output/stream_output.h"

namespace animmake {

// The wait byte of a frame: the list's, then --wait, then the input's own delay in wait units (at least 1,
// except for a stream's frame, whose wait 0 is its own).
std::uint8_t waitByteOf(const InputItem& item, const MakeOptions& options, const PipelineFrame& frame);

struct MakeTotals {
    std::size_t frames = 0;
    std::uint64_t bytes = 0;
    std::uint64_t unchanged = 0;
};

// Where a run stands, after each frame and at the end of each input.
struct MakeProgress {
    std::size_t input = 0;        // the input being read (the ones before it done)
    std::size_t frames = 0;       // frames in the stream so far
    std::size_t inputFrame = 0;   // frames of this input so far
    std::size_t inputFrames = 0;  // the frames it is expected to give; 0 when unknown
    bool inputDone = false;       // the input is finished; inputFrame is all it gave
};

// What a run tells its caller as it goes; every member may be left empty.
struct MakeHooks {
    std::function<void(const MakeProgress&)> progress;
    // Each frame's stream bytes (run records, terminator and wait byte) once written, in stream order.
    std::function<void(const animconv::EncodedFrame&)> frame;
    // An input used only in part: its name and the reason, one line.
    std::function<void(const std::string& input, const std::string& reason)> notice;
    // Checked before each frame; when it turns true the run stops as cancelled.
    const std::atomic<bool>* cancel = nullptr;
};

enum class MakeStatus { done, failed, cancelled };

// Why a run failed: one line, naming the input or the output, and a library's own words when it gave some.
struct MakeFailure {
    std::string reason;
    std::string libraryText;
};

// Makes the frames of `inputs` into `output` (opened by the caller, who finishes or abandons it). `options`
// give the dither, delta, wait and the sources' settings, and --frames-dir. On failure `failure` holds the
// line. What is thrown inside (out of memory, no threads) passes through: failureOfThrown words it.
MakeStatus makeFrames(const std::vector<InputItem>& inputs, const MakeOptions& options, StreamOutput& output,
                      const MakeHooks& hooks, MakeTotals& totals, MakeFailure& failure);

// The line for something thrown out of a run: out of memory, no threads, or an unexpected error (with its
// text, if any, in `failure.libraryText`).
MakeFailure failureOfThrown(const std::exception_ptr& thrown);

}  // namespace animmake
