#include "studio_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "make/make_job.h"
#include "make/make_options.h"
#include "make/output/stream_output.h"
#include "toolkit/tool_platform.h"

namespace studiotest {

ServedStudio::ServedStudio(const std::vector<std::string>& commandLineFiles, std::uint64_t maxUploadBytes) {
    std::string error;
    EXPECT_TRUE(session_.open(error)) << error;
    for (const std::string& file : commandLineFiles) {
        session_.addCommandLineFile(file);
    }
    animstudio::ServerSettings settings;
    settings.maxUploadBytes = maxUploadBytes;
    settings.token = kToken;
    settings.version = "test";
    server_ = std::make_unique<animstudio::StudioServer>(session_, settings);
    EXPECT_TRUE(server_->bind());
    serving_ = std::thread([this] { server_->serve(); });
    client_ = std::make_unique<httplib::Client>("127.0.0.1", port());
    client_->set_read_timeout(std::chrono::seconds(60));
}

ServedStudio::~ServedStudio() {
    server_->stop();
    serving_.join();
    session_.close();
}

httplib::Headers ServedStudio::pageHeaders() const {
    return {{"X-Studio-Token", kToken}, {"Origin", origin()}};
}

httplib::Result ServedStudio::get(const std::string& path) {
    return client_->Get(path, pageHeaders());
}

httplib::Result ServedStudio::post(const std::string& path, const std::string& body, const char* type) {
    return client_->Post(path, pageHeaders(), body, type);
}

httplib::Result ServedStudio::upload(const std::string& name, const std::string& bytes) {
    httplib::Headers headers = pageHeaders();
    headers.emplace("X-File-Name", name);
    return client_->Post("/api/files", headers, bytes, "application/octet-stream");
}

std::string ServedStudio::uploaded(const std::string& name, const std::string& bytes) {
    const httplib::Result result = upload(name, bytes);
    EXPECT_TRUE(result && result->status == 200) << (result ? result->body : "no reply");
    return result ? field(result->body, "id") : "";
}

std::string ServedStudio::startJob(const std::vector<std::string>& fileIds, const std::string& settings) {
    std::string files;
    for (const std::string& id : fileIds) {
        files += (files.empty() ? "\"" : ", \"") + id + "\"";
    }
    const httplib::Result result =
        post("/api/make", "{\"files\": [" + files + "], \"settings\": " + settings + "}");
    EXPECT_TRUE(result && result->status == 200) << (result ? result->body : "no reply");
    return result ? field(result->body, "job") : "";
}

std::string ServedStudio::waitForEnd(const std::string& job) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < until) {
        const httplib::Result result = get("/api/jobs/" + job);
        if (!result) {
            return "no reply";
        }
        const std::string state = field(result->body, "state");
        if (state != "running") {
            return state;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "timed out";
}

std::string ServedStudio::make(const std::vector<std::string>& fileIds, const std::string& settings) {
    const std::string job = startJob(fileIds, settings);
    EXPECT_EQ(waitForEnd(job), "done") << get("/api/jobs/" + job)->body;
    return job;
}

std::string ServedStudio::stream(const std::string& job) {
    const httplib::Result result = get("/api/jobs/" + job + "/stream");
    EXPECT_TRUE(result && result->status == 200);
    return result ? result->body : "";
}

std::string field(const std::string& json, const std::string& name) {
    const std::string key = "\"" + name + "\": ";
    const std::size_t at = json.find(key);
    if (at == std::string::npos) {
        return "";
    }
    std::size_t from = at + key.size();
    if (json[from] == '"') {
        const std::size_t end = json.find('"', from + 1);
        return json.substr(from + 1, end - from - 1);
    }
    const std::size_t end = json.find_first_of(",}", from);
    return json.substr(from, end - from);
}

std::string readBytes(const std::string& path) {
    std::string bytes;
    std::FILE* file = toolplatform::openFile(path, "rb");
    if (file != nullptr) {
        toolplatform::readAll(file, bytes);
        std::fclose(file);
    }
    return bytes;
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::FILE* file = toolplatform::openFile(path, "wb");
    ASSERT_NE(file, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
}

std::string animmakeStream(const std::vector<std::string>& options, const std::vector<std::string>& inputs,
                           const std::string& outputPath) {
    std::vector<std::string> words{"animmake", "-q", "-f", "-o", outputPath};
    words.insert(words.end(), options.begin(), options.end());
    words.insert(words.end(), inputs.begin(), inputs.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    animmake::MakeOptions parsed;
    std::string error;
    EXPECT_EQ(animmake::parseMakeOptions(static_cast<int>(words.size()), argv.data(), parsed, error),
              animmake::OptionsResult::run)
        << error;
    std::vector<animmake::InputItem> items;
    EXPECT_TRUE(animmake::expandInputs(parsed.inputs, items, error, false)) << error;
    animmake::StreamOutput output;
    EXPECT_TRUE(output.open(outputPath, parsed.outputMode, error)) << error;
    animmake::MakeTotals totals;
    animmake::MakeFailure failure;
    EXPECT_EQ(animmake::makeFrames(items, parsed, output, {}, totals, failure), animmake::MakeStatus::done)
        << failure.reason;
    EXPECT_TRUE(output.finish(error)) << error;
    return readBytes(outputPath);
}

std::string animmakeRefusal(const std::string& option) {
    std::vector<std::string> words{"animmake", option, "input"};
    std::vector<char*> argv{words[0].data(), words[1].data(), words[2].data(), nullptr};
    animmake::MakeOptions options;
    std::string error;
    EXPECT_EQ(animmake::parseMakeOptions(3, argv.data(), options, error), animmake::OptionsResult::usageError)
        << option;
    return error;
}

}  // namespace studiotest
