#include "studio/studio_server.h"

#include <httplib.h>

#include <cstdio>
#include <limits>
#include <vector>

#include "make/inputs/video_source.h"
#include "stream/stream_format.h"
#include "studio/page_files.h"
#include "studio/studio_json.h"
#include "studio/studio_settings.h"
#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

namespace animstudio {

struct StudioServer::Routes {
    httplib::Server server;
};

namespace {

using httplib::Request;
using httplib::Response;

// The connection ends with an error: a refusal may come before the request's body is read, and what is
// left of it must not be taken for the next request.
void replyError(Response& response, int status, const std::string& reason) {
    response.status = status;
    response.set_content(jsonError(reason), "application/json");
    response.set_header("Connection", "close");
}

void replyJson(Response& response, const std::string& json) {
    response.set_content(json, "application/json");
}

const char* contentTypeOf(const std::string& name) {
    const auto endsWith = [&](const char* ending) {
        const std::string suffix(ending);
        return name.size() >= suffix.size() &&
               name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    if (endsWith(".html")) {
        return "text/html; charset=utf-8";
    }
    if (endsWith(".css")) {
        return "text/css; charset=utf-8";
    }
    if (endsWith(".js")) {
        return "text/javascript; charset=utf-8";
    }
    if (endsWith(".svg")) {
        return "image/svg+xml";
    }
    if (endsWith(".png")) {
        return "image/png";
    }
    return "application/octet-stream";
}

const char* contentTypeOfKind(const std::string& kind, const std::string& name) {
    if (kind == "gif") {
        return "image/gif";
    }
    if (kind == "bmp") {
        return "image/bmp";
    }
    const std::string lower = [&] {
        std::string text = name;
        for (char& c : text) {
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        return text;
    }();
    const auto endsWith = [&](const char* ending) {
        const std::string suffix(ending);
        return lower.size() >= suffix.size() &&
               lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    const char* const kTypes[][2] = {
        {".png", "image/png"},       {".jpg", "image/jpeg"},  {".jpeg", "image/jpeg"},
        {".webp", "image/webp"},     {".mp4", "video/mp4"},   {".m4v", "video/mp4"},
        {".mov", "video/quicktime"}, {".webm", "video/webm"}, {".mkv", "video/x-matroska"},
        {".avi", "video/x-msvideo"},
    };
    for (const auto& [ending, type] : kTypes) {
        if (endsWith(ending)) {
            return type;
        }
    }
    return "application/octet-stream";
}

std::string fileJson(const StudioFile& file) {
    return "{\"id\": " + jsonString(file.id) + ", \"name\": " + jsonString(file.name) +
           ", \"size\": " + std::to_string(file.size) + ", \"kind\": " + jsonString(file.kind) +
           ", \"fromCommandLine\": " + (file.fromCommandLine ? "true" : "false") + "}";
}

std::string paletteJson() {
    std::string json = "[";
    for (int index = 0; index < 256; ++index) {
        const auto value = static_cast<std::uint8_t>(index);
        const animconv::Rgb colour =
            animconv::isCubeIndex(value) ? animconv::cubeColour(value) : animconv::Rgb{};
        char entry[24];
        std::snprintf(entry, sizeof entry, "%s[%d,%d,%d]", index > 0 ? "," : "", colour.red, colour.green,
                      colour.blue);
        json += entry;
    }
    return json + "]";
}

const char* stateName(JobState state) {
    switch (state) {
        case JobState::running:
            return "running";
        case JobState::done:
            return "done";
        case JobState::failed:
            return "failed";
        case JobState::cancelled:
            return "cancelled";
    }
    return "failed";
}

std::string readFile(const std::string& path) {
    std::string bytes;
    toolplatform::readWholeFile(path, bytes);
    return bytes;
}

// A name for a Content-Disposition header: the ASCII form with anything else replaced, and the UTF-8 form.
std::string attachment(const std::string& name) {
    std::string plain;
    std::string encoded;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        plain += byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\' ? c : '_';
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            c == '.' || c == '-' || c == '_') {
            encoded += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            encoded += escaped;
        }
    }
    return "attachment; filename=\"" + plain + "\"; filename*=UTF-8''" + encoded;
}

}  // namespace

bool uploadName(const std::string& header, std::string& name) {
    name.clear();
    for (std::size_t at = 0; at < header.size(); ++at) {
        if (header[at] != '%') {
            name += header[at];
            continue;
        }
        const auto digit = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (at + 2 >= header.size() + 0 || digit(header[at + 1]) < 0 || digit(header[at + 2]) < 0) {
            return false;
        }
        name += static_cast<char>(digit(header[at + 1]) * 16 + digit(header[at + 2]));
        at += 2;
    }
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    for (const char c : name) {
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) {
            return false;
        }
    }
    // Windows opens a device for these names, whatever follows a dot, and drops a name's last dots and
    // spaces: refused on every system, so that the page behaves the same on both.
    std::string stem = name.substr(0, name.find('.'));
    for (char& c : stem) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    const bool device = stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" ||
                        ((stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) && stem.size() == 4 &&
                         stem[3] >= '0' && stem[3] <= '9');
    return !device && name.back() != '.' && name.back() != ' ' && name.size() <= 255;
}

StudioServer::StudioServer(Session& session, ServerSettings settings)
    : session_(session),
      settings_(std::move(settings)),
      lastSeen_(std::chrono::steady_clock::now()),
      routes_(std::make_unique<Routes>()) {
    httplib::Server& server = routes_->server;
    server.set_payload_max_length(static_cast<std::size_t>(settings_.maxUploadBytes));
    // The port is this program's alone: the library's default (SO_REUSEPORT) would let another program
    // listen on it too and take the page's requests.
    server.set_socket_options([](socket_t socket) {
        int yes = 1;
#ifdef _WIN32
        setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<char*>(&yes), sizeof yes);
#else
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
    });

    // Every request: the page's own Host, its token (query, header, or the cookie the page got with it),
    // and for a POST its own Origin.
    server.set_pre_routing_handler([this](const Request& request, Response& response) {
        const std::string host = request.get_header_value("Host");
        const std::string port = std::to_string(port_);
        if (host != "127.0.0.1:" + port && host != "localhost:" + port) {
            replyError(response, 403, _("refused: the request is not addressed to this page"));
            return httplib::Server::HandlerResponse::Handled;
        }
        const std::string cookieName = "animstudio" + port + "=";
        const std::string cookies = request.get_header_value("Cookie");
        const std::size_t cookie = cookies.find(cookieName);
        const bool cookieHolds =
            cookie != std::string::npos &&
            (cookie == 0 || cookies[cookie - 1] == ' ' || cookies[cookie - 1] == ';') &&
            cookies.compare(cookie + cookieName.size(), settings_.token.size(), settings_.token) == 0 &&
            (cookie + cookieName.size() + settings_.token.size() == cookies.size() ||
             cookies[cookie + cookieName.size() + settings_.token.size()] == ';');
        if (request.get_param_value("token") != settings_.token &&
            request.get_header_value("X-Studio-Token") != settings_.token && !cookieHolds) {
            replyError(response, 403, _("refused: the request does not carry the page's token"));
            return httplib::Server::HandlerResponse::Handled;
        }
        if (request.method == "POST") {
            const std::string origin = request.get_header_value("Origin");
            const std::string hostName = host.substr(0, host.find(':'));
            if (origin != "http://" + hostName + ":" + port) {
                replyError(response, 403, _("refused: the request does not come from the page"));
                return httplib::Server::HandlerResponse::Handled;
            }
        }
        lastSeen_ = std::chrono::steady_clock::now();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_error_handler([](const Request&, Response& response) {
        if (response.body.empty()) {
            replyError(response, response.status,
                       response.status == 413 ? _("the file is larger than the upload limit (--max-upload)")
                                              : _("refused"));
        }
    });

    // The page: index.html at / (setting the token's cookie, for the files it links), the others by name.
    server.Get(R"(/([A-Za-z0-9._-]*))", [this](const Request& request, Response& response) {
        const std::string name = request.matches[1].str().empty() ? "index.html" : request.matches[1].str();
        for (std::size_t i = 0; i < kPageFileCount; ++i) {
            if (name == kPageFiles[i].name) {
                response.set_content(reinterpret_cast<const char*>(kPageFiles[i].bytes), kPageFiles[i].size,
                                     contentTypeOf(name));
                response.set_header("Cache-Control", "no-store");
                if (name == "index.html") {
                    response.set_header("Set-Cookie", "animstudio" + std::to_string(port_) + "=" +
                                                          settings_.token +
                                                          "; Path=/; HttpOnly; SameSite=Strict");
                }
                return;
            }
        }
        replyError(response, 404, _("no such page file"));
    });

    server.Get("/api/ping", [](const Request&, Response& response) { replyJson(response, "{}"); });
    server.Post("/api/quit", [this](const Request&, Response& response) {
        replyJson(response, "{}");
        quit_ = true;
    });

    server.Get("/api/session", [this](const Request&, Response& response) {
        std::string files = "[";
        for (const StudioFile& file : session_.files()) {
            files += (files.size() > 1 ? ", " : "") + fileJson(file);
        }
        files += "]";
        replyJson(response,
                  "{\"version\": " + jsonString(settings_.version) +
                      ", \"maxUploadBytes\": " + std::to_string(settings_.maxUploadBytes) +
                      ", \"readsVideo\": " + (animmake::inputs::videoSupported() ? "true" : "false") +
                      ", \"waitUnitMs\": 10, \"palette\": " + paletteJson() + ", \"files\": " + files +
                      ", \"defaults\": " + defaultSettingsJson() +
                      ", \"dithers\": [\"ordered\", \"search\", \"steady\", \"none\", \"diffusion\"]"
                      ", \"fits\": [\"contain\", \"cover\", \"stretch\"]}");
    });

    server.Post("/api/files", [this](const Request& request, Response& response,
                                     const httplib::ContentReader& content) {
        std::string name;
        if (!uploadName(request.get_header_value("X-File-Name"), name)) {
            replyError(response, 400,
                       _("the file's name is empty, holds a folder or is not one Windows can take"));
            return;
        }
        std::uint64_t received = 0;
        bool tooLarge = false;
        StudioFile added;
        std::string error;
        const bool stored = session_.addUpload(
            name,
            [&](const Session::ByteWriter& write) {
                return content([&](const char* bytes, std::size_t size) {
                    received += size;
                    tooLarge = received > settings_.maxUploadBytes;
                    return !tooLarge && write(bytes, size);
                });
            },
            added, error);
        if (stored) {
            replyJson(response, fileJson(added));
        } else if (tooLarge || response.status == 413) {
            replyError(response, 413,
                       name + ": " + _("the file is larger than the upload limit (--max-upload)"));
        } else {
            replyError(response, error.empty() ? 400 : 500,
                       error.empty() ? name + ": " + _("the upload broke off") : error);
        }
    });
    server.Post(R"(/api/files/([A-Za-z0-9]+)/remove)", [this](const Request& request, Response& response) {
        if (!session_.removeFile(request.matches[1].str())) {
            replyError(response, 404, _("no such file"));
            return;
        }
        replyJson(response, "{}");
    });
    server.Get(R"(/api/files/([A-Za-z0-9]+)/content)", [this](const Request& request, Response& response) {
        const std::optional<StudioFile> file = session_.file(request.matches[1].str());
        if (!file || toolplatform::isFolder(file->path)) {
            replyError(response, 404, _("no such file"));
            return;
        }
        response.set_content(readFile(file->path), contentTypeOfKind(file->kind, file->name));
    });

    server.Post("/api/make", [this](const Request& request, Response& response) {
        JsonValue body;
        if (!parseJson(request.body, body) || body["files"].kind != JsonValue::Kind::array) {
            replyError(response, 400, _("the request is not the page's"));
            return;
        }
        std::vector<std::string> ids;
        for (const JsonValue& id : body["files"].items) {
            ids.push_back(id.text);
        }
        animmake::MakeOptions options;
        std::string error;
        std::string job;
        if (!optionsFromSettings(body["settings"], options, error) ||
            !session_.startJob(ids, options, job, error)) {
            replyError(response, 400, error);
            return;
        }
        replyJson(response, "{\"job\": " + jsonString(job) + "}");
    });
    server.Get(R"(/api/jobs/([A-Za-z0-9]+))", [this](const Request& request, Response& response) {
        const std::optional<JobReport> report = session_.report(request.matches[1].str());
        if (!report) {
            replyError(response, 404, _("no such job"));
            return;
        }
        replyJson(response,
                  std::string("{\"state\": \"") + stateName(report->state) +
                      "\", \"framesDone\": " + std::to_string(report->framesDone) + ", \"framesExpected\": " +
                      (report->framesExpected ? std::to_string(*report->framesExpected) : "null") +
                      ", \"bytes\": " + std::to_string(report->bytes) +
                      ", \"durationMs\": " + std::to_string(report->waitUnits * 10) +
                      ", \"error\": " + (report->error.empty() ? "null" : jsonString(report->error)) + "}");
    });
    server.Get(R"(/api/jobs/([A-Za-z0-9]+)/frames)", [this](const Request& request, Response& response) {
        std::size_t from = 0;
        const std::string fromText = request.get_param_value("from");
        for (const char c : fromText) {
            if (c < '0' || c > '9' || from > std::numeric_limits<std::size_t>::max() / 20) {
                replyError(response, 400, _("the request is not the page's"));
                return;
            }
            from = from * 10 + static_cast<std::size_t>(c - '0');
        }
        std::string bytes;
        std::size_t done = 0;
        if (!session_.framesFrom(request.matches[1].str(), from, bytes, done)) {
            replyError(response, 404, _("no such job"));
            return;
        }
        response.set_header("X-Frames-Done", std::to_string(done));
        response.set_content(std::move(bytes), "application/octet-stream");
    });
    server.Post(R"(/api/jobs/([A-Za-z0-9]+)/cancel)", [this](const Request& request, Response& response) {
        if (!session_.cancel(request.matches[1].str())) {
            replyError(response, 404, _("no such job"));
            return;
        }
        replyJson(response, "{}");
    });
    server.Get(R"(/api/jobs/([A-Za-z0-9]+)/stream)", [this](const Request& request, Response& response) {
        std::string path;
        std::string name;
        if (!session_.streamOf(request.matches[1].str(), path, name)) {
            replyError(response, session_.report(request.matches[1].str()) ? 409 : 404,
                       _("the stream is not made yet"));
            return;
        }
        response.set_header("Content-Disposition", attachment(name));
        response.set_content(readFile(path), "application/octet-stream");
    });
    server.Get(R"(/api/jobs/([A-Za-z0-9]+)/gif)", [this](const Request& request, Response& response) {
        std::string path;
        std::string name;
        std::string error;
        if (!session_.gifOf(request.matches[1].str(), path, name, error)) {
            replyError(response, session_.report(request.matches[1].str()) ? 409 : 404, error);
            return;
        }
        response.set_header("Content-Disposition", attachment(name));
        response.set_content(readFile(path), "image/gif");
    });
    server.Post(
        R"(/api/jobs/([A-Za-z0-9]+)/save-beside)", [this](const Request& request, Response& response) {
            JsonValue body;
            parseJson(request.body, body);
            std::string path;
            std::string error;
            switch (session_.saveBeside(request.matches[1].str(), body["overwrite"].boolean, path, error)) {
                case SaveOutcome::saved:
                    replyJson(response, "{\"path\": " + jsonString(path) + "}");
                    return;
                case SaveOutcome::exists:
                    response.status = 409;
                    replyJson(response, "{\"exists\": true, \"path\": " + jsonString(path) + "}");
                    return;
                case SaveOutcome::refused:
                    replyError(response, 403, error);
                    return;
                case SaveOutcome::notReady:
                    replyError(response, 409, error);
                    return;
                case SaveOutcome::failed:
                    replyError(response, 500, error);
                    return;
            }
        });
}

StudioServer::~StudioServer() = default;

bool StudioServer::bind() {
    httplib::Server& server = routes_->server;
    if (settings_.port == 0) {
        port_ = server.bind_to_any_port("127.0.0.1");
        return port_ > 0;
    }
    port_ = settings_.port;
    return server.bind_to_port("127.0.0.1", settings_.port);
}

std::string StudioServer::address() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + settings_.token;
}

void StudioServer::serve() {
    routes_->server.listen_after_bind();
}

void StudioServer::stop() {
    routes_->server.stop();
}

}  // namespace animstudio
