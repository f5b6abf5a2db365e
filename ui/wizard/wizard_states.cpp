// The states of the wizard's flow. Each traces its entry and exit under its
// full name; a signal a state does not list goes to its parent.

#include <algorithm>

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

double percent_of(double done, double total) {
    return done * 100.0 / (total == 0 ? 0.001 : total);
}

double megabytes(std::uint64_t bytes) {
    return static_cast<double>(bytes) / 1048576.0;
}

bool finished(const ProgressRecord& transfer) {
    return transfer.state == PhaseState::FinishedWell ||
           transfer.state == PhaseState::FinishedWithError;
}

std::uint64_t rounded_seconds(std::uint64_t milliseconds) {
    return (milliseconds + 500) / 1000;
}

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
            TraceEnter("CStateMachine::StRunning");
            m_pump.start();
            post_to_worker([this] { op_initialize(); });
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StRunning");
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
            m_errorHeading = 107;
            m_errorCode = m_initResult.load();
            m_retryState = nullptr;
            TransitionDynamic(&CStateMachine::StShowServiceApiError);
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
            TraceEnter("CStateMachine::StStopped");
            m_stopped = true;
            m_host->end_run(kResultCancelled);
            if (m_loop != nullptr) {
                m_loop->quit();
            }
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StStopped");
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
            TraceEnter("CStateMachine::StSplashScreen");
            m_host->show_splash();
            m_splashTimer.start(m_settings.splashTime);
            load_tutorial_picture();
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StSplashScreen");
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
        case SignalEntry:
            TraceEnter("CStateMachine::StWaitingForMainDlg");
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StWaitingForMainDlg");
            return Handled();
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
            TraceEnter("CStateMachine::StSelectLanguage");
            m_host->preselect_language(m_languages->current_language());
            m_host->show_page(WizardPage::SelectLanguage);
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StSelectLanguage");
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
            TraceEnter("CStateMachine::StSearchingForPhonesInitial");
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
        case SignalExit:
            TraceExit("CStateMachine::StSearchingForPhonesInitial");
            return Handled();
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
            TraceEnter("CStateMachine::StSearchingForPhonesRetry");
            m_host->show_page(WizardPage::SearchingForPhones);
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StSearchingForPhonesRetry");
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
            TraceEnter("CStateMachine::StNoPhoneConnected");
            m_host->set_heading(WizardPage::ErrorRetry, text(104));
            m_host->set_description(WizardPage::ErrorRetry, text(105));
            m_host->show_page(WizardPage::ErrorRetry);
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StNoPhoneConnected");
            return Handled();
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
            TraceEnter("CStateMachine::StUserSelectPhone");
            m_host->show_page(WizardPage::SelectPhone);
            fill_phone_list();
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StUserSelectPhone");
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
            TraceEnter("CStateMachine::StSelectPhoneDrive");
            m_host->set_phone_text(format_text(text(106), {selected_phone_name()}));
            m_host->show_page(WizardPage::CheckingForUpdates);
            // The service selects by drive: the one the phone map holds for the
            // phone. A phone gone meanwhile selects nothing and answers 4.
            MapsService::MessageDrive* drive = selected_drive();
            const std::uint32_t driveId = drive != nullptr ? m_devices.drive_id(*drive) : 0;
            post_to_worker([this, driveId] { op_select_drive(driveId); });
            return Handled();
        }
        case SignalExit:
            TraceExit("CStateMachine::StSelectPhoneDrive");
            return Handled();
        case SIG_DRIVE_SELECTED:
            if (!is_success(m_operationResult.load())) {
                show_error(108, state(&CStateMachine::StSelectPhoneDrive));
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
            TraceEnter("CStateMachine::StGetRegionList");
            post_to_worker([this] { op_read_regions(); });
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StGetRegionList");
            return Handled();
        case SIG_REGIONS_READ: {
            if (!is_success(m_operationResult.load())) {
                show_error(133, state(&CStateMachine::StSelectPhoneDrive));
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
            WIZARD_TRANSITION(StGetMapsAppVersions);
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
            TraceEnter("CStateMachine::StGetMapsAppVersions");
            if (MapsService::MessageDrive* drive = selected_drive()) {
                m_currentAppVersion = m_devices.installed_version(*drive);
            }
            post_to_worker([this] { op_read_update_info(); });
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StGetMapsAppVersions");
            return Handled();
        case SIG_APP_VERSIONS_READ: {
            if (!is_success(m_operationResult.load())) {
                show_error(134, state(&CStateMachine::StSelectPhoneDrive));
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
            TraceEnter("CStateMachine::StMapsAppUpdateAvailable");
            m_host->set_heading(WizardPage::UpdateAvailable, m_updateTitle);
            m_host->set_description(
                WizardPage::UpdateAvailable,
                format_text(text(135),
                            {m_updateVersion.to_text(), format_megabytes(megabytes(m_updateSize)),
                             m_updateDescription}));
            m_host->show_page(WizardPage::UpdateAvailable);
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StMapsAppUpdateAvailable");
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
            TraceEnter("CStateMachine::StUpdateMapsApp");
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
            TraceExit("CStateMachine::StUpdateMapsApp");
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
                show_error(136, state(&CStateMachine::StUpdateMapsApp));
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
            TraceEnter("CStateMachine::StDownloadMapsApp");
            show_download_page({});
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StDownloadMapsApp");
            return Handled();
        case SIG_DOWNLOAD_PROGRESS: {
            const ProgressRecord& download = m_progressObserver->download_record();
            const std::uint64_t remaining =
                download.done < download.total
                    ? m_progressObserver->download_remaining().value_or(0)
                    : 0;
            if (progress_text_due(finished(download))) {
                m_host->set_download_text(compose_download_text(
                    rounded_seconds(remaining),
                    MegabytePair{megabytes(download.done), megabytes(download.total)}));
            }
            m_host->set_download_progress(percent_of(static_cast<double>(download.done),
                                                     static_cast<double>(download.total)));
            return Handled();
        }
        default:
            break;
    }
    return Parent(&CStateMachine::StUpdateMapsApp);
}

QState CStateMachine::StTransferMapsApp(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            TraceEnter("CStateMachine::StTransferMapsApp");
            show_download_page(text(137));
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StTransferMapsApp");
            return Handled();
        case SIG_INSTALL_PROGRESS: {
            const ProgressRecord& install = m_progressObserver->install_record();
            m_host->set_download_text(compose_download_text(
                0, MegabytePair{megabytes(install.done), megabytes(install.total)}));
            m_host->set_download_progress(
                percent_of(static_cast<double>(install.done), static_cast<double>(install.total)));
            return Handled();
        }
        default:
            break;
    }
    return Parent(&CStateMachine::StUpdateMapsApp);
}

QState CStateMachine::StInstallMapsApp(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            TraceEnter("CStateMachine::StInstallMapsApp");
            m_host->set_installing_text(text(138));
            m_host->show_page(WizardPage::Installing);
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StInstallMapsApp");
            return Handled();
        case SIG_INSTALL_USER_ACTION:
            m_host->set_installing_text(text(139));
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StUpdateMapsApp);
}

QState CStateMachine::StMapDataUpdateAvailable(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry: {
            TraceEnter("CStateMachine::StMapDataUpdateAvailable");
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
                size == 0 ? std::wstring() : format_megabytes(megabytes(size)) + L" " + text(144);
            MapsService::MessageDrive* drive = selected_drive();
            std::wstring version =
                drive != nullptr ? m_devices.map_package_version_text(*drive) : std::wstring(L"?");
            if (!sizeText.empty()) {
                version += L" | " + sizeText;
            }
            m_host->set_heading(WizardPage::UpdateAvailable, text(129));
            m_host->set_description(WizardPage::UpdateAvailable, format_text(text(130), {version}));
            m_host->show_page(WizardPage::UpdateAvailable);
            return Handled();
        }
        case SignalExit:
            TraceExit("CStateMachine::StMapDataUpdateAvailable");
            return Handled();
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
            TraceEnter("CStateMachine::StUpdateMapData");
            m_cancelMode = 1;
            m_cancelRequested = false;
            show_download_page(text(128));
            m_host->set_download_text(text(131));
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
            TraceExit("CStateMachine::StUpdateMapData");
            m_cancelMode = 0;
            return Handled();
        case SIG_CANCEL_CONFIRMED:
            m_cancelRequested = true;
            (void)MapsService::cancel_operation();
            return Handled();
        case SIG_MAP_UPDATE_DONE: {
            const Result result = m_operationResult.load();
            if (result == kResultCancelled) {
                WIZARD_TRANSITION(StStopped);
            } else if (!is_success(result)) {
                show_error(126, state(&CStateMachine::StUpdateMapData));
            } else {
                WIZARD_TRANSITION(StCompleted);
            }
            return Handled();
        }
        case SIG_DELETE_PROGRESS: {
            const ProgressRecord& removal = m_progressObserver->delete_record();
            m_host->set_download_progress(
                percent_of(static_cast<double>(removal.done), static_cast<double>(removal.total)));
            return Handled();
        }
        case SIG_DOWNLOAD_PROGRESS: {
            const ProgressRecord& download = m_progressObserver->download_record();
            const ProgressRecord& unzip = m_progressObserver->unzip_record();
            const auto downloadLeft = m_progressObserver->download_remaining();
            const auto unzipLeft = m_progressObserver->unzip_remaining();
            const bool downloadFinished = finished(download);
            // The next item downloads while the last one is unpacked: the slower
            // of the two is what the user waits for, not their sum.
            const std::uint64_t remaining = downloadLeft && unzipLeft && !downloadFinished
                                                ? std::max(*downloadLeft, *unzipLeft)
                                                : 0;
            // Megabytes while any are still to come; then only the transfer remains.
            const bool onlyTransferLeft = m_progressObserver->unzip_in_progress() &&
                                          download.done >= download.total && !downloadFinished;
            if (progress_text_due(downloadFinished)) {
                if (onlyTransferLeft) {
                    m_host->set_download_text(
                        compose_download_text(rounded_seconds(remaining), std::nullopt, text(145)));
                } else {
                    m_host->set_download_text(compose_download_text(
                        rounded_seconds(remaining),
                        MegabytePair{megabytes(download.done), megabytes(download.total)}));
                }
            }
            const double done = megabytes(download.done) + megabytes(unzip.done);
            double total = megabytes(download.total) + megabytes(unzip.total);
            if (total == 0) {
                total += 0.001;
            }
            m_host->set_download_progress(done * 100.0 / total);
            return Handled();
        }
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StNoUpdates(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            TraceEnter("CStateMachine::StNoUpdates");
            m_host->set_heading(WizardPage::Complete, text(127));
            m_host->show_page(WizardPage::Complete);
            leave_if_exit_confirmed();
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StNoUpdates");
            return Handled();
        case SIG_CANCEL_REQUEST:  // closing the final page is leaving it
        case SIG_CANCEL_CONFIRMED:
            m_outcome = MapsService::kResultOk;
            break;
        case SIG_NEXT:
            m_outcome = MapsService::kResultOk;
            WIZARD_TRANSITION(StStopped);
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StCompleted(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry:
            TraceEnter("CStateMachine::StCompleted");
            m_host->set_heading(WizardPage::Complete, text(125));
            m_host->show_page(WizardPage::Complete);
            leave_if_exit_confirmed();
            return Handled();
        case SignalExit:
            TraceExit("CStateMachine::StCompleted");
            return Handled();
        case SIG_CANCEL_REQUEST:
        case SIG_CANCEL_CONFIRMED:  // the update completed before the cancel reached it
            m_outcome = MapsService::kResultOk;
            break;
        case SIG_NEXT:
            m_outcome = MapsService::kResultOk;
            WIZARD_TRANSITION(StStopped);
            return Handled();
        default:
            break;
    }
    return Parent(&CStateMachine::StRunning);
}

QState CStateMachine::StShowServiceApiError(const HsmEvent& e) {
    switch (e.signal) {
        case SignalEntry: {
            TraceEnter("CStateMachine::StShowServiceApiError");
            MapsService::TraceInfo("Error Code: %d", m_errorCode);
            const WizardPage page = m_retryState != nullptr && retryable(m_errorCode)
                                        ? WizardPage::ErrorRetry
                                        : WizardPage::ErrorExit;
            m_host->set_heading(page, text(m_errorHeading));
            m_host->set_description(page, error_text(m_errorCode));
            m_host->show_page(page);
            leave_if_exit_confirmed();
            return Handled();
        }
        case SignalExit:
            TraceExit("CStateMachine::StShowServiceApiError");
            return Handled();
        case SIG_CANCEL_REQUEST:  // "Exit" of the retry page
        case SIG_CANCEL_CONFIRMED:
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

#undef WIZARD_TRANSITION

}  // namespace atlasync::ui
