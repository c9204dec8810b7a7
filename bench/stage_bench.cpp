// Each stage of one frame on its own: header parse, decode at every depth, quantize + encode in both modes,
// and handing the frame on to the next one. Inputs are built in memory with the BMP writer.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bmp/bmp.h"
#include "convert/convert_frame.h"
#include "convert/frame_encoder.h"
#include "frame_content.h"

namespace {

using animconv::FrameBuffer;
using framecontent::Kind;

// A file as the converter sees it: in a 97,294-byte buffer, zero past the file's end.
std::vector<std::uint8_t> inputBufferOf(std::vector<std::uint8_t> file) {
    file.resize(animconv::kInputCapacity, 0);
    return file;
}

std::vector<std::uint8_t> fileAtDepth(Kind kind, int frame, std::uint16_t depth) {
    return inputBufferOf(depth == 24 ? framecontent::frameFile24(kind, frame)
                                     : framecontent::frameFileIndexed(kind, frame, depth));
}

std::unique_ptr<FrameBuffer> decodedFrame(Kind kind, int frame) {
    auto decoded = std::make_unique<FrameBuffer>();
    const std::vector<std::uint8_t> input = fileAtDepth(kind, frame, 24);
    if (animconv::bmpDecode(input.data(), input.size(), decoded->pixels, 0) != 0) {
        std::abort();
    }
    return decoded;
}

Kind kindArgument(const benchmark::State& state) {
    return framecontent::kAllKinds[state.range(0)];
}

void setPixelRate(benchmark::State& state) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(animconv::kFramePixels));
    state.SetLabel(std::string(framecontent::kindName(kindArgument(state))));
}

void BM_HeaderParse(benchmark::State& state) {
    const std::vector<std::uint8_t> input = fileAtDepth(kindArgument(state), 1, 24);
    animconv::BmpInfo info;
    for (auto _ : state) {
        benchmark::DoNotOptimize(animconv::bmpGetInfo(input.data(), input.size(), info));
        benchmark::DoNotOptimize(info);
    }
    state.SetLabel(std::string(framecontent::kindName(kindArgument(state))));
}

void BM_Decode(benchmark::State& state) {
    const auto depth = static_cast<std::uint16_t>(state.range(1));
    const std::vector<std::uint8_t> input = fileAtDepth(kindArgument(state), 1, depth);
    auto frame = std::make_unique<FrameBuffer>();
    for (auto _ : state) {
        benchmark::DoNotOptimize(animconv::bmpDecode(input.data(), input.size(), frame->pixels, 0));
        benchmark::ClobberMemory();
    }
    setPixelRate(state);
}

// Frame 1 of the sequence encoded after frame 0: in delta mode that is the usual case.
void runEncode(benchmark::State& state, bool delta) {
    const Kind kind = kindArgument(state);
    const auto before = decodedFrame(kind, 0);
    const auto frame = decodedFrame(kind, 1);
    auto encoded = std::make_unique<animconv::EncodedFrame>();
    auto encoder = std::make_unique<animconv::EncoderState>();
    encoder->deltaMode = delta;
    animconv::rememberFrame(*encoder, *before);
    for (auto _ : state) {
        animconv::encodeFrame(*encoder, *frame, 10, *encoded);
        benchmark::DoNotOptimize(encoded->length);
        benchmark::ClobberMemory();
    }
    state.counters["bytes_out"] = static_cast<double>(encoded->length);
    setPixelRate(state);
}

void BM_EncodePlain(benchmark::State& state) {
    runEncode(state, false);
}

void BM_EncodeDelta(benchmark::State& state) {
    runEncode(state, true);
}

void BM_RememberFrame(benchmark::State& state) {
    const auto frame = decodedFrame(kindArgument(state), 1);
    auto encoder = std::make_unique<animconv::EncoderState>();
    for (auto _ : state) {
        animconv::rememberFrame(*encoder, *frame);
        benchmark::ClobberMemory();
    }
    setPixelRate(state);
}

// Everything between the read and the write: the checks and decode, encode in delta mode, remember.
void BM_FrameInMemory(benchmark::State& state) {
    const Kind kind = kindArgument(state);
    const std::vector<std::uint8_t> inputs[2] = {fileAtDepth(kind, 0, 24), fileAtDepth(kind, 1, 24)};
    auto frame = std::make_unique<FrameBuffer>();
    auto encoded = std::make_unique<animconv::EncodedFrame>();
    auto encoder = std::make_unique<animconv::EncoderState>();
    encoder->deltaMode = true;
    std::size_t next = 0;
    for (auto _ : state) {
        const std::vector<std::uint8_t>& input = inputs[next];
        next ^= 1;
        benchmark::DoNotOptimize(animconv::decodeInput(input.data(), input.size(), *frame));
        animconv::encodeFrame(*encoder, *frame, 10, *encoded);
        animconv::rememberFrame(*encoder, *frame);
        benchmark::DoNotOptimize(encoded->length);
        benchmark::ClobberMemory();
    }
    setPixelRate(state);
}

void allKinds(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgName("kind")->DenseRange(0, 2);
}

void allKindsAndDepths(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgNames({"kind", "depth"});
    for (std::int64_t kind = 0; kind < 3; ++kind) {
        for (std::int64_t depth : {1, 4, 8, 24}) {
            benchmark->Args({kind, depth});
        }
    }
}

BENCHMARK(BM_HeaderParse)->Apply(allKinds);
BENCHMARK(BM_Decode)->Apply(allKindsAndDepths);
BENCHMARK(BM_EncodePlain)->Apply(allKinds);
BENCHMARK(BM_EncodeDelta)->Apply(allKinds);
BENCHMARK(BM_RememberFrame)->Apply(allKinds);
BENCHMARK(BM_FrameInMemory)->Apply(allKinds);

}  // namespace

BENCHMARK_MAIN();
