#include "studio/studio_session.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "animdump/gif_images.h"
#include "animdump/image_files.h"
#include "make/inputs/video_source.h"
#include "make/make_job.h"
#include "make/output/stream_output.h"
#include "make/output_guard.h"
#include "make/progress_estimate.h"
#include "stream/stream_reader.h"
#include "toolkit/replacing_file.h"
#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

#ifndef _WIN32
#include <stdlib.h>  // mkdtemp
#endif

namespace animstudio {

using animmake::MakeStatus;

class Job {
  public:
    std::string id;
    std::vector<StudioFile> files;
    animmake::MakeOptions options;
    std::string streamPath;
    std::string gifPath;
    std::atomic<bool> cancelled{false};
    std::thread thread;

    mutable std::mutex mutex;
    JobReport report;
    // The frames made, as the stream holds them (a frame as the page draws it is 32,301 bytes; in the stream
    // it is mostly far fewer), and where the page's reading of them stands: the frames before
    // `shownFrames` resolved into `shown`, `shownOffset` the next one's place.
    std::string encoded;
    std::size_t shownFrames = 0;
    std::size_t shownOffset = 0;
    std::unique_ptr<animconv::FrameIndices> shown = std::make_unique<animconv::FrameIndices>();
    bool gifWritten = false;
    std::mutex gifMutex;

    void run();
    // Under `mutex`: the frames from `from` on, wait byte and indices each.
    std::string framesFrom(std::size_t from);
};

namespace {

std::uint64_t sizeOf(const std::string& path) {
    std::error_code code;
    const std::uintmax_t size = std::filesystem::file_size(toolplatform::pathOf(path), code);
    return code ? 0 : static_cast<std::uint64_t>(size);
}

bool readWhole(const std::string& path, std::string& bytes) {
    std::FILE* file = toolplatform::openFile(path, "rb");
    if (file == nullptr) {
        return false;
    }
    const bool read = toolplatform::readAll(file, bytes);
    std::fclose(file);
    return read;
}

// The name without its folder and its last extension: "clip" for "/films/clip.mp4".
std::string stemOf(const std::string& name) {
    const std::filesystem::path path = toolplatform::pathOf(name);
    const std::string stem = toolplatform::utf8Of(path.stem());
    return stem.empty() ? "stream" : stem;
}

// The preview GIF of a stream this run made, as animdump -g writes it: each frame for its wait.
bool writePreviewGif(const std::string& streamPath, const std::string& gifPath, std::string& error) {
    std::string bytes;
    if (!readWhole(streamPath, bytes)) {
        error = _("cannot read the stream");
        return false;
    }
    const animconv::StreamView stream{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
    const auto marked = std::make_unique<animconv::FrameIndices>();
    const auto pixels = std::make_unique<animconv::FrameIndices>();
    std::size_t frames = 0;
    for (std::size_t offset = 0; offset < stream.length; ++frames) {
        const std::size_t size = animdump::readShownFrame(stream, offset, frames + 1, *marked, *pixels).bytes;
        if (size == 0) {  // not a stream this run made whole
            error = _("cannot read the stream");
            return false;
        }
        offset += size;
    }
    // No ImageLibraryHold: libvips, which a Windows build without giflib writes GIFs with, runs for the
    // whole program, and a hold's end would shut it down under the jobs.
    animdump::GifWriter gif;
    if (!gif.open(gifPath.c_str(), animdump::paletteOfStream(stream, frames, *marked), error)) {
        return false;
    }
    const auto planner = std::make_unique<animdump::GifImagePlanner>();
    const auto image = std::make_unique<animdump::GifImage>();
    std::size_t offset = 0;
    for (std::size_t number = 1; number <= frames; ++number) {
        const animconv::FrameSummary frame =
            animdump::readShownFrame(stream, offset, number, *marked, *pixels);
        offset += frame.bytes;
        if (planner->add(marked->values, animconv::gifDelay(frame.waitByte, 1000), *image) &&
            !gif.addImage(*image, error)) {
            return false;
        }
    }
    return !(planner->finish(*image) && !gif.addImage(*image, error)) && gif.close(error);
}

// "f12": a file's or job's id.
std::string idText(char kind, std::size_t number) {
    char text[24];
    std::snprintf(text, sizeof text, "%c%zu", kind, number);
    return text;
}

#ifdef _WIN32
std::string randomHex(std::size_t digits) {
    std::random_device random;
    std::string text;
    while (text.size() < digits) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
        text += part;
    }
    return text.substr(0, digits);
}
#endif

}  // namespace

std::string kindOfFile(const std::string& path) {
    char start[16] = {};
    std::FILE* file = toolplatform::openFile(path, "rb");
    if (file == nullptr) {
        return "unknown";
    }
    const std::size_t got = std::fread(start, 1, sizeof start, file);
    std::fclose(file);
    const auto begins = [&](const char* signature, std::size_t at = 0) {
        const std::size_t length = std::strlen(signature);
        return got >= at + length && std::memcmp(start + at, signature, length) == 0;
    };
    if (begins("GIF8")) {
        return "gif";
    }
    if (begins("BM")) {
        return "bmp";
    }
    const auto first = static_cast<unsigned char>(start[0]);
    if ((first == 0x89 && begins("PNG", 1)) || (first == 0xFF && got >= 3 && start[1] == '\xD8') ||
        (begins("RIFF") && begins("WEBP", 8)) || begins("II*") || begins("MM")) {
        return "image";
    }
    if (animmake::isVideoFile(path)) {
        return "video";
    }
    if (toolplatform::isFolder(path)) {
        return "image";  // a folder of frames
    }
    std::string bytes;
    if (readWhole(path, bytes) && !bytes.empty()) {
        const animconv::StreamView stream{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
        animconv::FrameSummary frame;
        animconv::ProblemReport problem;
        const auto pixels = std::make_unique<animconv::FrameIndices>();
        if (animconv::readFrame(stream, 0, 1, frame, problem, pixels.get()) == animconv::Problem::none) {
            return "stream";
        }
    }
    return "unknown";
}

void Job::run() {
    std::vector<std::string> operands;
    std::map<std::string, std::string> shownName;
    for (const StudioFile& file : files) {
        operands.push_back(file.path);
        shownName[file.path] = file.name;
    }
    // An uploaded file is named as the page named it, not by its place in the temporary folder.
    const auto named = [&](std::string line) {
        for (const auto& [path, name] : shownName) {
            if (line.compare(0, path.size(), path) == 0) {
                return name + line.substr(path.size());
            }
        }
        return line;
    };
    const auto end = [&](JobState state, const std::string& error) {
        std::lock_guard lock(mutex);
        report.state = state;
        report.error = named(error);
        if (state == JobState::done) {
            report.framesExpected = report.framesDone;
        }
    };
    std::vector<animmake::InputItem> inputs;
    std::string error;
    if (!animmake::expandInputs(operands, inputs, error, false)) {
        end(JobState::failed, error);
        return;
    }
    std::vector<std::uint64_t> sizes;
    for (const animmake::InputItem& input : inputs) {
        sizes.push_back(sizeOf(input.path));
    }
    animmake::WorkEstimate estimate(sizes);
    animmake::MakeHooks hooks;
    hooks.cancel = &cancelled;
    hooks.frame = [&](const animconv::EncodedFrame& frame) {
        std::lock_guard lock(mutex);
        encoded.append(reinterpret_cast<const char*>(frame.bytes), frame.length);
        ++report.framesDone;
        report.bytes += frame.length;
        report.waitUnits += frame.bytes[frame.length - 1];  // the terminator's wait byte
    };
    hooks.progress = [&](const animmake::MakeProgress& at) {
        if (at.inputDone) {
            estimate.finish(at.input, at.inputFrame);
        } else {
            estimate.update(at.input, at.inputFrame, at.inputFrames);
        }
        const double done = estimate.done();
        std::lock_guard lock(mutex);
        if (done > 0) {
            const double expected = static_cast<double>(at.frames) / done;
            report.framesExpected = std::max(at.frames, static_cast<std::size_t>(std::llround(expected)));
        }
    };
    animmake::StreamOutput output;
    if (!output.open(streamPath, animmake::OutputMode::create, error)) {
        end(JobState::failed, error);
        return;
    }
    animmake::MakeTotals totals;
    animmake::MakeFailure failure;
    MakeStatus status = MakeStatus::failed;
    try {
        status = animmake::makeFrames(inputs, options, output, hooks, totals, failure);
    } catch (...) {
        failure = animmake::failureOfThrown(std::current_exception());
    }
    if (status == MakeStatus::done && !output.finish(error)) {
        failure.reason = error;
        status = MakeStatus::failed;
    }
    if (status != MakeStatus::done) {
        output.abandon();
    }
    end(status == MakeStatus::done        ? JobState::done
        : status == MakeStatus::cancelled ? JobState::cancelled
                                          : JobState::failed,
        failure.reason);
}

std::string Job::framesFrom(std::size_t from) {
    const std::size_t done = report.framesDone;
    std::string bytes;
    if (from >= done) {
        return bytes;
    }
    // A page reads on from where it was; one that goes back (a second tab) is read from the start.
    if (from < shownFrames) {
        shownFrames = 0;
        shownOffset = 0;
    }
    bytes.reserve((done - from) * kShownFrameBytes);
    const animconv::StreamView stream{reinterpret_cast<const std::uint8_t*>(encoded.data()), encoded.size()};
    for (; shownFrames < done; ++shownFrames) {
        animconv::FrameSummary frame;
        animconv::ProblemReport problem;
        animconv::readFrame(stream, shownOffset, shownFrames + 1, frame, problem, shown.get());
        shownOffset += frame.bytes;
        if (shownFrames >= from) {
            bytes += static_cast<char>(frame.waitByte);
            bytes.append(reinterpret_cast<const char*>(shown->values), sizeof shown->values);
        }
    }
    return bytes;
}

Session::~Session() {
    close();
}

bool Session::open(std::string& error) {
    std::error_code code;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(code);
    if (code) {
        error = _("cannot find the temporary folder: ") + code.message();
        return false;
    }
#ifdef _WIN32
    // The user's own temporary folder, which only that user may enter; a name no other run takes.
    for (int attempt = 0; attempt < 16 && folder_.empty(); ++attempt) {
        const std::filesystem::path candidate = temporary / ("animstudio-" + randomHex(16));
        if (std::filesystem::create_directory(candidate, code)) {
            folder_ = toolplatform::utf8Of(candidate);
        }
    }
#else
    std::string pattern = toolplatform::utf8Of(temporary / "animstudio-XXXXXX");
    if (::mkdtemp(pattern.data()) != nullptr) {  // mode 0700
        folder_ = pattern;
    }
#endif
    if (folder_.empty()) {
        error = _("cannot create a temporary folder in ") + toolplatform::utf8Of(temporary);
        return false;
    }
    return true;
}

void Session::close() {
    std::map<std::string, std::shared_ptr<Job>> jobs;
    {
        std::lock_guard lock(mutex_);
        jobs.swap(jobs_);
    }
    for (auto& [id, job] : jobs) {
        job->cancelled = true;
    }
    for (auto& [id, job] : jobs) {
        if (job->thread.joinable()) {
            job->thread.join();
        }
    }
    if (!folder_.empty()) {
        std::error_code code;
        std::filesystem::remove_all(toolplatform::pathOf(folder_), code);
        folder_.clear();
    }
}

void Session::addCommandLineFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    StudioFile file;
    file.id = idText('f', nextFile_++);
    file.name = path;
    file.path = path;
    file.kind = kindOfFile(path);
    file.size = sizeOf(path);
    file.fromCommandLine = true;
    files_.push_back(file);
}

bool Session::addUpload(const std::string& name, const std::function<bool(const ByteWriter&)>& receive,
                        StudioFile& added, std::string& error) {
    std::string id;
    {
        std::lock_guard lock(mutex_);
        id = idText('f', nextFile_++);
    }
    // A folder per file keeps the page's name, whatever other files are called.
    const std::filesystem::path folder = toolplatform::pathOf(folder_) / id;
    std::error_code code;
    std::filesystem::create_directory(folder, code);
    const std::string path = toolplatform::utf8Of(folder / toolplatform::pathOf(name));
    std::FILE* file = code ? nullptr : toolplatform::openFile(path, "wb");
    if (file == nullptr) {
        error = _("cannot write '") + name + _("' into the temporary folder");
        return false;
    }
    std::uint64_t size = 0;
    bool written = true;
    const bool received = receive([&](const char* bytes, std::size_t length) {
        written = written && std::fwrite(bytes, 1, length, file) == length;
        size += length;
        return written;
    });
    written = std::fclose(file) == 0 && written;
    if (!received || !written) {
        std::filesystem::remove_all(folder, code);
        if (received) {
            error = _("cannot write '") + name + _("' into the temporary folder");
        }
        return false;
    }
    added = StudioFile{id, name, path, kindOfFile(path), size, false};
    std::lock_guard lock(mutex_);
    files_.push_back(added);
    return true;
}

bool Session::removeFile(const std::string& id) {
    std::lock_guard lock(mutex_);
    for (auto at = files_.begin(); at != files_.end(); ++at) {
        if (at->id == id) {
            // An upload's bytes stay until the end: a job still running may be reading them.
            files_.erase(at);
            return true;
        }
    }
    return false;
}

std::optional<StudioFile> Session::file(const std::string& id) const {
    std::lock_guard lock(mutex_);
    for (const StudioFile& file : files_) {
        if (file.id == id) {
            return file;
        }
    }
    return std::nullopt;
}

std::vector<StudioFile> Session::files() const {
    std::lock_guard lock(mutex_);
    return files_;
}

bool Session::startJob(const std::vector<std::string>& fileIds, const animmake::MakeOptions& options,
                       std::string& jobId, std::string& error) {
    auto started = std::make_shared<Job>();
    for (const std::string& id : fileIds) {
        const std::optional<StudioFile> found = file(id);
        if (!found) {
            error = _("no such file: ") + id;
            return false;
        }
        started->files.push_back(*found);
    }
    if (started->files.empty()) {
        error = _("no file to make a stream of");
        return false;
    }
    started->options = options;
    std::lock_guard lock(mutex_);
    started->id = idText('j', nextJob_++);
    started->streamPath = toolplatform::utf8Of(toolplatform::pathOf(folder_) / (started->id + ".bin"));
    started->gifPath = toolplatform::utf8Of(toolplatform::pathOf(folder_) / (started->id + ".gif"));
    started->thread = std::thread([job = started.get()] { job->run(); });
    jobs_[started->id] = started;
    jobId = started->id;
    return true;
}

std::shared_ptr<Job> Session::job(const std::string& id) const {
    std::lock_guard lock(mutex_);
    const auto found = jobs_.find(id);
    return found == jobs_.end() ? nullptr : found->second;
}

std::optional<JobReport> Session::report(const std::string& jobId) const {
    const std::shared_ptr<Job> found = job(jobId);
    if (!found) {
        return std::nullopt;
    }
    std::lock_guard lock(found->mutex);
    return found->report;
}

bool Session::framesFrom(const std::string& jobId, std::size_t from, std::string& bytes,
                         std::size_t& done) const {
    const std::shared_ptr<Job> found = job(jobId);
    if (!found) {
        return false;
    }
    std::lock_guard lock(found->mutex);
    done = found->report.framesDone;
    bytes = found->framesFrom(from);
    return true;
}

bool Session::cancel(const std::string& jobId) {
    const std::shared_ptr<Job> found = job(jobId);
    if (found) {
        found->cancelled = true;
    }
    return found != nullptr;
}

bool Session::streamOf(const std::string& jobId, std::string& path, std::string& name) const {
    const std::shared_ptr<Job> found = job(jobId);
    if (!found) {
        return false;
    }
    std::lock_guard lock(found->mutex);
    if (found->report.state != JobState::done) {
        return false;
    }
    path = found->streamPath;
    name = stemOf(found->files.front().name) + ".bin";
    return true;
}

bool Session::gifOf(const std::string& jobId, std::string& path, std::string& name, std::string& error) {
    const std::shared_ptr<Job> found = job(jobId);
    std::string stream;
    if (!found || !streamOf(jobId, stream, name)) {
        error = _("the stream is not made yet");
        return false;
    }
    std::lock_guard lock(found->gifMutex);
    if (!found->gifWritten && !writePreviewGif(stream, found->gifPath, error)) {
        return false;
    }
    found->gifWritten = true;
    path = found->gifPath;
    name = stemOf(found->files.front().name) + ".gif";
    return true;
}

SaveOutcome Session::saveBeside(const std::string& jobId, bool overwrite, std::string& path,
                                std::string& error) {
    const std::shared_ptr<Job> found = job(jobId);
    std::string stream;
    std::string name;
    if (!found || !streamOf(jobId, stream, name)) {
        error = _("the stream is not made yet");
        return SaveOutcome::notReady;
    }
    const StudioFile& first = found->files.front();
    if (!first.fromCommandLine) {
        error = _("only a file given on the command line has a folder to save beside");
        return SaveOutcome::refused;
    }
    path = animmake::streamNameBeside(first.path, toolplatform::isFolder(first.path));
    // animmake's own checks: never over an input, however it is spelt, nor over a file marked read-only.
    std::vector<std::string> operands;
    for (const StudioFile& file : found->files) {
        operands.push_back(file.path);
    }
    std::vector<animmake::InputItem> inputs;
    animmake::MakeOptions options;
    options.streamPath = path;
    options.outputMode = animmake::OutputMode::replace;
    if (!animmake::expandInputs(operands, inputs, error, false) ||
        !animmake::outputsSpareInputs(options, inputs, error) || !animmake::outputsWritable(options, error)) {
        return SaveOutcome::refused;
    }
    std::error_code code;
    if (!overwrite && std::filesystem::exists(toolplatform::pathOf(path), code)) {
        return SaveOutcome::exists;
    }
    std::string bytes;
    toolkit::ReplacingFile file;
    toolkit::FileFailure failure;
    if (!readWhole(stream, bytes) || !file.open(path, ".animstudio-", failure) ||
        !file.write(bytes.data(), bytes.size(), failure) || !file.commit(failure)) {
        error = failure.describe(path);
        return SaveOutcome::failed;
    }
    return SaveOutcome::saved;
}

}  // namespace animstudio
