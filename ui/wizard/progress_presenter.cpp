#include "ui/wizard/progress_presenter.h"

#include <algorithm>

#include "ui/wizard/download_text.h"
#include "ui/wizard/string_table.h"

namespace atlasync::ui {

namespace {

double percent_of(double done, double total) {
    return done * 100.0 / (total == 0 ? 0.001 : total);
}

double percent_of(const ProgressRecord& record) {
    return percent_of(static_cast<double>(record.done), static_cast<double>(record.total));
}

MegabytePair megabytes_of(const ProgressRecord& record) {
    return {to_megabytes(record.done), to_megabytes(record.total)};
}

bool finished(const ProgressRecord& transfer) {
    return transfer.state == PhaseState::FinishedWell ||
           transfer.state == PhaseState::FinishedWithError;
}

std::uint64_t rounded_seconds(std::uint64_t milliseconds) {
    return (milliseconds + 500) / 1000;
}

}  // namespace

void ProgressPresenter::restart() {
    m_textWritten = false;
    m_finalFiguresShown = false;
    m_lastText = {};
}

bool ProgressPresenter::text_due(bool transferFinished) {
    const auto now = m_clock();
    // A short transfer would otherwise end on the figures of its first second.
    const bool finalFigures = transferFinished && !m_finalFiguresShown;
    m_finalFiguresShown = m_finalFiguresShown || transferFinished;
    if (!finalFigures && m_textWritten && now - m_lastText < std::chrono::seconds(1)) {
        return false;
    }
    m_textWritten = true;
    m_lastText = now;
    return true;
}

ProgressFigures ProgressPresenter::application_download(const CProgressObserver& progress) {
    const ProgressRecord& download = progress.download_record();
    ProgressFigures figures;
    if (text_due(finished(download))) {
        const std::uint64_t remaining =
            download.done < download.total ? progress.download_remaining().value_or(0) : 0;
        figures.text = compose_download_text(rounded_seconds(remaining), megabytes_of(download));
    }
    figures.percent = percent_of(download);
    return figures;
}

ProgressFigures ProgressPresenter::application_transfer(const CProgressObserver& progress) {
    const ProgressRecord& install = progress.install_record();
    return {compose_download_text(0, megabytes_of(install)), percent_of(install)};
}

ProgressFigures ProgressPresenter::map_data_transfer(const CProgressObserver& progress) {
    const ProgressRecord& download = progress.download_record();
    const ProgressRecord& unzip = progress.unzip_record();
    const bool downloadFinished = finished(download);
    // The bar and the figures beside it count the same bytes, those to fetch
    // and those to write: each is part of the wait.
    const MegabytePair work{to_megabytes(download.done) + to_megabytes(unzip.done),
                            to_megabytes(download.total) + to_megabytes(unzip.total)};
    ProgressFigures figures;
    if (text_due(downloadFinished)) {
        const auto downloadLeft = progress.download_remaining();
        const auto unzipLeft = progress.unzip_remaining();
        // The next item downloads while the last one is unpacked: the slower
        // of the two is what the user waits for, not their sum.
        const std::uint64_t remaining = downloadLeft && unzipLeft && !downloadFinished
                                            ? std::max(*downloadLeft, *unzipLeft)
                                            : 0;
        // Megabytes while any are still to come; then only the transfer remains.
        const bool onlyTransferLeft =
            progress.unzip_in_progress() && download.done >= download.total && !downloadFinished;
        figures.text = onlyTransferLeft
                           ? compose_download_text(rounded_seconds(remaining), std::nullopt,
                                                   text(kTextTransferringToPhone))
                           : compose_download_text(rounded_seconds(remaining), work);
    }
    figures.percent = percent_of(work.done, work.total);
    return figures;
}

ProgressFigures ProgressPresenter::map_data_removal(const CProgressObserver& progress) {
    return {std::nullopt, percent_of(progress.delete_record())};
}

}  // namespace atlasync::ui
