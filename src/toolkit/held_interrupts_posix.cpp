#include "toolkit/held_interrupts.h"

#include <pthread.h>

#include <csignal>

namespace toolkit {

struct HeldInterrupts::Saved {
    sigset_t previous{};
};

HeldInterrupts::HeldInterrupts() : saved_(std::make_unique<Saved>()) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, &saved_->previous);
}

HeldInterrupts::~HeldInterrupts() {
    pthread_sigmask(SIG_SETMASK, &saved_->previous, nullptr);
}

}  // namespace toolkit
