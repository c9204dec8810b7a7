// animmake: ordinary images and videos in, an animation stream out, through the project's encoder.
#include <vips/vips8>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "convert/frame_encoder.h"
#include "make/dither.h"
#include "make/frame_pipeline.h"
#include "make/frames_dir.h"
#include "make/input_list.h"
#include "make/make_options.h"
#include "make/output_guard.h"
#include "make/search_dither.h"
#include "make/stream_output.h"
#include "make/video_source.h"
#include "platform/tool_platform.h"

namespace {

using namespace animmake;
using Clock = std::chrono::steady_clock;

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

bool verbose = false;

int fail(const std::string& message, int status = kExitFailed) {
    toolplatform::writeText(stderr, "animmake: " + message + "\n");
    return status;
}

// With --verbose, the library's own words after the plain line, each line of them marked as such.
void showLibraryText(const std::string& text) {
    std::size_t start = 0;
    while (verbose && start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        if (end > start) {
            toolplatform::writeText(stderr, "animmake:   library: " + text.substr(start, end - start) + "\n");
        }
        start = end + 1;
    }
}

int failLoading(const std::string& input, const LoadFailure& failure) {
    fail(input + ": " + failure.reason);
    showLibraryText(failure.libraryText);
    return kExitFailed;
}

// What the main thread met while the frames were made, as one line.
int failThrown(const std::exception_ptr& thrown) {
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        return fail("out of memory; the stream was left as it was");
    } catch (const std::system_error& error) {
        return fail(std::string("cannot start the worker threads (") + error.code().message() +
                    "); the stream was left as it was");
    } catch (const std::exception& error) {
        fail("an unexpected error; the stream was left as it was");
        showLibraryText(error.what());
        return kExitFailed;
    } catch (...) {
        return fail("an unexpected error; the stream was left as it was");
    }
}

// libvips from its start to its shutdown, which comes on every way out of runMake after everything that
// used it: the pipeline's threads joined, every image released. libvips' own threads are stopped with it,
// so none is left running while the process exits.
class ImageLibrary {
  public:
    explicit ImageLibrary(const char* program) : started_(VIPS_INIT(program) == 0) {}
    ~ImageLibrary() {
        if (started_) {
            vips_shutdown();
        }
    }
    ImageLibrary(const ImageLibrary&) = delete;
    ImageLibrary& operator=(const ImageLibrary&) = delete;
    bool started() const { return started_; }

  private:
    bool started_;
};

// The wait byte of a frame: the list's, then --wait, then the input's own delay in wait units.
std::uint8_t waitByteOf(const InputItem& item, const MakeOptions& options, int delayMs) {
    if (item.wait >= 0) {
        return static_cast<std::uint8_t>(item.wait);
    }
    if (options.wait != kWaitNotGiven) {
        return static_cast<std::uint8_t>(options.wait);
    }
    if (delayMs == kNoDelay) {
        return kDefaultWait;
    }
    const long units = std::lround(static_cast<double>(delayMs) / options.waitUnitMs);
    return static_cast<std::uint8_t>(std::clamp(units, 1L, 255L));
}

class Progress {
  public:
    Progress(bool shown, std::size_t inputs) : shown_(shown), inputs_(inputs), start_(Clock::now()) {}

    // `inputFrame` of `inputFrames` (0 when unknown) of the input under way; `inputsDone` inputs before it.
    void update(std::size_t inputsDone, std::size_t frames, std::size_t inputFrame = 0,
                std::size_t inputFrames = 0) {
        if (!shown_) {
            return;
        }
        const Clock::time_point now = Clock::now();
        if (now - lastShown_ < std::chrono::milliseconds(200) && inputsDone < inputs_) {
            return;
        }
        lastShown_ = now;
        const double seconds = elapsed();
        const double perSecond = seconds > 0 ? static_cast<double>(frames) / seconds : 0.0;
        // The share of the work done: whole inputs, plus the part of the current one where its length is
        // known (a video's frames).
        double done = static_cast<double>(inputsDone);
        std::string within;
        if (inputFrames > 1 && inputsDone < inputs_) {
            done += std::min(1.0, static_cast<double>(inputFrame) / static_cast<double>(inputFrames));
            within = ", frame " + std::to_string(inputFrame) + "/" + std::to_string(inputFrames);
        }
        const double left = done > 0 ? seconds * (static_cast<double>(inputs_) - done) / done : 0.0;
        std::fprintf(stderr, "\ranimmake: %zu frames, input %zu/%zu%s, %.1f frames/s, %.0f s left   ", frames,
                     std::min(inputsDone + 1, inputs_), inputs_, within.c_str(), perSecond, left);
        std::fflush(stderr);
    }

    double elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }
    void clear() {
        if (shown_) {
            std::fputc('\r', stderr);
            std::fprintf(stderr, "%100s\r", "");
        }
    }

  private:
    bool shown_;
    std::size_t inputs_;
    Clock::time_point start_;
    Clock::time_point lastShown_{};
};

struct Totals {
    std::size_t frames = 0;
    std::uint64_t bytes = 0;
    std::uint64_t unchanged = 0;
};

// Takes the frames in order, encodes each, writes it (and its BMP), and keeps the totals.
int encodeAll(const std::vector<InputItem>& inputs, const MakeOptions& options, Totals& totals) {
    SourceSettings settings{options.fit, options.background, options.maxPixels, options.video, {}};
    settings.video.waitUnitMs = options.waitUnitMs;
    settings.video.fixedWait = options.wait != kWaitNotGiven;
    // One worker more than cores: a worker waiting on its file or on libvips' hand-over leaves a core idle
    // otherwise (measured on 2 cores: 1280x720 PNGs 12% faster with 3 workers than with 2).
    const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1U, 16U) + 1;
    FramePipeline pipeline(inputs, settings, options.dither, workers);
    Progress progress(!options.quiet && toolplatform::isTerminal(stderr), inputs.size());
    static animconv::EncoderState encoder;
    encoder.deltaMode = options.delta;
    static animconv::EncodedFrame encoded;
    const BmpDepth depth = options.dither == Dither::none ? BmpDepth::direct24 : BmpDepth::cubePalette8;
    SteadyDither steady;  // remembers the frames before: it runs here, in stream order, not in the workers
    SearchDither search;  // so does this one
    std::string error;
    for (std::size_t input = 0; input < inputs.size(); ++input) {
        std::size_t inputFrame = 0;
        for (;;) {
            PipelineFrame frame;
            LoadFailure failure;
            const FramePipeline::Next next = pipeline.next(input, frame, failure);
            if (next == FramePipeline::Next::failed) {
                progress.clear();
                return failLoading(inputs[input].path, failure);
            }
            if (next == FramePipeline::Next::inputDone) {
                if (!failure.reason.empty()) {  // a notice: the input was used in part
                    progress.clear();
                    std::fprintf(stderr, "animmake: %s: %s\n", inputs[input].path.c_str(),
                                 failure.reason.c_str());
                }
                break;
            }
            if (options.dither == Dither::steady) {
                steady.apply(*frame.pixels);
            } else if (options.dither == Dither::search) {
                search.apply(*frame.pixels);
            }
            animconv::encodeFrame(encoder, *frame.pixels, waitByteOf(inputs[input], options, frame.delayMs),
                                  encoded);
            animconv::rememberFrame(encoder, *frame.pixels);
            if (!writeStreamFrame(encoded, error)) {
                progress.clear();
                return fail(error);
            }
            ++totals.frames;
            if (!options.framesDir.empty() &&
                !writeFrameBmp(options.framesDir + "/" + frameFileName(totals.frames), *frame.pixels, depth,
                               error)) {
                progress.clear();
                return fail(error);
            }
            totals.bytes += encoded.length;
            totals.unchanged += encoded.unchangedPixels;
            progress.update(input, totals.frames, ++inputFrame, frame.inputFrames);
        }
        pipeline.advance();
        progress.update(input + 1, totals.frames);
    }
    progress.clear();
    return kExitDone;
}

int runMake(int argc, char** argv) {
    installInterruptHandlers();  // held until the libraries have started their threads
    MakeOptions options;
    std::string error;
    switch (parseMakeOptions(argc, argv, options, error)) {
        case OptionsResult::help:
            std::fputs(helpText().c_str(), stdout);
            return kExitDone;
        case OptionsResult::version:
            std::fputs(versionText().c_str(), stdout);
            return kExitDone;
        case OptionsResult::usageError:
            toolplatform::writeText(stderr,
                                    "animmake: " + error + "\nTry 'animmake --help' for more information.\n");
            return kExitUsage;
        case OptionsResult::run:
            break;
    }
    verbose = options.verbose;
    const ImageLibrary imageLibrary(argv[0]);
    if (!imageLibrary.started()) {
        fail("cannot start the image library (libvips)");
        showLibraryText(vips_error_buffer());
        return kExitFailed;
    }
    configureImageLibrary();
    configureVideoLibrary();
    takeInterrupts();

    std::vector<InputItem> inputs;
    if (!expandInputs(options.inputs, inputs, error)) {
        return fail(error);
    }
    if (!outputsSpareInputs(options, inputs, error)) {
        return fail(error, kExitUsage);
    }
    if (!options.framesDir.empty() && !prepareFramesDir(options.framesDir, error)) {
        return fail(error);
    }
    if (!openStream(options.streamPath, options.outputMode, error)) {
        return fail(error);
    }
    Totals totals;
    const auto start = Clock::now();
    int status = kExitFailed;
    try {
        status = encodeAll(inputs, options, totals);
    } catch (...) {
        status = failThrown(std::current_exception());
    }
    if (status != kExitDone) {
        abandonStream();
        return status;
    }
    if (!finishStream(error)) {
        return fail(error);
    }
    if (!options.quiet) {
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double share = totals.frames > 0
                                 ? static_cast<double>(totals.unchanged) /
                                       (static_cast<double>(totals.frames) * animconv::kFramePixels)
                                 : 0.0;
        char summary[160];
        std::snprintf(summary, sizeof summary, "animmake: %zu frames, %llu bytes, %.3f unchanged, %.2f s -> ",
                      totals.frames, static_cast<unsigned long long>(totals.bytes), share, seconds);
        toolplatform::writeText(stderr, summary + options.streamPath + "\n");
    }
    return kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
    toolplatform::Utf8CommandLine commandLine(argc, argv);
    try {
        return runMake(commandLine.argc(), commandLine.argv());
    } catch (...) {
        // Before any output was opened (reading the inputs, say): nothing to undo.
        return failThrown(std::current_exception());
    }
}
