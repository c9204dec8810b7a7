// animdump: checks an animation stream, lists its frames and renders them as images.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "animdump/dump_options.h"
#include "animdump/frame_picture.h"
#include "animdump/image_files.h"
#include "animdump/stream_report.h"
#include "animdump/terminal_player.h"
#include "toolkit/file_identity.h"
#include "toolkit/numbered_files.h"
#include "toolkit/own_window.h"
#include "toolkit/read_only.h"
#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

namespace {

using namespace animdump;
using namespace animconv;

constexpr int kExitValid = 0;
constexpr int kExitInvalid = 1;
constexpr int kExitTrouble = 2;  // usage errors, unreadable input, unwritable output

void writeOut(const std::string& text) {
    toolplatform::writeText(stdout, text);
    std::fflush(stdout);
}

int complain(const std::string& text) {
    std::fflush(stdout);
    toolplatform::writeText(stderr, "animdump: " + text + "\n");
    return kExitTrouble;
}

bool readWholeFile(const char* path, std::vector<std::uint8_t>& bytes, std::string& error) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(toolplatform::openFile(path, "rb"),
                                                               &std::fclose);
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    std::uint8_t chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    if (std::ferror(file.get()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

// The folder for the PNG files: used when it exists, created (one level) when it does not.
bool prepareFolder(const char* folder, std::string& error) {
    std::error_code code;
    const std::filesystem::path path = toolplatform::pathOf(folder);
    if (std::filesystem::is_directory(path, code)) {
        return true;
    }
    if (std::filesystem::exists(path, code)) {
        error = std::string(_("cannot write into '")) + folder + _("': not a folder");
        return false;
    }
    if (!std::filesystem::create_directory(path, code)) {
        error = std::string(_("cannot create folder '")) + folder + "': " + code.message();
        return false;
    }
    return true;
}

// Every image is renamed into place: refused when that would take the stream being read away (the same
// file by identity, however it is spelt) or replace a file marked read-only, before anything is written.
bool imagesSpareStream(std::size_t frames, const DumpOptions& options, std::string& error) {
    const auto refuse = [&](const std::string& image) {
        error = _("cannot write '") + image + _("': it would replace the stream being read, '") +
                options.streamPath + _("'; nothing was written");
        return false;
    };
    // A file marked read-only is never written over either.
    const auto refuseMarked = [&](const std::string& image) {
        error = _("cannot write '") + image + _("': the file is marked read-only; nothing was written");
        return false;
    };
    if (options.gifPath != nullptr && toolkit::replacingTakes(options.gifPath, options.streamPath)) {
        return refuse(options.gifPath);
    }
    if (options.gifPath != nullptr && toolkit::isMarkedReadOnly(options.gifPath)) {
        return refuseMarked(options.gifPath);
    }
    for (std::size_t number = 1; options.pngFolder != nullptr && number <= frames; ++number) {
        const std::string path = std::string(options.pngFolder) + "/" + pngName(number);
        if (toolkit::replacingTakes(path, options.streamPath)) {
            return refuse(path);
        }
        if (toolkit::isMarkedReadOnly(path)) {
            return refuseMarked(path);
        }
    }
    return true;
}

// The stream has been checked and holds `frames` valid frames.
int writeImages(StreamView stream, std::size_t frames, const DumpOptions& options) {
    std::string error;
    if (!imagesSpareStream(frames, options, error)) {
        return complain(error);
    }
    if (options.pngFolder != nullptr && !prepareFolder(options.pngFolder, error)) {
        return complain(error);
    }
    static FrameIndices marked{};
    static FrameIndices pixels{};
    ImageLibraryHold library;  // goes after the writers below
    // A GIF left unfinished by a failure below is closed and removed by its writer.
    GifWriter gif;
    if (options.gifPath != nullptr &&
        (!library.start(error) ||
         !gif.open(options.gifPath, paletteOfStream(stream, frames, marked), error))) {
        return complain(std::string(_("cannot write '")) + options.gifPath + "': " + error);
    }
    static GifImagePlanner planner;
    static GifImage image;
    const auto gifFailed = [&] {
        return complain(std::string(_("cannot write '")) + options.gifPath + "': " + error);
    };
    std::size_t offset = 0;
    for (std::size_t number = 1; number <= frames; ++number) {
        const FrameSummary frame = readShownFrame(stream, offset, number, marked, pixels);
        offset += frame.bytes;
        if (gif.isOpen() && planner.add(marked.values, gifDelay(frame.waitByte, options.delayScale), image) &&
            !gif.addImage(image, error)) {
            return gifFailed();
        }
        if (options.pngFolder != nullptr) {
            const std::string path = std::string(options.pngFolder) + "/" + pngName(number);
            if (!library.start(error) || !writePng(path, pixels, error)) {
                return complain(_("cannot write '") + path + "': " + error);
            }
        }
        if (number == options.showFrame) {
            if (!toolplatform::enableEscapeSequences()) {
                return complain(_("cannot show the frame: the console takes no escape sequences"));
            }
            toolplatform::writeUtf8Text(stdout, terminalPicture(pixels));
            std::fflush(stdout);
        }
    }
    if (gif.isOpen() && ((planner.finish(image) && !gif.addImage(image, error)) || !gif.close(error))) {
        return gifFailed();
    }
    // An earlier, longer stream's frames would seem to be this one's.
    if (options.pngFolder != nullptr &&
        !toolkit::removeNumberedAfter(options.pngFolder, "frame-", 4, ".png", frames, error)) {
        return complain(error);
    }
    return kExitValid;
}

int runDump(int argc, char** argv) {
    DumpOptions options;
    std::string error;
    switch (parseDumpOptions(argc, argv, options, error)) {
        case OptionsResult::help:
            writeOut(helpText());
            return kExitValid;
        case OptionsResult::version:
            writeOut(versionText());
            return kExitValid;
        case OptionsResult::usageError:
            toolplatform::writeText(
                stderr, "animdump: " + error + _("\nTry 'animdump --help' for more information.\n"));
            return kExitTrouble;
        case OptionsResult::run:
            break;
    }
    // Refused before anything is written, so that nothing scrolls past the reason.
    if (options.play && !terminalCanPlay(error)) {
        return complain(error);
    }

    std::vector<std::uint8_t> bytes;
    if (!readWholeFile(options.streamPath, bytes, error)) {
        return complain(std::string(_("cannot read '")) + options.streamPath + "': " + error);
    }
    const StreamView stream{bytes.data(), bytes.size()};
    StreamTotals totals;
    std::string report;
    const Problem problem = checkStream(stream, totals, report);
    writeOut(report);

    const bool wantsImages =
        options.gifPath != nullptr || options.pngFolder != nullptr || options.showFrame != 0 || options.play;
    if (problem != Problem::none) {
        if (wantsImages) {
            toolplatform::writeText(stderr, _("animdump: no images written: the stream is invalid\n"));
        }
        return kExitInvalid;
    }
    if (!wantsImages) {
        return kExitValid;
    }
    if (totals.frames == 0) {
        return complain(_("no images written: the stream holds no frames"));
    }
    if (options.showFrame > totals.frames) {
        return complain(_("cannot show frame ") + std::to_string(options.showFrame) +
                        _(": the stream holds ") + std::to_string(totals.frames) +
                        (totals.frames == 1 ? _(" frame") : _(" frames")));
    }
    const int status = writeImages(stream, totals.frames, options);
    if (status != kExitValid || !options.play) {
        return status;
    }
    std::fflush(stdout);
    return playStream(stream, totals.frames, options.delayScale, error) ? kExitValid : complain(error);
}

// A report that did not reach its reader (a full disk, a closed pipe) is a failure too.
int runAndReport(int argc, char** argv) {
    const int status = runDump(argc, argv);
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        toolplatform::printText(stderr, _("animdump: cannot write standard output: %s\n"),
                                std::strerror(errno));
        return kExitTrouble;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    toolkit::startTranslation();
    return toolplatform::runWaitingInOwnWindow(argc, argv, runAndReport, animdump::helpText);
}
