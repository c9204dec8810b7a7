// The tool end to end through the case table: arguments, single frames, delta runs, appending, failures in
// the middle of a run, header variants, indexed images, wait texts and odd paths.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "case_table.h"
#include "expected_text.h"
#include "program_runner.h"
#include "reference_command_line.h"

namespace e2e {
namespace {

using bmpwriter::HeaderKind;
using bmpwriter::Layout;

// ---------------------------------------------------------------------------------------------------------
// Building cases

struct Frame {
    std::string file;
    Bytes image;
    Picture colours;  // what the image decodes to
    std::string waitText;
    std::uint8_t waitByte = 0;
    bool present = true;  // false: named on the command line but not put in the folder
};

Frame frame(const std::string& file, const Picture& picture, std::uint8_t waitByte = 5) {
    return {file, directImage(picture), picture, std::to_string(waitByte), waitByte};
}

Frame frameOf(const std::string& file, Bytes image, Picture colours, std::uint8_t waitByte = 5) {
    return {file, std::move(image), std::move(colours), std::to_string(waitByte), waitByte};
}

Frame absent(const std::string& file) {
    return {file, {}, {}, "1", 1, false};
}

void addFiles(Case& c, const std::vector<Frame>& frames) {
    for (const Frame& f : frames) {
        const bool known = std::any_of(c.files.begin(), c.files.end(),
                                       [&f](const auto& file) { return file.first == f.file; });
        if (!known && f.present) {
            c.files.emplace_back(f.file, f.image);
        }
    }
}

std::vector<std::pair<std::string, std::string>> pairsOf(const std::vector<Frame>& frames) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const Frame& f : frames) {
        pairs.emplace_back(f.file, f.waitText);
    }
    return pairs;
}

std::string convertedMessages(const std::vector<Frame>& frames) {
    std::string messages;
    for (const Frame& f : frames) {
        messages += text::convertedFrame(f.file);
    }
    return messages;
}

Bytes referenceOf(Mode mode, const std::vector<Frame>& frames) {
    std::vector<std::pair<Picture, std::uint8_t>> pictures;
    for (const Frame& f : frames) {
        pictures.emplace_back(f.colours, f.waitByte);
    }
    return referenceRun(mode, pictures);
}

// Every frame converted in one run; the file is what the reference encoder makes of the colours.
Case converted(const std::string& name, Mode mode, const std::vector<Frame>& frames) {
    Case c{name};
    addFiles(c, frames);
    c.runs.push_back({argumentsFor(mode, pairsOf(frames)), convertedMessages(frames), 0});
    c.expectedOutputFile = referenceOf(mode, frames);
    return c;
}

// As `converted`, but the file is given byte by byte.
Case convertedTo(const std::string& name, Mode mode, const std::vector<Frame>& frames, const Bytes& stream) {
    Case c = converted(name, mode, frames);
    c.expectedOutputFile = stream;
    return c;
}

// The frames before `failing` are appended, `failing` prints `failure` and ends the run with status 1,
// and the frames after it are never looked at.
Case failsAt(const std::string& name, Mode mode, const std::vector<Frame>& before, const Frame& failing,
             const std::string& failure, const std::vector<Frame>& after) {
    Case c{name};
    addFiles(c, before);
    addFiles(c, {failing});
    addFiles(c, after);
    std::vector<Frame> all = before;
    all.push_back(failing);
    all.insert(all.end(), after.begin(), after.end());
    c.runs.push_back({argumentsFor(mode, pairsOf(all)), convertedMessages(before) + failure, 1});
    if (!before.empty()) {
        c.expectedOutputFile = referenceOf(mode, before);
    }
    return c;
}

// A single 190x170 input that must be refused with `message` (a line message).
Case refused(const std::string& name, const Bytes& image, std::string_view message) {
    return failsAt(name, Mode::delta, {}, frameOf("in.bmp", image, {}), text::line(message), {});
}

Bytes solidFrameBytes(std::uint8_t value, std::uint8_t waitByte) {
    return {value, 0x7E, 0x2C, 0xFF, waitByte};
}

constexpr Bgr kBlack{0, 0, 0};
constexpr Bgr kWhite{255, 255, 255};
constexpr Bgr kRed{0, 0, 255};
constexpr Bgr kGreen{0, 255, 0};
constexpr Bgr kBlue{255, 0, 0};

const Picture& sampleA() {
    static const Picture picture = randomPicture(1, 12, 300);
    return picture;
}

const Picture& sampleB() {
    static const Picture picture = randomPicture(2, 12, 300);
    return picture;
}

// A square of `size` pixels at (left, top) on a plain background.
Picture square(std::uint32_t left, std::uint32_t top, std::uint32_t size, const Bgr& colour,
               const Bgr& background) {
    Picture picture = solidPicture(background);
    for (std::uint32_t y = top; y < top + size && y < kHeight; ++y) {
        for (std::uint32_t x = left; x < left + size && x < kWidth; ++x) {
            picture[std::size_t{y} * kWidth + x] = colour;
        }
    }
    return picture;
}

// ---------------------------------------------------------------------------------------------------------
// The groups

std::vector<Case> argumentCases() {
    const Frame a = frame("a.bmp", sampleA());
    const auto usage = [](std::vector<std::string> arguments) {
        return Run{std::move(arguments), "", -1, true};
    };
    const auto unknownMode = [](const std::string& mode) {
        return Run{{mode, "out.anim", "a.bmp", "5"}, text::unknownMode(mode), -1};
    };
    std::vector<Case> cases;
    const auto add = [&](const std::string& name, Run run) {
        Case c{name};
        addFiles(c, {a});
        c.runs.push_back(std::move(run));
        cases.push_back(std::move(c));
    };
    add("NoArguments", usage({}));
    add("ModeOnly", usage({"use0xfe"}));
    add("InputWithoutWaittime", usage({"use0xfe", "out.anim", "a.bmp"}));
    add("PairAndAHalf", usage({"no0xfe", "out.anim", "a.bmp", "5", "a.bmp"}));
    add("CountIsCheckedBeforeMode", usage({"xyz", "out.anim", "a.bmp"}));
    add("UnknownModeXyz", unknownMode("xyz"));
    add("UnknownModeInCapitals", unknownMode("USE0XFE"));
    add("UnknownModePartlyCapital", unknownMode("No0xfe"));
    add("UnknownModeTrailingSpace", unknownMode("use0xfe "));
    add("UnknownModeByteMore", unknownMode("no0xfee"));
    add("UnknownModeByteLess", unknownMode("use0xf"));
    add("UnknownModeEmpty", unknownMode(""));
    add("UnknownModeWithoutPairs", Run{{"nO0XFE", "out.anim"}, text::unknownMode("nO0XFE"), -1});
    add("ModeAndOutputOnlyDelta", Run{{"use0xfe", "out.anim"}, "", 0});
    add("ModeAndOutputOnlyPlain", Run{{"no0xfe", "out.anim"}, "", 0});

    // An output file that is already there stays as it was when nothing is converted.
    Case kept{"ModeAndOutputOnlyKeepsExistingFile"};
    kept.files = {{"out.anim", {1, 2, 3}}};
    kept.runs.push_back({{"use0xfe", "out.anim"}, "", 0});
    kept.expectedOutputFile = Bytes{1, 2, 3};
    cases.push_back(kept);
    Case keptOnError{"UnknownModeKeepsExistingFile"};
    keptOnError.files = {{"out.anim", {1, 2, 3}}};
    addFiles(keptOnError, {a});
    keptOnError.runs.push_back(unknownMode("use0xFE"));
    keptOnError.expectedOutputFile = Bytes{1, 2, 3};
    cases.push_back(keptOnError);
    return cases;
}

std::vector<Case> singleFrameCases() {
    std::vector<Case> cases;
    // The quantizer and the run forms are tables in the unit tests; here one colour is one long record of all
    // 32,300 pixels, V, 0x7E, 0x2C, then 0xFF, W, and a run of 127 and one of 128 pixels in both forms.
    cases.push_back(convertedTo("SolidWhitePlain", Mode::plain, {frame("a.bmp", solidPicture(kWhite), 7)},
                                solidFrameBytes(231, 7)));
    cases.push_back(convertedTo("SolidMixedDelta", Mode::delta,
                                {frame("a.bmp", solidPicture({51, 102, 204}), 7)},
                                solidFrameBytes(16 + 36 * 1 + 6 * 2 + 4, 7)));

    // 127 pixels, 128 pixels, then the rest (32,045 = 0x7D2D).
    Picture runLengths = paintedSpan(paintedSpan(solidPicture(kWhite), 0, 127, kRed), 127, 128, kGreen);
    cases.push_back(convertedTo("Runs127And128", Mode::plain, {frame("a.bmp", runLengths, 9)},
                                {21, 0xFF, 46, 0x00, 0x80, 231, 0x7D, 0x2D, 0xFF, 9}));
    // Every pixel its own run: the largest frame.
    Picture alternating = solidPicture(kWhite);
    for (std::size_t i = 0; i < kPixels; i += 2) {
        alternating[i] = kBlack;
    }
    cases.push_back(converted("EveryPixelItsOwnRun", Mode::delta, {frame("a.bmp", alternating)}));
    cases.push_back(
        converted("ManyColoursShortRunsPlain", Mode::plain, {frame("a.bmp", randomPicture(3, 200, 4))}));
    cases.push_back(
        converted("ManyColoursShortRunsDelta", Mode::delta, {frame("a.bmp", randomPicture(4, 200, 4))}));
    return cases;
}

std::vector<Case> multiFrameCases() {
    std::vector<Case> cases;
    const Picture& a = sampleA();
    const Picture& b = sampleB();

    // The same image twice: a whole frame of indices, then one unchanged record.
    const Bytes first = ReferenceStream(Mode::delta).nextFrame(a, 10);
    cases.push_back(convertedTo("SameImageTwiceDelta", Mode::delta,
                                {frame("a.bmp", a, 10), frame("a.bmp", a, 20)},
                                concat({first, {0xFE, 0x7E, 0x2C, 0xFF, 20}})));
    // Without delta the records repeat and only the terminators differ.
    const Bytes plainFirst = ReferenceStream(Mode::plain).nextFrame(a, 10);
    Bytes plainSecond = plainFirst;
    plainSecond.back() = 11;
    cases.push_back(convertedTo("SameImageTwicePlain", Mode::plain,
                                {frame("a.bmp", a, 10), frame("a.bmp", a, 11)},
                                concat({plainFirst, plainSecond})));

    // Only pixel (5, 0) differs: five unchanged, the new pixel, the remaining 32,294 unchanged.
    const Picture white = solidPicture(kWhite);
    cases.push_back(
        convertedTo("OnlyPixelFiveZeroChanged", Mode::delta,
                    {frame("a.bmp", white, 1), frame("b.bmp", paintedPixel(white, 5, 0, kRed), 2)},
                    {231, 0x7E, 0x2C, 0xFF, 1, 0xFE, 0x85, 21, 0x81, 0xFE, 0x7E, 0x26, 0xFF, 2}));
    // A colour that changed inside its level keeps its index but is no longer unchanged.
    cases.push_back(
        convertedTo("SlightChangeKeepsIndexNotMarker", Mode::delta,
                    {frame("a.bmp", solidPicture(kBlack), 1),
                     frame("b.bmp", paintedPixel(solidPicture(kBlack), 0, 1, {0, 0, 1}), 2)},
                    {16, 0x7E, 0x2C, 0xFF, 1, 0xFE, 0x00, 0xBE, 16, 0x81, 0xFE, 0x7D, 0x6D, 0xFF, 2}));
    // The encoder's delta rules are tables in the unit tests; here the previous frame is carried from one
    // pair to the next.
    // Delta compares with the frame just before, not with the first one.
    cases.push_back(
        converted("ComparedWithFrameJustBefore", Mode::delta,
                  {frame("a.bmp", a, 1), frame("b.bmp", b, 2), frame("a.bmp", a, 3), frame("a.bmp", a, 4)}));
    // A square moving across a background: the animation the tool is for, in both modes.
    std::vector<Frame> moving;
    for (std::uint32_t step = 0; step < 6; ++step) {
        moving.push_back(frame("m" + std::to_string(step) + ".bmp",
                               square(20 + 25 * step, 10 + 20 * step, 40, {30, 160, 250}, {200, 40, 90}),
                               static_cast<std::uint8_t>(step * 40)));
    }
    cases.push_back(converted("MovingSquareDelta", Mode::delta, moving));
    cases.push_back(converted("MovingSquarePlain", Mode::plain, moving));
    return cases;
}

std::vector<Case> appendingCases() {
    std::vector<Case> cases;
    const Picture& a = sampleA();
    const Picture& b = sampleB();
    const Bytes earlier{0x10, 0x7E, 0x2C, 0xFF, 0x03, 'x'};

    Case existing = converted("AppendsToExistingFile", Mode::delta, {frame("a.bmp", a), frame("b.bmp", b)});
    existing.files.emplace_back("out.anim", earlier);
    existing.expectedOutputFile = concat({earlier, *existing.expectedOutputFile});
    cases.push_back(existing);

    // A second run starts without a previous frame: its first frame holds no 0xFE although the file's last
    // frame is the same image.
    Case twice{"SecondRunFirstFrameHasNoMarker"};
    addFiles(twice, {frame("a.bmp", a), frame("b.bmp", b)});
    twice.runs.push_back({argumentsFor(Mode::delta, {{"a.bmp", "1"}, {"b.bmp", "2"}}),
                          text::convertedFrame("a.bmp") + text::convertedFrame("b.bmp"), 0});
    twice.runs.push_back({argumentsFor(Mode::delta, {{"b.bmp", "3"}, {"b.bmp", "4"}}),
                          text::convertedFrame("b.bmp") + text::convertedFrame("b.bmp"), 0});
    twice.expectedOutputFile =
        concat({referenceRun(Mode::delta, {{a, 1}, {b, 2}}), referenceRun(Mode::delta, {{b, 3}, {b, 4}})});
    cases.push_back(twice);

    // Runs in different modes add to one file.
    Case mixed{"PlainRunAfterDeltaRun"};
    addFiles(mixed, {frame("a.bmp", a)});
    mixed.runs.push_back({argumentsFor(Mode::delta, {{"a.bmp", "1"}, {"a.bmp", "2"}}),
                          text::convertedFrame("a.bmp") + text::convertedFrame("a.bmp"), 0});
    mixed.runs.push_back({argumentsFor(Mode::plain, {{"a.bmp", "3"}}), text::convertedFrame("a.bmp"), 0});
    mixed.expectedOutputFile =
        concat({referenceRun(Mode::delta, {{a, 1}, {a, 2}}), referenceRun(Mode::plain, {{a, 3}})});
    cases.push_back(mixed);

    // The input is its own output: held by the output, it cannot be opened, and the image is left as it was
    // (rather than getting the frames appended to it).
    const Bytes image = directImage(a);
    Case self("OutputIsTheInput");
    self.files = {{"a.bmp", image}};
    self.outputName = "a.bmp";
    self.runs.emplace_back(argumentsFor(Mode::delta, {{"a.bmp", "1"}, {"a.bmp", "2"}}, "a.bmp"),
                           text::cannotOpenInput("a.bmp"), 1);
    self.expectedOutputFile = image;
    cases.push_back(self);
    return cases;
}

std::vector<Case> failureCases() {
    std::vector<Case> cases;
    const Frame a = frame("a.bmp", sampleA(), 1);
    const Frame b = frame("b.bmp", sampleB(), 2);
    const Frame d = frame("d.bmp", solidPicture(kRed), 4);
    const Frame notBmp = frameOf("c.txt", bytesOf("not an image\n"), {}, 3);
    const Frame missing = absent("c.bmp");

    for (const Mode mode : {Mode::plain, Mode::delta}) {
        const std::string suffix = mode == Mode::delta ? "Delta" : "Plain";
        cases.push_back(
            failsAt("ThirdPairNotBmp" + suffix, mode, {a, b}, notBmp, text::line(text::kNotBmp), {d}));
        cases.push_back(
            failsAt("ThirdPairMissing" + suffix, mode, {a, b}, missing, text::cannotOpenInput("c.bmp"), {d}));
    }
    const Frame wrongDepth = frameOf(
        "c.bmp",
        [] {
            Bytes image = directImage(solidPicture(kBlack));
            bmpwriter::putLe16(image, bmpwriter::kInfoBitsField, 16);
            return image;
        }(),
        {}, 3);
    cases.push_back(failsAt("SecondPairDecodeError", Mode::delta, {a}, wrongDepth,
                            text::line(text::kDecodeError), {b, d}));
    cases.push_back(
        failsAt("FirstPairMissing", Mode::delta, {}, missing, text::cannotOpenInput("c.bmp"), {a}));
    cases.push_back(failsAt("FirstPairMissingInFolder", Mode::plain, {}, absent("sub/none.bmp"),
                            text::cannotOpenInput("sub/none.bmp"), {}));

    Case directory =
        failsAt("InputIsFolder", Mode::delta, {a}, absent("frames"), text::cannotOpenInput("frames"), {b});
    directory.folders.push_back("frames");
    cases.push_back(directory);

    // The output is opened after the input is decoded, and before the progress message.
    Case outputFolder{"OutputIsFolder"};
    addFiles(outputFolder, {a});
    outputFolder.folders.push_back("out.anim");
    outputFolder.runs.push_back(
        {argumentsFor(Mode::delta, {{"a.bmp", "1"}}), text::line(text::kCannotOpenOutput), 1});
    cases.push_back(outputFolder);

    Case outputNowhere{"OutputInMissingFolder"};
    addFiles(outputNowhere, {a});
    outputNowhere.runs.push_back({argumentsFor(Mode::plain, {{"a.bmp", "1"}}, "none/out.anim"),
                                  text::line(text::kCannotOpenOutput), 1});
    cases.push_back(outputNowhere);

    Case outputEmpty{"OutputPathEmpty"};
    addFiles(outputEmpty, {a});
    outputEmpty.runs.push_back(
        {argumentsFor(Mode::plain, {{"a.bmp", "1"}}, ""), text::line(text::kCannotOpenOutput), 1});
    cases.push_back(outputEmpty);

    // The stream itself named as a later input is held by the output: it cannot be opened.
    Case streamAsInput("OutputNamedAsLaterInput");
    addFiles(streamAsInput, {a});
    streamAsInput.runs.emplace_back(
        argumentsFor(Mode::delta, {{"a.bmp", "1"}, {"out.anim", "2"}, {"a.bmp", "3"}}),
        text::convertedFrame("a.bmp") + text::cannotOpenInput("out.anim"), 1);
    streamAsInput.expectedOutputFile = referenceOf(Mode::delta, {a});
    cases.push_back(streamAsInput);

    // An input that is the output file, however it is spelt, is refused and left as it was.
    for (const auto& [name, spelling] : {std::pair<std::string, std::string>{"InputIsOutput", "a.bmp"},
                                         {"InputIsOutputSpeltOtherwise", "./a.bmp"}}) {
        Case itself{name};
        addFiles(itself, {a});
        itself.outputName = "a.bmp";
        itself.runs.push_back(
            {argumentsFor(Mode::plain, {{spelling, "10"}}, "a.bmp"), text::cannotOpenInput(spelling), 1});
        itself.expectedOutputFile = a.image;
        cases.push_back(itself);
    }

    // A bad input is reported before the output file is created.
    Case notCreated =
        failsAt("BadInputCreatesNoOutput", Mode::plain, {}, notBmp, text::line(text::kNotBmp), {a});
    cases.push_back(notCreated);
    return cases;
}

std::vector<Case> headerCases() {
    std::vector<Case> cases;
    const Picture& a = sampleA();
    const Bytes info24 = directImage(a);

    Layout core;
    core.header = HeaderKind::core;
    const Bytes core24 = directImage(a, core);
    cases.push_back(converted("CoreHeader24BitAccepted", Mode::delta, {frameOf("a.bmp", core24, a)}));
    // Only the last row's padding missing: 97,292 bytes pass.
    cases.push_back(converted("LastPaddingMissing", Mode::plain,
                              {frameOf("a.bmp", Bytes(info24.begin(), info24.end() - 2), a)}));
    // A longer file is cut at 97,294 bytes.
    Bytes longer = info24;
    longer.insert(longer.end(), 5000, 0xAB);
    cases.push_back(converted("TrailingBytesIgnored", Mode::plain, {frameOf("a.bmp", longer, a)}));

    // A file cut in the middle of its pixels: the missing bytes read as 0, so the top rows are black.
    // 100 stored rows and 100 pixels of the next survive; stored rows run bottom up.
    const std::size_t keptBytes = 54 + 572 * 100 + 300;
    Picture truncated = a;
    for (std::uint32_t y = 0; y < kHeight; ++y) {
        const std::uint32_t storedRow = kHeight - 1 - y;
        for (std::uint32_t x = 0; x < kWidth; ++x) {
            if (storedRow > 100 || (storedRow == 100 && x >= 100)) {
                truncated[std::size_t{y} * kWidth + x] = kBlack;
            }
        }
    }
    cases.push_back(
        converted("TruncatedFileReadsZeros", Mode::delta,
                  {frameOf("a.bmp", Bytes(info24.begin(), info24.begin() + keptBytes), truncated)}));
    // Nothing of the file read for the frame before shows through.
    cases.push_back(
        converted("TruncatedFileAfterWholeFile", Mode::delta,
                  {frame("b.bmp", sampleB(), 1),
                   frameOf("a.bmp", Bytes(info24.begin(), info24.begin() + keptBytes), truncated, 2)}));
    // The header alone: every pixel black, index 16.
    cases.push_back(
        convertedTo("HeaderOnlyFile", Mode::delta,
                    {frameOf("a.bmp", Bytes(info24.begin(), info24.begin() + 54), solidPicture(kBlack), 6)},
                    solidFrameBytes(16, 6)));

    Layout prefixed;
    prefixed.prefix = true;
    cases.push_back(refused("Prefixed24BitDoesNotFit", directImage(a, prefixed), text::kNotBmp));
    // The header rules are a table in the unit tests (hostile_bmp_test.cpp); each refusal's message is
    // shown here once, with the failures.
    Layout topDown;
    topDown.topDown = true;
    cases.push_back(refused("TopDown", directImage(a, topDown), text::kUnusable));

    // A pixel data offset pointing into the headers is taken as it is: those bytes are decoded as pixels.
    for (const std::uint32_t offset : {0U, 20U}) {
        Bytes image = info24;
        bmpwriter::putLe32(image, bmpwriter::kPixelOffsetField, offset);
        Picture colours(kPixels);
        for (std::uint32_t y = 0; y < kHeight; ++y) {
            for (std::uint32_t x = 0; x < kWidth; ++x) {
                const std::size_t at = offset + std::size_t{572} * (kHeight - 1 - y) + 3 * x;
                colours[std::size_t{y} * kWidth + x] = {image[at], image[at + 1], image[at + 2]};
            }
        }
        cases.push_back(converted("PixelOffset" + std::to_string(offset), Mode::plain,
                                  {frameOf("a.bmp", image, colours)}));
    }
    return cases;
}

std::vector<Case> indexedCases() {
    std::vector<Case> cases;
    // The decoder's rules are tables in the unit tests; here each indexed depth once, with either header and
    // the prefix.
    const struct {
        const char* name;
        std::uint16_t depth;
        HeaderKind header;
        bool prefix;
    } images[] = {{"Depth1Core", 1, HeaderKind::core, false},
                  {"Depth4InfoPrefixed", 4, HeaderKind::info, true},
                  {"Depth8CorePrefixed", 8, HeaderKind::core, true}};
    std::uint32_t seed = 100;
    for (const auto& image : images) {
        const IndexedImage indexed = randomIndexedImage(++seed, image.depth);
        cases.push_back(converted(
            image.name, Mode::plain,
            {frameOf("a.bmp", indexed.bytes(image.depth, image.header, image.prefix), indexed.colours())}));
    }

    // Delta compares decoded colours across frames of any depth.
    const IndexedImage eight = randomIndexedImage(7, 8);
    const Picture eightColours = eight.colours();
    // The same colours as a 24-bit image: every pixel unchanged.
    const Frame asEight = frameOf("eight.bmp", eight.bytes(8, HeaderKind::info, false), eightColours, 1);
    const Frame asDirect = frameOf("direct.bmp", directImage(eightColours), eightColours, 2);
    // Other indices, same colours: the table reordered and the indices to match.
    IndexedImage reordered = eight;
    for (std::size_t i = 0; i < 256; ++i) {
        reordered.palette[255 - i] = eight.palette[i];
    }
    for (std::uint8_t& index : reordered.indices) {
        index = static_cast<std::uint8_t>(255 - index);
    }
    const Frame asReordered =
        frameOf("reordered.bmp", reordered.bytes(8, HeaderKind::info, false), reordered.colours(), 4);
    cases.push_back(convertedTo(
        "DeltaEightBitThenSameColours24Bit", Mode::delta, {asEight, asDirect},
        concat({ReferenceStream(Mode::delta).nextFrame(eightColours, 1), {0xFE, 0x7E, 0x2C, 0xFF, 2}})));
    cases.push_back(convertedTo(
        "DeltaOtherIndicesSameColours", Mode::delta, {asEight, asReordered},
        concat({ReferenceStream(Mode::delta).nextFrame(eightColours, 1), {0xFE, 0x7E, 0x2C, 0xFF, 4}})));

    // A two-colour picture drawn at every depth, with an object moving between them.
    std::vector<Frame> mixed;
    const Bgr background{40, 80, 120};
    const Bgr object{250, 10, 60};
    const std::uint16_t depths[] = {1, 4, 8, 24, 1, 8};
    for (std::size_t step = 0; step < std::size(depths); ++step) {
        const Picture picture = square(static_cast<std::uint32_t>(15 * step),
                                       static_cast<std::uint32_t>(12 * step), 60, object, background);
        const std::string file = "f" + std::to_string(step) + ".bmp";
        const auto waitByte = static_cast<std::uint8_t>(10 + step);
        if (depths[step] == 24) {
            mixed.push_back(frameOf(file, directImage(picture), picture, waitByte));
            continue;
        }
        IndexedImage image;
        image.palette.assign(std::size_t{1} << depths[step], Bgr{1, 2, 3});
        image.palette[0] = step % 2 == 0 ? background : object;
        image.palette[1] = step % 2 == 0 ? object : background;
        for (const Bgr& colour : picture) {
            image.indices.push_back(colour == image.palette[0] ? 0 : 1);
        }
        const HeaderKind header = step % 3 == 0 ? HeaderKind::core : HeaderKind::info;
        mixed.push_back(frameOf(file, image.bytes(depths[step], header, step % 2 == 1), picture, waitByte));
    }
    cases.push_back(converted("DeltaAcrossDepths", Mode::delta, mixed));
    cases.push_back(converted("PlainAcrossDepths", Mode::plain, mixed));
    return cases;
}

std::vector<Case> waitTimeCases() {
    const struct {
        const char* name;
        const char* text;
        std::uint8_t waitByte;
    } waits[] = {
        // The rules are a table in the unit tests; here the text crosses the process boundary.
        {"Wraps300", "300", 44},
        {"HighBytesAreBlanks", "\x81\x81 7", 7},
    };
    std::vector<Case> cases;
    const Picture picture = solidPicture({100, 150, 200});
    for (const auto& wait : waits) {
        Frame f = frame("a.bmp", picture);
        f.waitText = wait.text;
        f.waitByte = wait.waitByte;
        cases.push_back(convertedTo(std::string("Wait") + wait.name, Mode::plain, {f},
                                    solidFrameBytes(cubeIndexOf(picture[0]), wait.waitByte)));
    }
    return cases;
}

std::vector<Case> oddPathCases() {
    const Picture& a = sampleA();
    const Picture& b = sampleB();
    std::vector<Case> cases;
    // 表 is 0x95 0x5C in Shift_JIS: a trail byte that reads as a backslash.
    const std::string table = "\x95\x5c";
    const std::string shiftJisName =
        "\x83\x74\x83\x8c\x81\x5b\x83\x80"
        "1.bmp";  // フレーム1.bmp
    const struct {
        const char* label;
        std::string name;
        bool posixOnly;  // a byte string a Windows file name cannot be
    } inputs[] = {{"Space", "my frame.bmp", false},  {"TrailByteLikeBackslash", table + ".bmp", false},
                  {"ShiftJis", shiftJisName, false}, {"LeadingDash", "-a.bmp", false},
                  {"DoubleDash", "--", false},       {"Backslash", "a\\b.bmp", true},
                  {"ByteFF", "\xff.bmp", true}};
    for (const auto& input : inputs) {
        Case c = converted(std::string("Input") + input.label, Mode::delta,
                           {frame(input.name, a, 1), frame("b.bmp", b, 2)});
        c.posixFileNamesOnly = input.posixOnly;
        cases.push_back(c);
    }
    const std::pair<const char*, std::string> outputs[] = {
        {"Space", "out put.anim"}, {"ShiftJis", table}, {"LeadingDash", "-o"}, {"ModeKeyword", "use0xfe"}};
    for (const auto& [label, output] : outputs) {
        Case c = converted(std::string("Output") + label, Mode::plain, {frame("a.bmp", a, 1)});
        c.runs[0].arguments[1] = output;
        c.outputName = output;
        cases.push_back(c);
    }
    cases.push_back(failsAt("MissingShiftJisInput", Mode::delta, {frame("a.bmp", a)}, absent(shiftJisName),
                            text::cannotOpenInput(shiftJisName), {}));
    cases.push_back(failsAt("MissingInputWithSpaces", Mode::delta, {}, absent("no such file.bmp"),
                            text::cannotOpenInput("no such file.bmp"), {}));
    // A "%s" in a path is printed as it is.
    cases.push_back(failsAt("MissingInputWithPercent", Mode::delta, {}, absent("%s%d.bmp"),
                            text::cannotOpenInput("%s%d.bmp"), {}));
    cases.push_back(converted("PercentInInputName", Mode::plain, {frame("%s.bmp", a)}));

    // Messages longer than any fixed buffer come out whole.
    const std::string longName = std::string(5000, 'n') + ".bmp";
    cases.push_back(failsAt("MissingInputWithVeryLongName", Mode::delta, {frame("a.bmp", a)},
                            absent(longName), text::cannotOpenInput(longName), {}));
    const std::string longMode(6000, 'm');
    Case longModeCase("VeryLongUnknownMode");
    longModeCase.runs.emplace_back(std::vector<std::string>{longMode, "out.anim"},
                                   text::unknownMode(longMode), -1);
    cases.push_back(longModeCase);

    // The console is in text mode: a line feed inside a path goes out as CR LF, a CR stays as it is.
    const std::string brokenName = "no\nsuch\r\nfile.bmp";
    cases.push_back(failsAt("MissingInputWithLineBreaks", Mode::delta, {}, absent(brokenName),
                            std::string(text::kFileColon) + "no\r\nsuch\r\r\nfile.bmp" +
                                std::string(text::kCannotOpenTail) + "\r\n",
                            {}));
    Case brokenMode("UnknownModeWithLineBreak");
    brokenMode.runs.emplace_back(std::vector<std::string>{"use\n0xfe", "out.anim"},
                                 "Unknown mode \"use\r\n0xfe\"\r\n", -1);
    cases.push_back(brokenMode);
    return cases;
}

// ---------------------------------------------------------------------------------------------------------
// Running a case

class Conversion : public ::testing::TestWithParam<Case> {};

TEST_P(Conversion, MatchesExpectedBytes) {
    const Case& c = GetParam();
    const ProgramRunner& runner = activeRunner();
    if (c.posixFileNamesOnly && !runner.takesAnyFileName()) {
        GTEST_SKIP() << "file names that only a POSIX file system holds";
    }
    for (const e2e::Run& run : c.runs) {
        if (!runner.carriesArguments(run.arguments)) {
            GTEST_SKIP() << "arguments that cannot reach the program unchanged this way";
        }
    }
    const auto onDisk = [&runner](const std::string& name) { return runner.nameOnDisk(name); };
    FreshFolder folder;
    std::set<std::string> expectedEntries;
    for (const std::string& name : c.folders) {
        folder.makeFolder(onDisk(name));
        expectedEntries.insert(onDisk(name));
    }
    for (const auto& [name, bytes] : c.files) {
        folder.put(onDisk(name), bytes);
        expectedEntries.insert(onDisk(name));
    }
    for (std::size_t i = 0; i < c.runs.size(); ++i) {
        SCOPED_TRACE("run " + std::to_string(i + 1));
        const e2e::Run& run = c.runs[i];
        const ProgramRun result = runProgram(run.arguments, folder.path());
        EXPECT_TRUE(endedWith(result, run.expectedStatus));
        const std::string expectedOutput =
            run.expectUsage ? text::usage(runner.argumentZero()) : run.expectedOutput;
        EXPECT_TRUE(sameText(result.output, expectedOutput));
    }

    const std::optional<Bytes> written = folder.read(onDisk(c.outputName));
    if (c.expectedOutputFile) {
        ASSERT_TRUE(written.has_value()) << c.outputName << " was not written";
        EXPECT_TRUE(sameBytes(*written, *c.expectedOutputFile)) << "in " << c.outputName;
        expectedEntries.insert(onDisk(c.outputName));
    } else if (std::find(c.folders.begin(), c.folders.end(), c.outputName) == c.folders.end()) {
        EXPECT_FALSE(written.has_value()) << c.outputName << " should not exist";
    }
    // Inputs stay as they were, and nothing else appears.
    for (const auto& [name, bytes] : c.files) {
        if (name != c.outputName) {
            const std::optional<Bytes> now = folder.read(onDisk(name));
            ASSERT_TRUE(now.has_value()) << name;
            EXPECT_TRUE(sameBytes(*now, bytes)) << "input " << name << " changed";
        }
    }
    const std::vector<std::string> entries = folder.entries();
    EXPECT_EQ(entries, std::vector<std::string>(expectedEntries.begin(), expectedEntries.end()));
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// A launcher that takes one command-line string must be able to run every case.
TEST(CaseTable, EveryRunFitsOneCommandLineString) {
    for (const std::vector<Case>& group :
         {argumentCases(), singleFrameCases(), multiFrameCases(), appendingCases(), failureCases(),
          headerCases(), indexedCases(), waitTimeCases(), oddPathCases()}) {
        for (const Case& c : group) {
            for (const e2e::Run& run : c.runs) {
                std::vector<std::string> arguments{"animconv.exe"};
                arguments.insert(arguments.end(), run.arguments.begin(), run.arguments.end());
                EXPECT_TRUE(rawCommandLine(arguments).has_value()) << c.name;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Arguments, Conversion, ::testing::ValuesIn(argumentCases()), caseName);
INSTANTIATE_TEST_SUITE_P(SingleFrame, Conversion, ::testing::ValuesIn(singleFrameCases()), caseName);
INSTANTIATE_TEST_SUITE_P(MultiFrame, Conversion, ::testing::ValuesIn(multiFrameCases()), caseName);
INSTANTIATE_TEST_SUITE_P(Appending, Conversion, ::testing::ValuesIn(appendingCases()), caseName);
INSTANTIATE_TEST_SUITE_P(Failures, Conversion, ::testing::ValuesIn(failureCases()), caseName);
INSTANTIATE_TEST_SUITE_P(Headers, Conversion, ::testing::ValuesIn(headerCases()), caseName);
INSTANTIATE_TEST_SUITE_P(Indexed, Conversion, ::testing::ValuesIn(indexedCases()), caseName);
INSTANTIATE_TEST_SUITE_P(WaitTime, Conversion, ::testing::ValuesIn(waitTimeCases()), caseName);
INSTANTIATE_TEST_SUITE_P(OddPaths, Conversion, ::testing::ValuesIn(oddPathCases()), caseName);

}  // namespace
}  // namespace e2e
