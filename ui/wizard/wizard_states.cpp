// The states of the wizard's flow. The engine traces each one's entry and exit
// under its full name (state_name); a signal a state does not list goes to its
// parent.

#include <algorithm>
#include <utility>

#include "service/core/exceptions.h"
#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/facade/maps_service.h"
#include "ui/messaging/ui_language_manager.h"
#include "ui/wizard/download_text.h"
#include "ui/wizard/error_table.h"
#include "ui/wizard/state_machine.h"
#include "ui/wizard/wizard_signals.h"

#include <QSettings>

namespace atlasync::ui {

namespace {

using MapsService::is_success;
using MapsService::kResultCancelled;
using MapsService::Result;

}  // namespace

// A fixed transition from the running state, its path cached at the call site.
#define WIZARD_TRANSITION(target)                         \
    do {                                                  \
        static TransitionRecord record;                   \
        TransitionStatic(record, &CStateMachine::target); \
    } while (false)

QState CStateMachine::Initial(const HsmEvent& /*e*/) {
    InitialTransition(&CStateMachine::StRunning);
    return Handled();
}

QState CStateMachine::StRunning(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            m_pump.start();
            post_to_worker([this] { op_initialize(); });
            return Handled();
        case SignalExit:
            m_host->show_page(WizardPage::Shutdown);
            m_host->repaint_now();
            shut_down_service();
            set_trace_enabled(false);
            return Handled();
        case SignalInit:
            InitialTransition(&CStateMachine::StSplashScreen);
            return Handled();
        case SIG_CANCEL_REQUEST:
            if (m_cancelMode == 0) {
                WIZARD_TRANSITION(StStopped);
            } else if (!m_confirmPending) {
                // Asked from its own call, so the modal question never runs
                // inside a dispatch.
                m_confirmPending = true;
                CMainThreadCallGate::post([this] {
                    if (m_stopped) {  // stopped meanwhile: nothing left to confirm
                        m_confirmPending = false;
                        return;
                    }
                    const bool confirmed = m_host->confirm_cancel();
                    m_confirmPending = false;
                    if (confirmed) {
                        // The question promised the exit: the run ends with the
                        // operation, even one that finished while it was asked.
                        m_exitConfirmed = true;
                        post_signal(*this, SIG_CANCEL_CONFIRMED);
                    }
                });
            }
            return Handled();
        case SIG_CANCEL_CONFIRMED:
            WIZARD_TRANSITION(StStopped);
            return Handled();
        case SIG_SERVICE_INIT_FAILED:
            show_error(kTextServiceStartFailed, m_initResult.load(), nullptr, false);
            return Handled();
        case SIG_SELECTED_PHONE_LOST:
            m_mapsAppJustUpdated = false;
            return Handled();
        default:
            break;
    }
    return Parent(&QHsm::Top);
}

QState CStateMachine::StStopped(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            m_stopped = true;
            m_host->end_run(kResultCancelled);
            if (m_loop != nullptr) {
                m_loop->quit();
            }
            return Handled();
        default:
            break;
    }
    if (e.signal >= FirstUserSignal) {
        return Handled();
    }
    return Parent(&QHsm::Top);
}

QState CStateMachine::StSplashScreen(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            m_host->show_splash();
            m_splashTimer.start(m_settings.splashTime);
            load_tutorial_picture();
            return Handled();
        case SignalExit:
            m_splashTimer.stop();
            m_host->close_splash();
            m_splashFinished = true;
            if (m_loop != nullptr) {
                m_loop->quit();
            }
            return Handled();
        case SIG_SPLASH_TIMEOUT:
            WIZARD_TRANSITION(StWaitingForMainDlg);
            return Handled();
        case SIG_LANGUAGE_REQUEST:
            m_languageRequested = true;
            WIZARD_TRANSITION(StWaitingForMainDlg);
            return Handled();
        case SIG_SERVICE_INIT_FAILED:  // shown once the search state is entered
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StWaitingForMainDlg(const HsmEvent& e) {
    switch (e.signal) {
        case SIG_MAIN_DIALOG_READY:
            if (m_languageRequested) {
                WIZARD_TRANSITION(StSelectLanguage);
            } else {
                WIZARD_TRANSITION(StSearchingForPhonesInitial);
            }
            return Handled();
        case SIG_SERVICE_INIT_FAILED:
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StSelectLanguage(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            m_host->preselect_language(m_languages->current_language());
            m_host->show_page(WizardPage::SelectLanguage);
            return Handled();
        case SIG_NEXT: {
            const std::uint32_t chosen = m_host->chosen_language();
            if (chosen != m_languages->current_language() && m_languages->switch_language(chosen)) {
                QSettings profile(QStringLiteral("Velka"), QStringLiteral("Atlasync"));
                profile.setValue(QStringLiteral("Settings/Locale"), chosen);
            }
            WIZARD_TRANSITION(StSearchingForPhonesInitial);
            return Handled();
        }
        case SIG_SERVICE_INIT_FAILED:
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StSearchingForPhonesInitial(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry: {
            const Result init = m_initResult.load();
            if (init > 0 && !is_success(init)) {
                post_signal(*this, SIG_SERVICE_INIT_FAILED);
            } else if (m_initialSearchDone) {
                post_signal(*this, SIG_PHONE_SEARCH_DONE);
            } else {
                m_host->show_page(WizardPage::SearchingForPhones);
            }
            return Handled();
        }
        case SIG_PHONE_SEARCH_DONE:
            choose_phone(0);
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StSearchingForPhonesRetry(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            m_host->show_page(WizardPage::SearchingForPhones);
            return Handled();
        case SIG_PHONES_CHANGED:
            choose_phone(0);
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StNoPhoneConnected(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            m_host->set_heading(WizardPage::ErrorRetry, text(kTextNoPhoneHeading));
            m_host->set_description(WizardPage::ErrorRetry, text(kTextNoPhoneDescription));
            m_host->show_page(WizardPage::ErrorRetry);
            return Handled();
        // Leaving this page ends the run as the service answers a missing
        // drive, not as a cancel: a script tells "no phone" from "stopped".
        case SIG_CANCEL_REQUEST:
        case SIG_CANCEL_CONFIRMED:
            m_outcome = MapsService::kResultInvalidDrive;
            break;
        case SIG_RETRY:
            WIZARD_TRANSITION(StSearchingForPhonesRetry);
            return Handled();
        case SIG_PHONES_CHANGED:
            choose_phone(0);
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StUserSelectPhone(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            m_host->show_page(WizardPage::SelectPhone);
            fill_phone_list();
            return Handled();
        case SIG_PHONES_CHANGED:
            if (m_phoneObserver->phone_map().empty()) {
                WIZARD_TRANSITION(StNoPhoneConnected);
            } else {
                fill_phone_list();
            }
            return Handled();
        case SIG_NEXT: {
            const std::uint32_t chosen = m_host->selected_phone();
            // A list entry whose phone has gone since is no choice.
            if (m_phoneObserver->phone_map().count(chosen) == 0) {
                fill_phone_list();
                return Handled();
            }
            m_selectedPhone = chosen;
            WIZARD_TRANSITION(StSelectPhoneDrive);
            return Handled();
        }
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StSelectPhoneDrive(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry: {
            m_host->set_phone_text(format_text(text(kTextCheckingPhone), {selected_phone_name()}));
            m_host->show_page(WizardPage::CheckingForUpdates);
            // The service selects by drive: the one the phone map holds for the
            // phone. A phone gone meanwhile selects nothing and answers 4.
            MapsService::MessageDrive* drive = selected_drive();
            const std::uint32_t driveId = drive != nullptr ? m_devices.drive_id(*drive) : 0;
            post_to_worker([this, driveId] { op_select_drive(driveId); });
            return Handled();
        }
        case SIG_DRIVE_SELECTED:
            if (!is_success(m_operationResult.load())) {
                show_error(kTextPhoneInfoMissingDrive, state(&CStateMachine::StSelectPhoneDrive));
                return Handled();
            }
            if (const int simulated = m_simulation.read_int("MapsNeedUpdate", -1); simulated >= 0) {
                m_mapsNeedUpdate = simulated != 0;
            }
            TraceLine(m_mapsNeedUpdate ? "Maps need update" : "Maps do not need update");
            if (m_mapsAppJustUpdated) {
                if (m_mapsNeedUpdate) {
                    WIZARD_TRANSITION(StUpdateMapData);
                } else {
                    WIZARD_TRANSITION(StCompleted);
                }
            } else {
                WIZARD_TRANSITION(StGetRegionList);
            }
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StGetRegionList(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            post_to_worker([this] { op_read_regions(); });
            return Handled();
        case SIG_REGIONS_READ: {
            if (!is_success(m_operationResult.load())) {
                show_error(kTextPhoneInfoMissingRegions, state(&CStateMachine::StSelectPhoneDrive));
                return Handled();
            }
            std::string regions = "GetRegionList() returned {";
            std::string voices = "GetVoicesList() returned {";
            {
                const std::lock_guard lock(m_dataMutex);
                for (const std::int32_t id : m_regionIds) {
                    regions += " " + std::to_string(id);
                }
                for (const MapsService::VoiceInfo& voice : m_voices) {
                    voices += " " + MapsService::to_narrow(voice.name);
                }
            }
            TraceLine((regions + " }").c_str());
            TraceLine((voices + " }").c_str());
            // A folder the user named has no phone behind it to install on:
            // its map data is all there is to check.
            MapsService::MessageDrive* drive = selected_drive();
            if (drive == nullptr || !m_devices.named_by_user(*drive)) {
                WIZARD_TRANSITION(StGetMapsAppVersions);
                return Handled();
            }
            TraceLine("Drive named by the user: no maps application step");
            if (m_mapsNeedUpdate) {
                WIZARD_TRANSITION(StMapDataUpdateAvailable);
            } else {
                WIZARD_TRANSITION(StNoUpdates);
            }
            return Handled();
        }
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StGetMapsAppVersions(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            if (MapsService::MessageDrive* drive = selected_drive()) {
                m_currentAppVersion = m_devices.installed_version(*drive);
            }
            post_to_worker([this] { op_read_update_info(); });
            return Handled();
        case SIG_APP_VERSIONS_READ: {
            if (!is_success(m_operationResult.load())) {
                show_error(kTextPhoneInfoMissingVersions,
                           state(&CStateMachine::StSelectPhoneDrive));
                return Handled();
            }
            if (const std::string simulated = m_simulation.read_string("UpdateVers");
                !simulated.empty()) {
                try {
                    m_updateVersion = MapsService::MapsappVersionInfo(
                        MapsService::VersionInfo::parse(MapsService::to_wide(simulated)));
                } catch (const MapsService::Exception&) {
                    MapsService::TraceWarning(L"UpdateVers '%s' is not a version",
                                              MapsService::to_wide(simulated).c_str());
                }
            }
            const std::string versions =
                "Current maps vers = " + MapsService::to_narrow(m_currentAppVersion.to_text()) +
                ", update vers = " + MapsService::to_narrow(m_updateVersion.to_text());
            TraceLine(versions.c_str());
            if (m_updateInfoValid && (!m_currentAppVersion.is_valid() ||
                                      m_currentAppVersion.is_older_than(m_updateVersion))) {
                WIZARD_TRANSITION(StMapsAppUpdateAvailable);
            } else if (m_mapsNeedUpdate) {
                WIZARD_TRANSITION(StMapDataUpdateAvailable);
            } else {
                WIZARD_TRANSITION(StNoUpdates);
            }
            return Handled();
        }
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StMapsAppUpdateAvailable(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            m_host->set_heading(WizardPage::UpdateAvailable, m_updateInfo.title);
            m_host->set_description(
                WizardPage::UpdateAvailable,
                format_text(text(kTextMapsAppOffer),
                            {m_updateVersion.to_text(),
                             format_megabytes(to_megabytes(m_updateInfo.contentSize)),
                             m_updateInfo.description}));
            m_host->show_page(WizardPage::UpdateAvailable);
            return Handled();
        case SIG_NEXT:
            WIZARD_TRANSITION(StUpdateMapsApp);
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StUpdateMapsApp(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry: {
            m_cancelMode = 1;
            m_cancelRequested = false;
            MapsService::MapsUpdateInfo info;
            {
                const std::lock_guard lock(m_dataMutex);
                info = m_updateInfo;
            }
            post_to_worker([this, info] { op_update_mapsapp(info); });
            return Handled();
        }
        case SignalExit:
            m_cancelMode = 0;
            return Handled();
        case SignalInit:
            InitialTransition(&CStateMachine::StDownloadMapsApp);
            return Handled();
        case SIG_CANCEL_CONFIRMED:
            m_cancelRequested = true;
            (void)MapsService::cancel_operation();
            return Handled();
        case SIG_APP_UPDATE_DONE: {
            const Result result = m_operationResult.load();
            // Installed before the cancel could stop it: the map data is not
            // touched, the run ends as the user asked.
            if (result == kResultCancelled || (m_exitConfirmed && is_success(result))) {
                WIZARD_TRANSITION(StStopped);
            } else if (!is_success(result)) {
                show_error(kTextMapsAppUpdateFailed, state(&CStateMachine::StUpdateMapsApp));
            } else {
                m_mapsAppJustUpdated = true;
                WIZARD_TRANSITION(StSelectPhoneDrive);
            }
            return Handled();
        }
        case SIG_INSTALL_STARTED:
            WIZARD_TRANSITION(StTransferMapsApp);
            return Handled();
        case SIG_INSTALL_USER_ACTION:
            WIZARD_TRANSITION(StInstallMapsApp);
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StDownloadMapsApp(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            show_download_page({});
            return Handled();
        case SIG_DOWNLOAD_PROGRESS:
            show_progress(m_progress.application_download(*m_progressObserver));
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StUpdateMapsApp);
}

QState CStateMachine::StTransferMapsApp(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            show_download_page(text(kTextInstalling));
            return Handled();
        case SIG_INSTALL_PROGRESS:
            show_progress(ProgressPresenter::application_transfer(*m_progressObserver));
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StUpdateMapsApp);
}

QState CStateMachine::StInstallMapsApp(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            m_host->set_installing_text(text(kTextInstallationStarting));
            m_host->show_page(WizardPage::Installing);
            return Handled();
        case SIG_INSTALL_USER_ACTION:
            m_host->set_installing_text(text(kTextCompleteOnPhone));
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StUpdateMapsApp);
}

QState CStateMachine::StMapDataUpdateAvailable(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry: {
            std::vector<std::int32_t> regions;
            std::vector<MapsService::VoiceInfo> voices;
            {
                const std::lock_guard lock(m_dataMutex);
                regions = m_regionIds;
                voices = m_voices;
            }
            post_to_worker([this, regions = std::move(regions), voices = std::move(voices)] {
                op_read_download_size(regions, voices);
            });
            return Handled();
        }
        case SIG_DOWNLOAD_SIZE_READ: {
            // Without a size the page still offers the update; what failed
            // fails again in the download, on its own error page.
            std::uint64_t size = 0;
            {
                const std::lock_guard lock(m_dataMutex);
                size = m_downloadSize;
            }
            const std::wstring sizeText =
                size == 0 ? std::wstring()
                          : format_megabytes(to_megabytes(size)) + L" " + text(kTextMegabytes);
            MapsService::MessageDrive* drive = selected_drive();
            std::wstring version =
                drive != nullptr ? m_devices.map_package_version_text(*drive) : std::wstring(L"?");
            if (!sizeText.empty()) {
                version += L" | " + sizeText;
            }
            m_host->set_heading(WizardPage::UpdateAvailable, text(kTextMapDataHeading));
            m_host->set_description(WizardPage::UpdateAvailable,
                                    format_text(text(kTextMapDataOffer), {version}));
            m_host->show_page(WizardPage::UpdateAvailable);
            return Handled();
        }
        case SIG_NEXT:
            WIZARD_TRANSITION(StUpdateMapData);
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StUpdateMapData(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry: {
            m_cancelMode = 1;
            m_cancelRequested = false;
            MapsService::MessageDrive* drive = selected_drive();
            m_updateDriveId = drive != nullptr ? m_devices.drive_id(*drive) : 0;
            show_download_page(text(kTextUpdatingMapData));
            m_host->set_download_text(text(kTextDeletingOldMaps));
            std::vector<std::int32_t> regions;
            std::vector<MapsService::VoiceInfo> voices;
            {
                const std::lock_guard lock(m_dataMutex);
                regions = m_regionIds;
                voices = m_voices;
            }
            post_to_worker([this, regions, voices] { op_update_map_data(regions, voices); });
            return Handled();
        }
        case SignalExit:
            m_cancelMode = 0;
            return Handled();
        case SIG_CANCEL_CONFIRMED:
            m_cancelRequested = true;
            (void)MapsService::cancel_operation();
            return Handled();
        case SIG_MAP_UPDATE_DONE: {
            const Result result = m_operationResult.load();
            if (!is_success(result) && m_phoneObserver->maps_incomplete(m_updateDriveId)) {
                // Even the exit a confirmed cancel promised waits for this
                // page: the window must not close before the user learns that
                // the phone's maps are incomplete. Having asked to leave, the
                // user is offered no retry.
                const bool leaving = m_exitConfirmed || result == kResultCancelled;
                show_error(kTextMapDataUpdateFailed,
                           leaving ? nullptr : state(&CStateMachine::StUpdateMapData), true);
            } else if (result == kResultCancelled) {
                WIZARD_TRANSITION(StStopped);
            } else if (!is_success(result)) {
                show_error(kTextMapDataUpdateFailed, state(&CStateMachine::StUpdateMapData));
            } else {
                WIZARD_TRANSITION(StCompleted);
            }
            return Handled();
        }
        case SIG_DELETE_PROGRESS:
            show_progress(ProgressPresenter::map_data_removal(*m_progressObserver));
            return Handled();
        case SIG_DOWNLOAD_PROGRESS:
            show_progress(m_progress.map_data_transfer(*m_progressObserver));
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::final_page(const HsmEvent& e, TextId heading, TransitionRecord& toStopped) {
    switch (e.signal) {
        case SignalEntry:
            m_host->set_heading(WizardPage::Complete, text(heading));
            m_host->show_page(WizardPage::Complete);
            leave_if_exit_confirmed();
            return Handled();
        // Closing the final page is leaving it, and a cancel that reaches it
        // came after the work was done.
        case SIG_CANCEL_REQUEST:
        case SIG_CANCEL_CONFIRMED:
            m_outcome = MapsService::kResultOk;
            break;
        case SIG_NEXT:
            m_outcome = MapsService::kResultOk;
            TransitionStatic(toStopped, &CStateMachine::StStopped);
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

// Each keeps its own record: a replayed path names the state it leaves.
QState CStateMachine::StNoUpdates(const HsmEvent& e) {
    static TransitionRecord toStopped;
    return final_page(e, kTextNoNewUpdates, toStopped);
}

QState CStateMachine::StCompleted(const HsmEvent& e) {
    static TransitionRecord toStopped;
    return final_page(e, kTextUpdateSuccessful, toStopped);
}

QState CStateMachine::StShowServiceApiError(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry: {
            MapsService::TraceInfo("Error Code: %d", m_errorCode);
            const WizardPage page = m_retryState != nullptr && retryable(m_errorCode)
                                        ? WizardPage::ErrorRetry
                                        : WizardPage::ErrorExit;
            std::wstring description = error_description();
            if (m_errorMapsIncomplete) {
                description += L"<br><br>" + text(kTextMapsIncomplete);
            }
            m_host->set_heading(page, text(m_errorHeading));
            m_host->set_description(page, description);
            m_host->show_page(page);
            if (!m_errorMapsIncomplete) {
                leave_if_exit_confirmed();
            }
            return Handled();
        }
        case SIG_CANCEL_CONFIRMED:
            // A "Yes" asked before the update failed beneath the question: the
            // page that says the maps are incomplete stays until the user leaves it.
            m_outcome = m_errorCode;
            if (m_errorMapsIncomplete) {
                return Handled();
            }
            break;
        case SIG_CANCEL_REQUEST:  // "Exit" of the retry page
            m_outcome = m_errorCode;
            break;
        case SIG_NEXT:
            m_outcome = m_errorCode;
            WIZARD_TRANSITION(StStopped);
            return Handled();
        case SIG_RETRY:
            if (m_retryState == nullptr || !retryable(m_errorCode)) {
                return Handled();  // the exit-only page offers no retry
            }
            if (m_phoneObserver->phone_map().count(m_selectedPhone) != 0) {
                TransitionDynamic(m_retryState);
            } else {
                choose_phone(m_selectedPhone);
            }
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

const char* CStateMachine::state_name(StateHandler s) const {
#define WIZARD_STATE(name) \
    { state(&CStateMachine::name), "CStateMachine::" #name }
    static const std::pair<StateHandler, const char*> kNames[] = {
        WIZARD_STATE(StRunning),
        WIZARD_STATE(StStopped),
        WIZARD_STATE(StSplashScreen),
        WIZARD_STATE(StWaitingForMainDlg),
        WIZARD_STATE(StSelectLanguage),
        WIZARD_STATE(StSearchingForPhonesInitial),
        WIZARD_STATE(StSearchingForPhonesRetry),
        WIZARD_STATE(StNoPhoneConnected),
        WIZARD_STATE(StUserSelectPhone),
        WIZARD_STATE(StSelectPhoneDrive),
        WIZARD_STATE(StGetRegionList),
        WIZARD_STATE(StGetMapsAppVersions),
        WIZARD_STATE(StMapsAppUpdateAvailable),
        WIZARD_STATE(StUpdateMapsApp),
        WIZARD_STATE(StDownloadMapsApp),
        WIZARD_STATE(StTransferMapsApp),
        WIZARD_STATE(StInstallMapsApp),
        WIZARD_STATE(StMapDataUpdateAvailable),
        WIZARD_STATE(StUpdateMapData),
        WIZARD_STATE(StNoUpdates),
        WIZARD_STATE(StCompleted),
        WIZARD_STATE(StShowServiceApiError),
    };
#undef WIZARD_STATE
    for (const auto& [handler, name] : kNames) {
        if (handler == s) {
            return name;
        }
    }
    return nullptr;
}

#undef WIZARD_TRANSITION

}  // namespace atlasync::ui
