// The page's settings as animmake's options: each setting given is put on a command line and read by
// animmake's own option parser, so that it means what the option means and is refused in the same words.
#pragma once

#include <string>

#include "make/make_options.h"
#include "studio/studio_json.h"

namespace animstudio {

// False with `error` (animmake's reason) when a setting is refused or is not of the kind it should be.
bool optionsFromSettings(const JsonValue& settings, animmake::MakeOptions& options, std::string& error);

// The settings the page starts with, as JSON: animmake's defaults.
std::string defaultSettingsJson();

}  // namespace animstudio
