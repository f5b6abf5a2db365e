#include "ui/wizard/string_table.h"

#include <algorithm>
#include <array>
#include <mutex>

#include "ui/wizard/language_module.h"
#include "ui/wizard/plural_forms.h"

namespace atlasync::ui {

namespace {

struct BuiltinText {
    TextId id;
    const wchar_t* text;
};

constexpr TextId page(std::uint32_t templateId, std::uint32_t controlId) {
    return dialog_text_id(templateId, controlId);
}

// The English texts, sorted by id. Mark-up is the wizard label's: font tags,
// bold and <br>; \n is a plain line break.
constexpr BuiltinText kBuiltinTexts[] = {
    {101, L"&About Atlasync..."},
    {103,
     L"<font face=\"Velka Sans\" color=\"blue\"><b>%1 MB</b><font color=\"black\"> of "
     L"<b>%2 MB</b>."},
    {104, L"No supported phone connected!"},
    {105,
     L"<font face=\"Velka Sans\">1. Please switch your phone on, and connect to your PC with "
     L"the provided <b>USB cable</b> or <b>bluetooth</b>.<br><br>2. When prompted, please "
     L"select <b>Linkdeck</b> mode as your connection method."},
    {106, L"Checking for software updates for <b>%1</b>."},
    {107, L"Initialization of the Maps Service API failed."},
    {108, L"Cannot get enough information about the phone (1)."},
    {109, L"Unspecified error (%1)."},
    {110, L"Action was cancelled by the user (%1)."},
    {111, L"Internal error: No phone drive selected (%1)."},
    {112,
     L"Invalid phone drive id (%1).\nIf you disconnected your phone, please reconnect it "
     L"and try again."},
    {113, L"Error while accessing your local hard drive (%1)."},
    {114, L"Internal Error: Maps need update (%1)."},
    {115, L"Internal Error: Maps updated (%1)."},
    {116,
     L"Connection to the map server has been interrupted (%1).<br>Make sure that your "
     L"internet connection is working and try again.<br>If you are still unable to update, "
     L"try again later."},
    {117,
     L"Error while accessing the phone (%1).\n\nIf you disconnected your phone, please "
     L"reconnect it and restart the Atlasync."},
    {118, L"The downloaded zip file was corrupted (%1)."},
    {119,
     L"Unable to initialize the Linkdeck API (%1).\nPlease install the latest Velka "
     L"Linkdeck and try again."},
    {120, L"The data on the phone is write protected (%1)."},
    {121, L"There is no more space on the phone (%1)."},
    {122, L"Unknown failure (%1)."},
    {125, L"Update was successful!"},
    {126, L"Error downloading and installing files."},
    {127, L"There are no new updates for your phone!"},
    {128, L"Updating Map Data"},
    {129, L"Map Data"},
    {130, L"Version %1<br><br><font face=\"Velka Sans\">Update to latest Map Data."},
    {131, L"Deleting outdated map data."},
    {132,
     L"Phone drive lost (%1). \nIf you disconnected your phone, please reconnect it and try "
     L"again."},
    {133, L"Cannot get enough information about the phone (2)."},
    {134, L"Cannot get enough information about the phone (3)."},
    // %1 is supplied but not shown.
    {135, L"%2 MB<br><font size=\"5px\"><br><font face=\"Velka Sans\" size=\"16px\">%3"},
    {136, L"Cannot update the maps application."},
    {137, L"Installing"},
    {138,
     L"Initialising installation...<br><font face=\"Velka Sans\">Do not disconnect your "
     L"phone during installation!"},
    {139,
     L"Please complete installation on your phone...<br><font face=\"Velka Sans\">Do not "
     L"disconnect your phone during installation!"},
    {141, L"No update info found for the phone (%1). The phone appears not to be supported."},
    {142, L"The installation was cancelled on the phone (%1)."},
    {143, L"The installation failed or was cancelled on the phone (%1)."},
    {144, L"MB"},
    {145, L"<font face=\"Velka Sans\">Transferring data to phone."},
    {146, L"Please complete installation on your phone... (%1)"},
    {147, L"Connection to phone lost, please reconnect your phone and run Atlasync again. (%1)"},
    {148, L"Connection to phone lost, please reconnect your phone and run Atlasync again. (%1)"},
    {149,
     L"There is not enough space on your phone. Please free up some space and run Atlasync "
     L"again. (%1)"},
    {150,
     L"Update failed. (%1)\nPlease close all applications on your phone and run Atlasync "
     L"again."},
    {151,
     L"Update failed. (%1)\nPlease close all applications on your phone and run Atlasync "
     L"again."},
    {152,
     L"Update failed. (%1)\nPlease close all applications on your phone and run Atlasync "
     L"again."},
    {153, L"Connection to phone lost, please reconnect your phone and run Atlasync again. (%1)"},
    {154, L"Your phone cannot be updated with Atlasync. (%1)"},
    {155,
     L"Your phone is busy with installing an application (%1). Please wait until the "
     L"installation is ready, and then try again."},
    {156, L"Installation failed (%1 - 0x80600001)"},
    {157, L"Installation failed (%1 - 0x80600002)"},
    {158, L"Installation failed (%1 - 0x80600003)"},
    {159, L"Installation failed (%1 - 0x80600004)"},
    {160, L"Keep the maps on your phone up to date"},
    {161,
     L"Another instance of Atlasync or Mapporter is already running. To continue Atlasync, "
     L"please close the other program first."},
    {162, L"Atlasync"},
    {163, L" Estimated time: <font color=\"blue\">%1 Minutes"},
    {164, L" Estimated time: <font color=\"blue\">%1 Seconds"},
    {165, L"The installer is not supported by your phone (%1)."},
    {166,
     L"Another update of this drive is running (%1). Wait until it has finished, then try "
     L"again."},
    {167, L"The maps on your phone are incomplete. Run Atlasync again to complete them."},
    {168, L" Estimated time: <font color=\"blue\">%1 Minute"},
    {169, L" Estimated time: <font color=\"blue\">%1 Second"},
    {170, L"Download progress"},
    {171, L"Phones"},
    {172, L"Languages"},
    {173, L"Working"},
    {174, L"Tutorial animation"},
    {175, L"Details: %1"},
    // Pages and dialogs, by template and control.
    {page(129, 0), L"Welcome to Atlasync"},
    {page(129, 1002), L"Select your preferred language for the Updater:"},
    {page(129, 1005), L"Continue"},
    {page(138, 0), L"Installing"},
    {page(138, 2), L"Cancel"},
    {page(139, 0), L"Download"},
    {page(139, 2), L"Cancel"},
    {page(140, 0), L"Get Connected"},
    {page(140, 2), L"Cancel"},
    {page(140, 1002), L"Searching for connected phone(s)."},
    {page(140, 1014), L"Searching..."},
    {page(140, 1022),
     L"<font face=\"Velka Sans\">This can take several minutes, please be "
     L"patient."},
    {page(141, 0), L"Error"},
    {page(141, 2), L"Exit"},
    {page(141, 1015), L"Try Again"},
    {page(142, 0), L"Get Connected"},
    {page(142, 1002), L"Please select the phone you wish to use:"},
    {page(142, 1005), L"Continue"},
    {page(143, 0), L"Complete"},
    {page(143, 1002), L"Update was successful!"},
    {page(143, 1005), L"Exit"},
    {page(143, 1018), L"<font face=\"Velka Sans\">Manage your maps and voices with Mapporter."},
    {page(145, 0), L"Error"},
    {page(145, 1005), L"Exit"},
    {page(146, 0), L"Checking for Updates"},
    {page(146, 2), L"Cancel"},
    {page(146, 1002), L"Searching for software updates."},
    {page(147, 0), L"Atlasync"},
    {page(147, 1019),
     L"<font face=\"Velka Sans SemiBold\" size=\"17px\">Are you sure you want to "
     L"cancel?<br><br><font face=\"Velka Sans\">(The application will exit)"},
    {page(147, 1020), L"No"},
    {page(147, 1021), L"Yes"},
    {page(148, 0), L"New updates available"},
    {page(148, 2), L"Cancel"},
    {page(148, 1005), L"Download"},
    {page(148, 1022),
     L"<font face=\"Velka Sans\">The update process might take several minutes "
     L"depending on the filesize."},
    {page(149, 0), L"Shutdown"},
    {page(149, 1002), L"Atlasync is shutting down"},
    {page(149, 1016), L"Please be patient while Atlasync is shutting down..."},
};

constexpr bool sorted_by_id() {
    for (std::size_t i = 1; i < std::size(kBuiltinTexts); ++i) {
        if (kBuiltinTexts[i - 1].id >= kBuiltinTexts[i].id) {
            return false;
        }
    }
    return true;
}
static_assert(sorted_by_id(), "built-in texts must be sorted by id without repeats");

// Texts are read on the user-interface thread, but a module may be switched
// while a worker formats a trace line; the pointer swap is guarded.
std::mutex g_moduleMutex;
std::shared_ptr<const LanguageModule> g_module;

std::shared_ptr<const LanguageModule> current_module() {
    std::lock_guard lock(g_moduleMutex);
    return g_module;
}

std::wstring text_in(const LanguageModule* module, TextId id) {
    if (module != nullptr) {
        if (const std::wstring* replaced = module->find(id)) {
            return *replaced;
        }
    }
    const wchar_t* builtin = builtin_text(id);
    return builtin != nullptr ? builtin : L"";
}

}  // namespace

const wchar_t* builtin_text(TextId id) {
    const auto* end = std::end(kBuiltinTexts);
    const auto* row = std::lower_bound(std::begin(kBuiltinTexts), end, id,
                                       [](const BuiltinText& t, TextId i) { return t.id < i; });
    return row != end && row->id == id ? row->text : nullptr;
}

std::vector<TextId> builtin_text_ids() {
    std::vector<TextId> ids;
    ids.reserve(std::size(kBuiltinTexts));
    for (const BuiltinText& row : kBuiltinTexts) {
        ids.push_back(row.id);
    }
    return ids;
}

std::wstring text(TextId id) {
    return text_in(current_module().get(), id);
}

std::wstring count_text(std::uint64_t count, TextId oneForm, TextId otherForm) {
    // One module for the rule and the text: a switch in between cannot mix languages.
    const auto module = current_module();
    const std::uint32_t language = module ? module->language() : kBuiltinLanguage;
    const TextId form = takes_one_form(language, count) ? oneForm : otherForm;
    return format_text(text_in(module.get(), form), {std::to_wstring(count)});
}

void set_language_module(std::shared_ptr<const LanguageModule> module) {
    std::lock_guard lock(g_moduleMutex);
    g_module = std::move(module);
}

std::wstring format_text(std::wstring_view pattern, std::initializer_list<std::wstring_view> args) {
    std::wstring out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == L'%' && i + 1 < pattern.size() && pattern[i + 1] >= L'1' &&
            pattern[i + 1] <= L'9') {
            const auto index = static_cast<std::size_t>(pattern[i + 1] - L'1');
            if (index < args.size()) {
                out += *(args.begin() + index);
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

}  // namespace atlasync::ui
