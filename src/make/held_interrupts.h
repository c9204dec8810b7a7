// SIGINT and SIGTERM held in the calling thread for a scope, and the mask as it was restored however the
// scope ends (POSIX; threads started meanwhile inherit the held mask).
#pragma once

#include <pthread.h>

#include <csignal>

namespace animmake {

inline sigset_t interruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

class HeldInterrupts {
  public:
    HeldInterrupts() {
        const sigset_t set = interruptSignals();
        pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~HeldInterrupts() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    HeldInterrupts(const HeldInterrupts&) = delete;
    HeldInterrupts& operator=(const HeldInterrupts&) = delete;

  private:
    sigset_t previous_{};
};

}  // namespace animmake
