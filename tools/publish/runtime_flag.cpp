// qh-publish [--runtime-id ID] --runtime DIR: the compatibility runtime and
// its description in the folder of --platform. Without --runtime-id the folder's
// name is the id.
#include <filesystem>
#include <optional>

#include "core/error.h"
#include "tools/publish/publish.h"
#include "tools/publish/runtime_archive.h"

namespace qh {

namespace {

// The id waits here for --runtime, which is registered after it and so runs after it.
std::optional<std::string> runtimeId;

const bool idRegistered = registerPublishFlag(
    {"--runtime-id", "ID",
     "the id of the --runtime folder (names its archive and prefix; default: the folder's name)",
     [](const PublishContext&, const std::string& value) { runtimeId = value; }});

const bool runtimeRegistered = registerPublishFlag(
    {"--runtime", "DIR",
     "pack a runtime folder (an executable wine with wineserver beside it, optional Frameworks or "
     "lib, dxvk/d3d9.dll) as mac/runtime/ID.tar.xz and describe it in mac/runtime.txt "
     "(in the linux folder with --platform linux)",
     [](const PublishContext& context, const std::string& value) {
       std::filesystem::path dir = std::filesystem::path(value).lexically_normal();
       if (!dir.has_filename()) dir = dir.parent_path();
       try {
         RuntimeArchive::publish(dir, runtimeId.value_or(dir.filename().string()), context.outDir,
                                 context.os);
       } catch (const std::exception& e) {
         throw Error("--runtime: " + std::string(e.what()));
       }
     }});

}  // namespace

}  // namespace qh
