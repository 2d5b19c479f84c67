// SPDX-License-Identifier: MIT
#include "manifest/commands.h"

#include "manifest/own_manifest.h"
#include "manifest/target.h"
#include "platform/executable.h"
#include "platform/files.h"
#include "product.h"

namespace vextra::manifest {
namespace {

int show_box(platform::Dialogs& dialogs, std::string_view prompt, int buttons) {
    return dialogs.message_box(std::string(prompt), buttons, std::string(kProductName));
}

// What is said when every step succeeded and yet the end state is not the one asked for: another
// program (another window of ours, say) wrote or replaced the manifest between our step and the check.
constexpr std::string_view kChangedMeanwhile = "another program changed the manifest meanwhile";

// A confirmed command whose end state is not the one asked for says so, with the system's words
// where the system refused a step.
void report_failure(platform::Dialogs& dialogs, std::string_view what, const std::string& exelink,
                    std::error_code error) {
    const std::string why = error ? platform::error_text(error) : std::string(kChangedMeanwhile);
    show_box(dialogs, std::string(what) + platform::lookup_name(exelink) + ": " + why,
        platform::buttons::kOkWarning);
}

// After a change on disk: the program's new time makes Windows read its manifest afresh.
void renew_program_time(platform::Dialogs& dialogs, const std::string& exelink) {
    if (const std::error_code error = platform::touch(exelink)) {
        show_box(dialogs,
            std::string(kCacheBefore) + platform::lookup_name(exelink) + std::string(kCacheAfter) +
                platform::error_text(error),
            platform::buttons::kOkWarning);
    }
}

}  // namespace

void enable(std::string exelink, std::string_view style_status, const platform::RichTextBox& manif,
            bool template_usable, platform::Dialogs& dialogs) {
    if (exelink.empty() || style_status != kStatusNo) return;
    if (!template_usable) {
        show_box(dialogs, kTemplateMissing, platform::buttons::kOkWarning);
        return;
    }
    const std::string name = platform::lookup_name(exelink);
    if (const auto own = platform::embedded_manifest(exelink)) {
        show_box(dialogs,
            asks_for_visual_styles(*own)
                ? name + std::string(kAlreadyStyled)
                : name + std::string(kOwnManifestBefore) + name + std::string(kOwnManifestAfter),
            platform::buttons::kOkWarning);
        return;
    }
    if (show_box(dialogs, std::string(kEnablePrompt) + name, platform::buttons::kYesNoWarning) != platform::answer::kYes)
        return;

    const std::string manifest = manifest_path(exelink);
    const std::error_code save_error = manif.save_text(manifest);
    platform::set_attributes(manifest, kManifestAttributes);

    // A second Enable over the same read-only manifest fails to save but leaves the right file.
    // Anything longer than the manifest text is not it, so no more than that is read: a file too
    // large to read is simply another manifest.
    std::string written;
    std::error_code read_error = platform::read_file(manifest, written, manif.text().size());
    if (!read_error && written == manif.text()) {
        renew_program_time(dialogs, exelink);
        return;
    }
    if (read_error == std::errc::file_too_large) read_error.clear();
    report_failure(dialogs, kEnableFailed, exelink, save_error ? save_error : read_error);
}

void disable(std::string exelink, std::string_view style_status, platform::Dialogs& dialogs) {
    if (exelink.empty() || style_status != kStatusYes) return;
    const std::string manifest = manifest_path(exelink);
    platform::set_attributes(manifest, platform::attribute::kNormal);

    const std::string prompt = std::string(kDisablePrompt) + platform::lookup_name(exelink);
    if (show_box(dialogs, prompt, platform::buttons::kYesNoWarning) != platform::answer::kYes) {
        platform::set_attributes(manifest, kManifestAttributes);
        return;
    }
    const std::error_code delete_error = platform::delete_file(manifest);
    if (platform::path_exists(manifest))
        report_failure(dialogs, kDisableFailed, exelink, delete_error);
    else
        renew_program_time(dialogs, exelink);
}

}  // namespace vextra::manifest
