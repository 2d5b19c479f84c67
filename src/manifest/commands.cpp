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

// What is said when the end state is not the one asked for and no step of ours was refused: another
// program (another window of ours, say) wrote, replaced or removed the manifest between our steps.
constexpr std::string_view kChangedMeanwhile = "another program changed the manifest meanwhile";

// A command whose end state is not the one asked for says so, with the system's words where the
// system refused a step. The program is named as its path names it, even where the lookup sees no
// name (a hidden program, or one that is gone).
void report_failure(platform::Dialogs& dialogs, std::string_view what, const std::string& exelink,
                    std::error_code error) {
    const std::string why = error ? platform::error_text(error) : std::string(kChangedMeanwhile);
    show_box(dialogs, std::string(what) + platform::base_name(exelink) + ": " + why, platform::buttons::kOkWarning);
}

// After a change on disk: the program's new time makes Windows read its manifest afresh.
void renew_program_time(platform::Dialogs& dialogs, const std::string& exelink) {
    if (const std::error_code error = platform::touch(exelink)) {
        show_box(dialogs,
            std::string(kCacheBefore) + platform::base_name(exelink) + std::string(kCacheAfter) +
                platform::error_text(error),
            platform::buttons::kOkWarning);
    }
}

}  // namespace

void enable(std::string exelink, std::string_view style_status, const formats::RichTextBox& manif,
            bool template_usable, platform::Dialogs& dialogs) {
    if (exelink.empty() || style_status != kStatusNo) return;
    if (!template_usable) {
        show_box(dialogs, kTemplateMissing, platform::buttons::kOkWarning);
        return;
    }
    // A manifest is written only for a program that is there, asked about and written alike.
    if (const std::error_code error = platform::check_regular_file(exelink)) {
        report_failure(dialogs, kEnableFailed, exelink, error);
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
    if (const std::error_code error = platform::check_regular_file(exelink)) {
        report_failure(dialogs, kEnableFailed, exelink, error);
        return;
    }

    // The status said no manifest was there, so whatever is there now is not replaced: it came
    // after the user was told (a second Enable without a new drop meets its own manifest).
    const std::string manifest = manifest_path(exelink);
    const std::error_code save_error = platform::create_file(manifest, manif.text());
    platform::set_attributes(manifest, kManifestAttributes);

    // Anything longer than the manifest text is not it, so no more than that is read.
    std::string written;
    if (!platform::read_file(manifest, written, manif.text().size()) && written == manif.text()) {
        renew_program_time(dialogs, exelink);
        return;
    }
    // The system's refusal is the reason only where nothing is there; anything else there, or
    // nothing after a save that succeeded or found something there, is another program's doing.
    const bool refused =
        save_error && save_error != std::errc::file_exists && !platform::path_exists(manifest);
    report_failure(dialogs, kEnableFailed, exelink, refused ? save_error : std::error_code());
}

void disable(std::string exelink, std::string_view style_status, platform::Dialogs& dialogs) {
    if (exelink.empty() || style_status != kStatusYes) return;
    // Nothing changes before the answer: a question left open (or a program ended while it is)
    // leaves the manifest as it was.
    const std::string prompt = std::string(kDisablePrompt) + platform::lookup_name(exelink);
    if (show_box(dialogs, prompt, platform::buttons::kYesNoWarning) != platform::answer::kYes) return;

    const std::string manifest = manifest_path(exelink);
    unsigned before = 0;
    const bool was_there = !platform::get_attributes(manifest, before);
    // A read-only manifest cannot be deleted; a link or a folder has no attributes to clear.
    const std::error_code clear_error = platform::set_attributes(manifest, platform::attribute::kNormal);
    const std::error_code delete_error = platform::delete_file(manifest);
    if (!platform::path_exists(manifest)) {
        renew_program_time(dialogs, exelink);
        return;
    }
    // A manifest that stays keeps its attributes, so it stays as it was.
    if (was_there && !clear_error) platform::set_attributes(manifest, before & platform::attribute::kSettable);
    // Where both failed, the attributes that could not be cleared are the cause (an immutable or
    // another user's file). A manifest that came, or went and came back, meanwhile (a step found
    // nothing there, yet something is there now) is another program's doing.
    const bool replaced = platform::is_nothing_there(clear_error) || platform::is_nothing_there(delete_error);
    const std::error_code cause =
        !was_there || replaced ? std::error_code() : clear_error && delete_error ? clear_error : delete_error;
    report_failure(dialogs, kDisableFailed, exelink, cause);
}

}  // namespace vextra::manifest
