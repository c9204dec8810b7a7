// What the animmake tests share: running animmake, test images made with libvips, reading streams back.
#pragma once

#include <vips/vips8>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "stream_frames.h"

namespace maketest {

using testsupport::Bytes;
using testsupport::FreshFolder;
using testsupport::ProcessResult;
using testsupport::Rgb;

// The file's bytes; none when it is missing.
Bytes readBytes(const std::string& path);
void writeBytes(const std::string& path, const Bytes& bytes);

ProcessResult animmake(const std::vector<std::string>& arguments, const std::string& folder);

// A width x height sRGB image: a smooth colour gradient with a little texture, so that every dither level
// and many runs occur. `shift` moves a 30x30 square within it, the only part that changes between frames.
vips::VImage photoLike(int width, int height, int shift);

// A solid colour.
vips::VImage solid(int width, int height, Rgb colour);

// Pages of equal size stacked into one animated GIF with per-page delays in milliseconds.
void saveAnimatedGif(const std::vector<vips::VImage>& pages, const std::vector<int>& delaysMs,
                     const std::string& path);

using StreamFrame = testsupport::DecodedFrame;

// A stream made by animmake from `pictures`, each with its wait byte (through a list), with `options` added:
// written to folder/name. False, with the failure reported, when animmake fails.
bool makeStream(const std::string& folder, const std::string& name,
                const std::vector<std::pair<vips::VImage, int>>& pictures,
                const std::vector<std::string>& options);

// Every frame of a stream that must be valid.
std::vector<StreamFrame> readStream(const std::string& path);

// Starts animmake on its own, waits until `ready` holds (polled with the folder and the run's process id),
// sends `signal` and returns the exit status (-1 when it did not exit, as after SIGKILL).
int interruptedRun(const std::vector<std::string>& arguments, const std::string& folder, int signal,
                   bool (*ready)(const std::string& folder, int processId));

// Whether process `processId` holds a temporary stream (named or not) of more than `bytes` bytes open.
bool writesTemporaryStream(int processId, std::uint64_t bytes);

}  // namespace maketest
