#include "studio/studio_settings.h"

#include <mutex>
#include <vector>

#include "toolkit/translation.h"

namespace animstudio {
namespace {

// getopt_long keeps its place in globals: one parse at a time.
std::mutex parsing;

struct SettingOption {
    const char* setting;
    const char* option;
    JsonValue::Kind kind;
};

constexpr SettingOption kSettings[] = {
    {"dither", "--dither", JsonValue::Kind::string},
    {"fit", "--fit", JsonValue::Kind::string},
    {"background", "--background", JsonValue::Kind::string},
    {"fps", "--fps", JsonValue::Kind::number},
    {"start", "--start", JsonValue::Kind::number},
    {"duration", "--duration", JsonValue::Kind::number},
    {"wait", "--wait", JsonValue::Kind::number},
    {"maxPixels", "--max-pixels", JsonValue::Kind::number},
};

}  // namespace

bool optionsFromSettings(const JsonValue& settings, animmake::MakeOptions& options, std::string& error) {
    if (settings.kind != JsonValue::Kind::object && !settings.isNull()) {
        error = _("the settings are not an object");
        return false;
    }
    std::vector<std::string> words{"animmake"};
    for (const SettingOption& row : kSettings) {
        const JsonValue& value = settings[row.setting];
        if (value.isNull()) {
            continue;
        }
        // A string where a number belongs is taken as the option's text too ("1:30" for a start).
        if (value.kind != row.kind && value.kind != JsonValue::Kind::string) {
            error = _("invalid value for '") + std::string(row.option) + "'";
            return false;
        }
        words.push_back(std::string(row.option) + "=" + value.text);
    }
    const JsonValue& delta = settings["delta"];
    if (delta.kind == JsonValue::Kind::boolean && !delta.boolean) {
        words.emplace_back("--no-delta");
    }
    words.emplace_back("--");
    words.emplace_back("input");  // the operand the parser asks for; the inputs are the job's
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    animmake::MakeOptions parsed;
    const std::lock_guard lock(parsing);
    if (animmake::parseMakeOptions(static_cast<int>(words.size()), argv.data(), parsed, error) !=
        animmake::OptionsResult::run) {
        return false;
    }
    parsed.inputs.clear();
    parsed.quiet = true;
    options = std::move(parsed);
    return true;
}

std::string defaultSettingsJson() {
    return "{\"dither\": \"ordered\", \"fit\": \"contain\", \"background\": \"#000000\", \"fps\": null, "
           "\"start\": null, \"duration\": null, \"wait\": null, \"maxPixels\": null, \"delta\": true}";
}

}  // namespace animstudio
