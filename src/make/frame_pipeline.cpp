#include "make/frame_pipeline.h"

#include <exception>
#include <memory>
#include <new>

#include "make/dither/dither_choice.h"
#include "toolkit/held_interrupts.h"
#include "toolkit/image_library.h"
#include "toolkit/translation.h"

namespace animmake {
namespace {

using dither::FrameDither;

constexpr std::size_t kFramesQueuedPerInput = 3;

inputs::LoadFailure failureOf(const std::exception_ptr& thrown) {
    inputs::LoadFailure failure;
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        failure.reason = _("out of memory");
    } catch (const std::exception& error) {
        failure.reason = _("cannot be processed: an unexpected error");
        failure.libraryText = error.what();
    } catch (...) {
        failure.reason = _("cannot be processed: an unexpected error");
    }
    return failure;
}

}  // namespace

FramePipeline::FramePipeline(const std::vector<inputs::InputItem>& inputs,
                             const inputs::SourceSettings& settings, dither::Dither dither, unsigned workers)
    : inputs_(inputs),
      settings_(settings),
      dither_(dither),
      window_(std::size_t{workers} * 2),
      slots_(window_) {
    // Interrupts are taken by the main thread, which writes the stream, so that the handler never cuts the
    // stream back while a frame write is under way in another thread: workers and the libvips threads they
    // start inherit them held.
    const toolkit::HeldInterrupts held;
    try {
        threads_.reserve(workers);
        for (unsigned i = 0; i < workers; ++i) {
            threads_.emplace_back([this] { work(); });
        }
    } catch (...) {
        stopAndJoin();  // the workers already started; the destructor does not run for a failed constructor
        throw;
    }
}

FramePipeline::~FramePipeline() {
    stopAndJoin();
}

void FramePipeline::stopAndJoin() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

bool FramePipeline::deliver(Slot& slot, inputs::SourceFrame frame) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || slot.frames.size() < kFramesQueuedPerInput; });
    if (stopping_) {
        return false;
    }
    slot.frames.push_back(std::move(frame));
    changed_.notify_all();
    return true;
}

void FramePipeline::workOn(std::size_t input, Slot& slot, FrameDither* dither) {
    inputs::LoadFailure failure;
    std::string notice;
    bool loaded = false;
    inputs::SourceSettings settings = settings_;
    settings.video.keepEveryFrame = inputs_[input].wait >= 0;
    // A video decodes once the consumer has reached it, so that videos in the window ahead do not each
    // hold a decoder's memory; the consumer never waits on an input that waits on it.
    settings.awaitVideoTurn = [this, input] {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || consumerAt_ >= input; });
        return !stopping_;
    };
    try {
        const std::unique_ptr<inputs::Source> source =
            inputs::openInput(inputs_[input].path, inputs_[input].kind, settings);
        inputs::SourceFrame frame;
        while (source->next(frame)) {
            if (dither && !frame.fromStream) {
                dither->apply(*frame.pixels);
            }
            if (!deliver(slot, std::move(frame))) {
                break;  // the run is stopping
            }
        }
        loaded = !source->failed();
        failure = source->failure();
        notice = source->notice();
    } catch (...) {
        failure = failureOf(std::current_exception());
    }
    {
        std::lock_guard lock(mutex_);
        slot.done = true;
        slot.failed = !loaded;
        slot.failure = std::move(failure);
        slot.notice = std::move(notice);
    }
    changed_.notify_all();
}

void FramePipeline::work() {
    const imagelibrary::ImageLibraryThread imageLibrary;
    // A dither that remembers the frames before runs on the consumer's thread, in stream order.
    const std::unique_ptr<FrameDither> dither =
        dither::ditherRemembers(dither_) ? nullptr : dither::makeDither(dither_);
    for (;;) {
        std::size_t input = 0;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] {
                return stopping_ || nextToClaim_ >= inputs_.size() || nextToClaim_ < consumerAt_ + window_;
            });
            if (stopping_ || nextToClaim_ >= inputs_.size()) {
                return;
            }
            input = nextToClaim_++;
        }
        workOn(input, slots_[input % window_], dither.get());
    }
}

FramePipeline::Next FramePipeline::next(std::size_t input, inputs::SourceFrame& frame,
                                        inputs::LoadFailure& failure, std::string& notice) {
    Slot& slot = slots_[input % window_];
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !slot.frames.empty() || slot.done; });
    if (!slot.frames.empty()) {
        frame = std::move(slot.frames.front());
        slot.frames.pop_front();
        changed_.notify_all();
        return Next::frame;
    }
    failure = slot.failure;
    notice = slot.notice;
    return slot.failed ? Next::failed : Next::inputDone;
}

void FramePipeline::advance() {
    {
        std::lock_guard lock(mutex_);
        slots_[consumerAt_ % window_] = Slot{};
        ++consumerAt_;
    }
    changed_.notify_all();
}

}  // namespace animmake
