#include "make/make_job.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "make/dither/dither_choice.h"
#include "make/output/frames_dir.h"
#include "toolkit/translation.h"

namespace animmake {
namespace {

// What the frames are encoded and written with, owned by the run (too large for a thread's stack).
struct Encoding {
    animconv::EncoderState encoder;
    animconv::EncodedFrame encoded;
};

}  // namespace

std::uint8_t waitByteOf(const InputItem& item, const MakeOptions& options, const PipelineFrame& frame) {
    const int delayMs = frame.delayMs;
    if (item.wait >= 0) {
        return static_cast<std::uint8_t>(item.wait);
    }
    if (options.wait != kWaitNotGiven) {
        return static_cast<std::uint8_t>(options.wait);
    }
    if (delayMs == kNoDelay) {
        return kDefaultWait;
    }
    const long units = std::lround(static_cast<double>(delayMs) / options.source.video.waitUnitMs);
    return static_cast<std::uint8_t>(std::clamp(units, frame.fromStream ? 0L : 1L, 255L));
}

MakeStatus makeFrames(const std::vector<InputItem>& inputs, const MakeOptions& options, StreamOutput& output,
                      const MakeHooks& hooks, MakeTotals& totals, MakeFailure& failure) {
    // One worker more than cores: a worker waiting on its file or on libvips' hand-over leaves a core idle
    // otherwise (measured on 2 cores: 1280x720 PNGs 12% faster with 3 workers than with 2).
    const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1U, 16U) + 1;
    FramePipeline pipeline(inputs, options.source, options.dither, workers);
    const auto encoding = std::make_unique<Encoding>();
    animconv::EncoderState& encoder = encoding->encoder;
    encoder.deltaMode = options.delta;
    animconv::EncodedFrame& encoded = encoding->encoded;
    FrameBmpWriter bmps(options.dither == Dither::none ? BmpDepth::direct24 : BmpDepth::cubePalette8);
    // A dither that remembers the frames before runs here, in stream order; the workers apply the others.
    const std::unique_ptr<FrameDither> inOrder =
        ditherRemembers(options.dither) ? makeDither(options.dither) : nullptr;
    const auto report = [&](const MakeProgress& progress) {
        if (hooks.progress) {
            hooks.progress(progress);
        }
    };
    std::string error;
    for (std::size_t input = 0; input < inputs.size(); ++input) {
        std::size_t inputFrame = 0;
        for (;;) {
            if (hooks.cancel != nullptr && hooks.cancel->load()) {
                return MakeStatus::cancelled;
            }
            PipelineFrame frame;
            LoadFailure loadFailure;
            const FramePipeline::Next next = pipeline.next(input, frame, loadFailure);
            if (next == FramePipeline::Next::failed) {
                failure = {inputs[input].path + ": " + loadFailure.reason, loadFailure.libraryText};
                return MakeStatus::failed;
            }
            if (next == FramePipeline::Next::inputDone) {
                if (!loadFailure.reason.empty() && hooks.notice) {  // the input was used in part
                    hooks.notice(inputs[input].path, loadFailure.reason);
                }
                break;
            }
            if (inOrder && frame.fromStream) {
                inOrder->passOver();
            } else if (inOrder) {
                inOrder->apply(*frame.pixels);
            }
            animconv::encodeFrame(encoder, *frame.pixels, waitByteOf(inputs[input], options, frame), encoded);
            animconv::rememberFrame(encoder, *frame.pixels);
            if (!output.write(encoded, error)) {
                failure = {error, ""};
                return MakeStatus::failed;
            }
            ++totals.frames;
            if (!options.framesDir.empty() &&
                !bmps.write(options.framesDir + "/" + frameFileName(totals.frames), *frame.pixels, error)) {
                failure = {error, ""};
                return MakeStatus::failed;
            }
            totals.bytes += encoded.length;
            totals.unchanged += encoded.unchangedPixels;
            if (hooks.frame) {
                hooks.frame(encoded);
            }
            report({input, totals.frames, ++inputFrame, frame.inputFrames, false});
        }
        pipeline.advance();
        report({input, totals.frames, inputFrame, 0, true});
    }
    return MakeStatus::done;
}

MakeFailure failureOfThrown(const std::exception_ptr& thrown) {
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        return {_("out of memory; the stream was left as it was"), ""};
    } catch (const std::system_error& error) {
        return {std::string(_("cannot start the worker threads (")) + error.code().message() +
                    _("); the stream was left as it was"),
                ""};
    } catch (const std::exception& error) {
        return {_("an unexpected error; the stream was left as it was"), error.what()};
    } catch (...) {
        return {_("an unexpected error; the stream was left as it was"), ""};
    }
}

}  // namespace animmake
