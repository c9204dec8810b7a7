// What one animstudio holds while it runs: its private temporary folder, the files given on the command
// line or uploaded into that folder, and the jobs making streams of them, each on a thread of its own.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "make/make_options.h"

namespace animstudio {

struct StudioFile {
    std::string id;
    std::string name;  // as the page shows it and the messages name it
    std::string path;  // where it is read from
    std::string kind;  // image, gif, video, stream, bmp or unknown
    std::uint64_t size = 0;
    bool fromCommandLine = false;
};

// 1 byte wait + 190x170 colour indices: a frame as the page draws it.
constexpr std::size_t kShownFrameBytes = 1 + 190 * 170;

enum class JobState { running, done, failed, cancelled };

struct JobReport {
    JobState state = JobState::running;
    std::size_t framesDone = 0;
    std::optional<std::size_t> framesExpected;
    std::uint64_t bytes = 0;
    std::uint64_t waitUnits = 0;  // the frames' waits added up
    std::string error;
};

class Job;

enum class SaveOutcome { saved, exists, refused, notReady, failed };

class Session {
  public:
    Session() = default;
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Creates the private temporary folder (only its owner may enter it). False with `error` when it cannot.
    bool open(std::string& error);
    // Ends every job and removes the folder with all it holds.
    void close();

    // A file named on the command line, read where it is.
    void addCommandLineFile(const std::string& path);
    // An uploaded file: `receive` is called with a writer taking the bytes in order and returns false when
    // the upload failed (the partial file is then removed). False with `error` on a failure of the folder.
    using ByteWriter = std::function<bool(const char* bytes, std::size_t size)>;
    bool addUpload(const std::string& name, const std::function<bool(const ByteWriter&)>& receive,
                   StudioFile& added, std::string& error);
    bool removeFile(const std::string& id);
    std::optional<StudioFile> file(const std::string& id) const;
    std::vector<StudioFile> files() const;

    // Starts making a stream of `fileIds` in order with `options`. False with `error` for an unknown file.
    bool startJob(const std::vector<std::string>& fileIds, const animmake::MakeOptions& options,
                  std::string& jobId, std::string& error);
    std::optional<JobReport> report(const std::string& jobId) const;
    // The frames made from `from` on, as the page draws them; false for an unknown job.
    bool framesFrom(const std::string& jobId, std::size_t from, std::string& bytes, std::size_t& done) const;
    bool cancel(const std::string& jobId);
    // A finished job's stream path and the name it is saved under (the first file's, with .bin).
    bool streamOf(const std::string& jobId, std::string& path, std::string& name) const;
    // The preview GIF, written once on first asking. False with `error` while the job is not done.
    bool gifOf(const std::string& jobId, std::string& path, std::string& name, std::string& error);
    // Writes the stream beside the job's first file when it came from the command line: never over an
    // input, over an existing file only with `overwrite`.
    SaveOutcome saveBeside(const std::string& jobId, bool overwrite, std::string& path, std::string& error);

    const std::string& folder() const { return folder_; }

  private:
    std::shared_ptr<Job> job(const std::string& id) const;

    std::string folder_;
    mutable std::mutex mutex_;
    std::vector<StudioFile> files_;
    std::map<std::string, std::shared_ptr<Job>> jobs_;
    std::size_t nextFile_ = 1;
    std::size_t nextJob_ = 1;
};

// What kind of file the page is shown: from its first bytes.
std::string kindOfFile(const std::string& path);

}  // namespace animstudio
