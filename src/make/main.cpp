// animmake: ordinary images and videos in, an animation stream out, through the project's encoder.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "make/inputs/input_list.h"
#include "make/inputs/video_source.h"
#include "make/make_job.h"
#include "make/make_options.h"
#include "make/output/frames_dir.h"
#include "make/output/stream_output.h"
#include "make/output_guard.h"
#include "make/progress_estimate.h"
#include "toolkit/image_library.h"
#include "toolkit/numbered_files.h"
#include "toolkit/own_window.h"
#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

namespace {

using namespace animmake;
using Clock = std::chrono::steady_clock;

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The run's lines on standard error: one per failure, with --verbose followed by the library's own words.
class Messages {
  public:
    explicit Messages(bool verbose) : verbose_(verbose) {}

    int fail(const std::string& message, int status = kExitFailed) const {
        toolplatform::writeText(stderr, "animmake: " + message + "\n");
        return status;
    }

    // With --verbose, the library's own words after the plain line, each line of them marked as such.
    void showLibraryText(const std::string& text) const {
        std::size_t start = 0;
        while (verbose_ && start < text.size()) {
            std::size_t end = text.find('\n', start);
            end = end == std::string::npos ? text.size() : end;
            if (end > start) {
                toolplatform::writeText(stderr,
                                        _("animmake:   library: ") + text.substr(start, end - start) + "\n");
            }
            start = end + 1;
        }
    }

    // A run's failure: its line, then with --verbose the library's words.
    int failMaking(const MakeFailure& failure) const {
        fail(failure.reason);
        showLibraryText(failure.libraryText);
        return kExitFailed;
    }

    // What the main thread met while the frames were made, as one line.
    int failThrown(const std::exception_ptr& thrown) const { return failMaking(failureOfThrown(thrown)); }

  private:
    bool verbose_;
};

std::vector<std::uint64_t> sizesOf(const std::vector<InputItem>& inputs) {
    std::vector<std::uint64_t> sizes;
    for (const InputItem& input : inputs) {
        std::error_code code;
        const std::uintmax_t size = std::filesystem::file_size(toolplatform::pathOf(input.path), code);
        sizes.push_back(code ? 0 : static_cast<std::uint64_t>(size));
    }
    return sizes;
}

class Progress {
  public:
    Progress(bool shown, const std::vector<InputItem>& inputs)
        : shown_(shown),
          inputs_(inputs.size()),
          estimate_(shown ? sizesOf(inputs) : std::vector<std::uint64_t>{}),
          start_(Clock::now()) {}

    // `inputFrame` of `inputFrames` (0 when unknown) of input `input` (the ones before it done); `frames`
    // in the stream so far.
    void update(std::size_t input, std::size_t frames, std::size_t inputFrame, std::size_t inputFrames) {
        if (!shown_) {
            return;
        }
        estimate_.update(input, inputFrame, inputFrames);
        const Clock::time_point now = Clock::now();
        if (now - lastShown_ < std::chrono::milliseconds(200)) {
            return;
        }
        show(input, frames,
             inputFrames > 1 ? _(", frame ") + std::to_string(inputFrame) + "/" + std::to_string(inputFrames)
                             : std::string());
    }

    // Input `input` is done, having given `inputFrames` frames.
    void inputDone(std::size_t input, std::size_t frames, std::size_t inputFrames) {
        if (!shown_) {
            return;
        }
        estimate_.finish(input, inputFrames);
        if (input + 1 == inputs_ || Clock::now() - lastShown_ >= std::chrono::milliseconds(200)) {
            show(input + 1, frames, "");
        }
    }

    void clear() {
        if (shown_) {
            std::fputc('\r', stderr);
            std::fprintf(stderr, "%100s\r", "");
        }
    }

  private:
    void show(std::size_t input, std::size_t frames, const std::string& within) {
        lastShown_ = Clock::now();
        const double seconds = std::chrono::duration<double>(lastShown_ - start_).count();
        const double perSecond = seconds > 0 ? static_cast<double>(frames) / seconds : 0.0;
        const double done = estimate_.done();
        const double left = done > 0 ? seconds * (1.0 - done) / done : 0.0;
        std::fputc('\r', stderr);
        toolplatform::printText(stderr, _("animmake: %s, input %zu/%zu%s, %.1f frames/s, %.0f s left   "),
                                framesText(frames).c_str(), std::min(input + 1, inputs_), inputs_,
                                within.c_str(), perSecond, left);
        std::fflush(stderr);
    }

    bool shown_;
    std::size_t inputs_;
    WorkEstimate estimate_;
    Clock::time_point start_;
    Clock::time_point lastShown_{};
};

// Takes the frames in order through the maker, with the progress line on a terminal.
int encodeAll(const std::vector<InputItem>& inputs, const MakeOptions& options, const Messages& messages,
              StreamOutput& output, MakeTotals& totals) {
    Progress progress(!options.quiet && toolplatform::isTerminal(stderr), inputs);
    MakeHooks hooks;
    hooks.progress = [&](const MakeProgress& at) {
        if (at.inputDone) {
            progress.inputDone(at.input, at.frames, at.inputFrame);
        } else {
            progress.update(at.input, at.frames, at.inputFrame, at.inputFrames);
        }
    };
    hooks.notice = [&](const std::string& input, const std::string& reason) {
        progress.clear();
        toolplatform::printText(stderr, "animmake: %s: %s\n", input.c_str(), reason.c_str());
    };
    MakeFailure failure;
    const MakeStatus status = makeFrames(inputs, options, output, hooks, totals, failure);
    progress.clear();
    return status == MakeStatus::done ? kExitDone : messages.failMaking(failure);
}

int runMake(int argc, char** argv) {
    installInterruptHandlers();  // held until the libraries have started their threads
    MakeOptions options;
    std::string error;
    switch (parseMakeOptions(argc, argv, options, error)) {
        case OptionsResult::help:
            toolplatform::writeText(stdout, helpText());
            return kExitDone;
        case OptionsResult::version:
            toolplatform::writeText(stdout, versionText());
            return kExitDone;
        case OptionsResult::usageError:
            toolplatform::writeText(
                stderr, "animmake: " + error + _("\nTry 'animmake --help' for more information.\n"));
            return kExitUsage;
        case OptionsResult::run:
            break;
    }
    const Messages messages(options.verbose);
    // Shut down on every way out of runMake, after the pipeline's threads and every image. Every failure is
    // reported once, as one line naming the input; libvips' own warnings would repeat it. One libvips
    // thread per pipeline: the workers are the parallelism.
    const imagelibrary::ImageLibrary imageLibrary(argv[0], {.quiet = true, .cached = false, .threads = 1});
    if (!imageLibrary.started()) {
        messages.fail(_("cannot start the image library (libvips)"));
        messages.showLibraryText(imageLibrary.failure());
        return kExitFailed;
    }
    configureVideoLibrary();
    takeInterrupts();

    // A list dropped on animmake.exe arrives as the only argument, without its @.
    if (options.inputs.size() == 1 && isLoneList(options.inputs.front())) {
        options.inputs.front() = "@" + options.inputs.front();
    }
    if (options.streamPath.empty() && options.inputs.front() == "@-") {
        toolplatform::writeText(stderr, _("animmake: missing '-o STREAM' (a list on standard input names no "
                                          "stream)\nTry 'animmake --help' for more information.\n"));
        return kExitUsage;
    }
    std::vector<InputItem> inputs;
    std::string first;
    if (!expandInputs(options.inputs, inputs, error, toolplatform::kExpandsWildcards, &first)) {
        return messages.fail(error);
    }
    if (options.streamPath.empty()) {
        // A file dropped on animmake.exe: the stream beside it, named after it.
        const std::string named = first.size() > 1 && first[0] == '@' ? first.substr(1) : first;
        options.streamPath = streamNameBeside(named, toolplatform::isFolder(named));
    }
    if (!outputsSpareInputs(options, inputs, error) || !outputsWritable(options, error)) {
        return messages.fail(error, kExitUsage);
    }
    if (!options.framesDir.empty() && !prepareFramesDir(options.framesDir, error)) {
        return messages.fail(error);
    }
    // Left as it was on every way out before finish(), a thrown one too.
    StreamOutput output;
    if (!output.open(options.streamPath, options.outputMode, error)) {
        return messages.fail(error);
    }
    MakeTotals totals;
    const auto start = Clock::now();
    int status = kExitFailed;
    try {
        status = encodeAll(inputs, options, messages, output, totals);
    } catch (...) {
        status = messages.failThrown(std::current_exception());
    }
    if (status != kExitDone) {
        output.abandon();
        return status;
    }
    if (!output.finish(error)) {
        return messages.fail(error);
    }
    // Frames of an earlier, longer run would follow this run's and change what animconv makes of them.
    if (!options.framesDir.empty() &&
        !toolkit::removeNumberedAfter(options.framesDir, "frame-", 6, ".bmp", totals.frames, error)) {
        return messages.fail(error);
    }
    if (!options.quiet) {
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double share = totals.frames > 0
                                 ? static_cast<double>(totals.unchanged) /
                                       (static_cast<double>(totals.frames) * animconv::kFramePixels)
                                 : 0.0;
        char summary[320];  // room for a translation
        std::snprintf(summary, sizeof summary, _("animmake: %s, %llu bytes, %.3f unchanged, %.2f s -> "),
                      framesText(totals.frames).c_str(), static_cast<unsigned long long>(totals.bytes), share,
                      seconds);
        toolplatform::writeText(stderr, summary + options.streamPath + "\n");
    }
    return kExitDone;
}

int runOrFail(int argc, char** argv) {
    try {
        return runMake(argc, argv);
    } catch (...) {
        // Before any output was opened (reading the inputs, say): nothing to undo.
        return Messages(false).failThrown(std::current_exception());
    }
}

}  // namespace

int main(int argc, char** argv) {
    toolkit::startTranslation();
    return toolplatform::runWaitingInOwnWindow(argc, argv, runOrFail, animmake::helpText);
}
