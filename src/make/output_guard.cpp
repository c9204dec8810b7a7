#include "make/output_guard.h"

#include <filesystem>
#include <map>
#include <system_error>
#include <utility>

#include "make/output/frames_dir.h"
#include "toolkit/file_identity.h"
#include "toolkit/read_only.h"
#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

namespace animmake {
namespace {

namespace fs = std::filesystem;
using toolkit::EntryOrTarget;
using toolkit::FileIdentity;
using toolkit::folderOf;
using toolkit::identityOf;
using toolkit::resolvedOf;

// Files and folders by identity, each with the name it was given by.
class KnownFiles {
  public:
    void add(const std::string& path, const std::string& name) {
        FileIdentity identity;
        if (identityOf(path, EntryOrTarget::target, identity)) {
            names_.emplace(key(identity), name);
        }
    }
    const std::string* find(const FileIdentity& identity) const {
        const auto found = names_.find(key(identity));
        return found == names_.end() ? nullptr : &found->second;
    }

  private:
    static std::pair<std::uint64_t, std::uint64_t> key(const FileIdentity& identity) {
        return {identity.device, identity.file};
    }
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::string> names_;
};

bool refuse(std::string& error, const std::string& output, const std::string& what,
            const std::string& input) {
    error = output + ": " + what + " " + input + _("; nothing was written");
    return false;
}

// Renaming over the stream's name replaces that entry alone (toolkit::replacingTakes).
bool streamSparesInputs(const std::string& stream, output::OutputMode mode, const KnownFiles& files,
                        std::string& error) {
    FileIdentity identity;
    if (mode == output::OutputMode::append) {
        if (!identityOf(stream, EntryOrTarget::target, identity)) {
            return true;
        }
        const std::string* input = files.find(identity);
        return input == nullptr || refuse(error, stream, _("the stream to append to is the input"), *input);
    }
    if (!identityOf(stream, EntryOrTarget::entry, identity)) {
        return true;
    }
    const std::string* input = files.find(identity);
    if (input == nullptr || !toolkit::replacingTakes(stream, *input)) {
        return true;
    }
    return refuse(error, stream, _("the stream would replace the input"), *input);
}

bool isFrameFileName(const std::string& name) {
    return name.size() == output::frameFileName(1).size() && name.rfind("frame-", 0) == 0 &&
           name.find(".bmp") == name.size() - 4;
}

bool framesDirSparesInputs(const std::string& folder, const KnownFiles& files, const KnownFiles& folders,
                           std::string& error) {
    FileIdentity identity;
    if (!identityOf(folder, EntryOrTarget::target, identity)) {
        return true;  // created afresh
    }
    if (const std::string* input = folders.find(identity)) {
        return refuse(error, folder, _("the frames folder holds inputs:"), *input);
    }
    // A frame file that is a link to an input elsewhere would be written through.
    std::error_code code;
    for (const auto& entry : fs::directory_iterator(toolplatform::pathOf(folder), code)) {
        const std::string name = toolplatform::utf8Of(entry.path().filename());
        const std::string framePath = toolplatform::utf8Of(entry.path());
        FileIdentity frame;
        if (isFrameFileName(name) && identityOf(framePath, EntryOrTarget::target, frame)) {
            if (const std::string* input = files.find(frame)) {
                return refuse(error, framePath, _("the frame file is the input"), *input);
            }
        }
    }
    return true;
}

bool frameFilesWritable(const std::string& folder, std::string& error) {
    std::error_code code;
    for (const auto& entry : fs::directory_iterator(toolplatform::pathOf(folder), code)) {
        const std::string framePath = toolplatform::utf8Of(entry.path());
        if (isFrameFileName(toolplatform::utf8Of(entry.path().filename())) &&
            toolkit::isMarkedReadOnly(framePath)) {
            error = framePath + _(": the frame file is marked read-only; nothing was written");
            return false;
        }
    }
    return true;
}

}  // namespace

bool outputsWritable(const MakeOptions& options, std::string& error) {
    if (toolkit::isMarkedReadOnly(options.streamPath)) {
        error = options.streamPath + _(": the stream is marked read-only; nothing was written");
        return false;
    }
    return options.framesDir.empty() || frameFilesWritable(options.framesDir, error);
}

bool outputsSpareInputs(const MakeOptions& options, const std::vector<inputs::InputItem>& inputs,
                        std::string& error) {
    KnownFiles files;
    KnownFiles folders;
    for (const inputs::InputItem& input : inputs) {
        files.add(input.path, input.path);
        folders.add(folderOf(input.path), input.path);
        folders.add(folderOf(resolvedOf(input.path)), input.path);
    }
    for (const std::string& operand : options.inputs) {
        if (operand.size() > 1 && operand[0] == '@' && operand != "@-") {
            files.add(operand.substr(1), operand.substr(1));
        } else {
            folders.add(operand, operand);  // a file operand is no folder and never matches one
        }
    }
    return streamSparesInputs(options.streamPath, options.outputMode, files, error) &&
           (options.framesDir.empty() || framesDirSparesInputs(options.framesDir, files, folders, error));
}

}  // namespace animmake
