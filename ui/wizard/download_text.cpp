#include "ui/wizard/download_text.h"

#include <QLocale>
#include <QString>

#include "ui/wizard/string_table.h"

namespace atlasync::ui {

double to_megabytes(std::uint64_t bytes) {
    return static_cast<double>(bytes) / 1048576.0;
}

std::wstring format_megabytes(double megabytes) {
    return QLocale::system().toString(megabytes, 'f', 2).toStdWString();
}

std::wstring compose_download_text(std::uint64_t remainingSeconds,
                                   const std::optional<MegabytePair>& megabytes,
                                   const std::wstring& baseText) {
    std::wstring result = baseText;
    if (megabytes) {
        result = format_text(text(kTextDownloadedOfTotal), {format_megabytes(megabytes->done),
                                                            format_megabytes(megabytes->total)});
    }
    if (remainingSeconds > 90) {
        const std::uint64_t minutes = (remainingSeconds + 30) / 60;
        result += count_text(minutes, kTextEstimatedMinute, kTextEstimatedMinutes);
    } else if (remainingSeconds > 0) {
        result += count_text(remainingSeconds, kTextEstimatedSecond, kTextEstimatedSeconds);
    }
    return result;
}

}  // namespace atlasync::ui
