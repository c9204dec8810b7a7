// animstudio's HTTP side: the page and its API on the loopback address, each request checked first - the
// page's own Host (no rebound name reaches it), its token, and for a POST the page's own Origin.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "studio/studio_session.h"

namespace animstudio {

struct ServerSettings {
    int port = 0;  // 0: any free port
    std::uint64_t maxUploadBytes = 0;
    std::string token;
    std::string version;
};

class StudioServer {
  public:
    StudioServer(Session& session, ServerSettings settings);
    ~StudioServer();
    StudioServer(const StudioServer&) = delete;
    StudioServer& operator=(const StudioServer&) = delete;

    // Binds 127.0.0.1; false when it cannot listen there. port() is then the port bound.
    bool bind();
    int port() const { return port_; }
    std::string address() const;
    // Serves until stop(), on the calling thread.
    void serve();
    void stop();

    // Whether the page asked to quit, and when the last request carrying the token came.
    bool quitAsked() const { return quit_; }
    std::chrono::steady_clock::time_point lastSeen() const { return lastSeen_.load(); }

  private:
    struct Routes;
    Session& session_;
    ServerSettings settings_;
    int port_ = 0;
    std::atomic<bool> quit_{false};
    std::atomic<std::chrono::steady_clock::time_point> lastSeen_;
    std::unique_ptr<Routes> routes_;
};

// The name in an X-File-Name header: percent-decoded UTF-8, refused (false) when empty, when it holds a
// folder (a slash, a backslash, a drive) or is "." or "..", holds a control character, or is a name Windows
// takes for a device or changes.
bool uploadName(const std::string& header, std::string& name);

}  // namespace animstudio
