// The stream output as an object: whatever way it goes before finish() (an error returned, an exception
// thrown through it), the stream is as it was and nothing is left beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "make/output/stream_output.h"
#include "make_test_support.h"

namespace maketest {
namespace {

using animmake::output::OutputMode;
using animmake::output::StreamOutput;

// One whole frame of a single colour.
Bytes oneFrame(std::uint8_t wait) {
    animconv::EncoderState encoder;
    auto frame = std::make_unique<animconv::FrameBuffer>();
    auto encoded = std::make_unique<animconv::EncodedFrame>();
    animconv::encodeFrame(encoder, *frame, wait, *encoded);
    return Bytes(encoded->bytes, encoded->bytes + encoded->length);
}

struct OutputCase {
    const char* name;
    OutputMode mode;
    bool existing;  // the stream is there before, holding one frame
    bool finished;  // finish() called; otherwise the object goes by a thrown exception
};

TEST(StreamOutput, LeftAsItWasUnlessFinished) {
    const OutputCase cases[] = {
        {"new, thrown", OutputMode::create, false, false},
        {"new, finished", OutputMode::create, false, true},
        {"replaced, thrown", OutputMode::replace, true, false},
        {"replaced, finished", OutputMode::replace, true, true},
        {"appended, thrown", OutputMode::append, true, false},
        {"appended, finished", OutputMode::append, true, true},
    };
    const Bytes before = oneFrame(7);
    const Bytes added = oneFrame(9);
    for (const OutputCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FreshFolder scratch;
        const std::string path = scratch.pathOf("s.bin");
        if (c.existing) {
            writeBytes(path, before);
        }
        animconv::EncodedFrame frame;
        std::copy(added.begin(), added.end(), frame.bytes);
        frame.length = added.size();
        std::string error;
        try {
            StreamOutput output;
            ASSERT_TRUE(output.open(path, c.mode, error)) << error;
            ASSERT_TRUE(output.write(frame, error)) << error;
            if (!c.finished) {
                throw std::runtime_error("the run fails");
            }
            ASSERT_TRUE(output.finish(error)) << error;
        } catch (const std::runtime_error&) {
        }
        Bytes expected = c.existing ? before : Bytes{};
        if (c.finished) {
            expected = c.mode == OutputMode::append ? testsupport::concat({before, added}) : added;
        }
        EXPECT_EQ(readBytes(path), expected);
        EXPECT_EQ(scratch.entries(), (c.existing || c.finished ? std::vector<std::string>{"s.bin"}
                                                               : std::vector<std::string>{}));
    }
}

// A replacement or append whose folder is renamed during the run cannot be put in place: it fails, and
// leaves nothing in the folder but the stream as it was.
TEST(StreamOutput, AFailedReplacementLeavesNoTemporaryFile) {
    const Bytes before = oneFrame(7);
    const Bytes added = oneFrame(9);
    for (const OutputMode mode : {OutputMode::replace, OutputMode::append}) {
        const FreshFolder scratch;
        std::filesystem::create_directory(scratch.pathOf("a"));
        writeBytes(scratch.pathOf("a/s.bin"), before);
        animconv::EncodedFrame frame;
        std::copy(added.begin(), added.end(), frame.bytes);
        frame.length = added.size();
        std::string error;
        StreamOutput output;
        ASSERT_TRUE(output.open(scratch.pathOf("a/s.bin"), mode, error)) << error;
        ASSERT_TRUE(output.write(frame, error)) << error;
        std::filesystem::rename(scratch.pathOf("a"), scratch.pathOf("b"));
        EXPECT_FALSE(output.finish(error));
        EXPECT_NE(error.find("cannot replace the stream"), std::string::npos) << error;
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(scratch.pathOf("b"))) {
            names.push_back(entry.path().filename().string());
        }
        EXPECT_EQ(names, std::vector<std::string>{"s.bin"});
        EXPECT_EQ(readBytes(scratch.pathOf("b/s.bin")), before);
    }
}

}  // namespace
}  // namespace maketest
