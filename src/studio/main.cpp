// animstudio: a page in the browser that makes animation streams through animmake's own engine.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include "make/inputs/video_source.h"
#include "studio/studio_options.h"
#include "studio/studio_server.h"
#include "studio/studio_session.h"
#include "toolkit/image_library.h"
#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace {

using namespace animstudio;

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

volatile std::sig_atomic_t interrupted = 0;

#ifdef _WIN32
// Ctrl-C, Ctrl-Break and the console window closed: the window's close ends the process once the handler
// returns, so it waits (Windows allows 5 s) until the temporary folder is gone.
std::atomic<bool> cleanedUp{false};

BOOL WINAPI onConsoleEvent(DWORD) {
    interrupted = 1;
    for (int waited = 0; waited < 40 && !cleanedUp; ++waited) {
        Sleep(100);
    }
    return TRUE;
}
#else
extern "C" void onStudioInterrupt(int) {
    interrupted = 1;
}
#endif

int fail(const std::string& message) {
    toolplatform::writeText(stderr, "animstudio: " + message + "\n");
    return kExitFailed;
}

std::string newToken() {
    std::random_device random;
    std::string token;
    for (int part = 0; part < 4; ++part) {
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(random()));
        token += hex;
    }
    return token;
}

// The page in the user's default browser; false when none could be started.
bool openInBrowser(const std::string& address) {
#ifdef _WIN32
    const int wide = MultiByteToWideChar(CP_UTF8, 0, address.c_str(), -1, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, address.c_str(), -1, text.data(), wide);
    return reinterpret_cast<INT_PTR>(
               ShellExecuteW(nullptr, L"open", text.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
#else
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string program = "xdg-open";
    std::string argument = address;
    char* arguments[] = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    const int started = posix_spawnp(&child, "xdg-open", &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        return false;
    }
    // xdg-open hands the address on and ends; reaped on a thread of its own so that nothing waits for it.
    std::thread([child] {
        int status = 0;
        waitpid(child, &status, 0);
    }).detach();
    return true;
#endif
}

int runStudio(int argc, char** argv) {
    StudioOptions options;
    std::string error;
    switch (parseStudioOptions(argc, argv, options, error)) {
        case StudioParse::help:
            toolplatform::writeText(stdout, studioHelpText());
            return kExitDone;
        case StudioParse::version:
            toolplatform::writeText(stdout, studioVersionText());
            return kExitDone;
        case StudioParse::usageError:
            toolplatform::writeText(
                stderr, "animstudio: " + error + _("\nTry 'animstudio --help' for more information.\n"));
            return kExitUsage;
        case StudioParse::run:
            break;
    }
    // One libvips thread per pipeline, as animmake has it: its workers are the parallelism.
    const imagelibrary::ImageLibrary imageLibrary(argv[0], {.quiet = true, .cached = false, .threads = 1});
    if (!imageLibrary.started()) {
        return fail(_("cannot start the image library (libvips)"));
    }
    animmake::configureVideoLibrary();

    Session session;
    if (!session.open(error)) {
        return fail(error);
    }
    for (const std::string& file : options.files) {
        session.addCommandLineFile(file);
    }
    ServerSettings settings;
    settings.port = options.port;
    settings.maxUploadBytes = options.maxUploadMiB << 20;
    settings.token = newToken();
    settings.version = ANIMCONV_VERSION;
    StudioServer server(session, settings);
    if (!server.bind()) {
        return fail(options.port != 0 ? _("cannot listen on 127.0.0.1:") + std::to_string(options.port)
                                      : std::string(_("cannot listen on 127.0.0.1")));
    }
    toolplatform::writeText(stdout, server.address() + "\n");
    std::fflush(stdout);
    if (options.openBrowser && !openInBrowser(server.address()) && !options.quiet) {
        toolplatform::writeText(stderr, _("animstudio: cannot open a browser; open the address above\n"));
    }
#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    std::signal(SIGINT, onStudioInterrupt);
    std::signal(SIGTERM, onStudioInterrupt);
#endif
    std::thread serving([&] { server.serve(); });
    const auto idleLimit = std::chrono::seconds(options.idleExitSeconds);
    while (
        interrupted == 0 && !server.quitAsked() &&
        (options.idleExitSeconds == 0 || std::chrono::steady_clock::now() - server.lastSeen() < idleLimit)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // A quit's reply leaves before the server stops.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server.stop();
    serving.join();
    session.close();
    if (!options.quiet) {
        toolplatform::writeText(stderr, _("animstudio: ended\n"));
    }
#ifdef _WIN32
    cleanedUp = true;
#endif
    return kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
    toolkit::startTranslation();
    toolplatform::Utf8CommandLine commandLine(argc, argv);
    try {
        return runStudio(commandLine.argc(), commandLine.argv());
    } catch (...) {
        return fail(_("an unexpected error"));
    }
}
