// An animstudio served inside the test process (its session and server, as main starts them), and a client
// that speaks to it as the page does: the token's header and the page's Origin on every request.
#pragma once

#include <httplib.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "studio/studio_server.h"
#include "studio/studio_session.h"

namespace studiotest {

constexpr const char* kToken = "0123456789abcdef0123456789abcdef";

class ServedStudio {
  public:
    explicit ServedStudio(const std::vector<std::string>& commandLineFiles = {},
                          std::uint64_t maxUploadBytes = 64 << 20);
    ~ServedStudio();

    int port() const { return server_->port(); }
    std::string origin() const { return "http://127.0.0.1:" + std::to_string(port()); }
    const std::string& folder() const { return session_.folder(); }
    bool quitAsked() const { return server_->quitAsked(); }

    // A client with the page's headers.
    httplib::Result get(const std::string& path);
    httplib::Result post(const std::string& path, const std::string& body,
                         const char* type = "application/json");
    // An upload; the returned body is the file's JSON.
    httplib::Result upload(const std::string& name, const std::string& bytes);
    // The id of an uploaded file (fails the test when the upload is refused).
    std::string uploaded(const std::string& name, const std::string& bytes);
    // Starts a job and waits for its end; returns the job id. `settings` is the JSON object.
    std::string make(const std::vector<std::string>& fileIds, const std::string& settings);
    std::string startJob(const std::vector<std::string>& fileIds, const std::string& settings);
    std::string waitForEnd(const std::string& job);  // the final state
    std::string stream(const std::string& job);

    httplib::Headers pageHeaders() const;

  private:
    animstudio::Session session_;
    std::unique_ptr<animstudio::StudioServer> server_;
    std::thread serving_;
    std::unique_ptr<httplib::Client> client_;
};

// A field of a flat JSON reply: a string's text or a number/word as written ("" when absent).
std::string field(const std::string& json, const std::string& name);

// The stream animmake's command line makes of `inputs` with `options` (its option words), run through the
// same steps as its main: the options parsed, the inputs expanded, the stream written and finished.
std::string animmakeStream(const std::vector<std::string>& options, const std::vector<std::string>& inputs,
                           const std::string& outputPath);

// The reason animmake's command line gives for refusing `option` ("--fps=0").
std::string animmakeRefusal(const std::string& option);

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

}  // namespace studiotest
