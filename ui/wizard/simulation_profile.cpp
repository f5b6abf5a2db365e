#include "ui/wizard/simulation_profile.h"

#include <QSettings>
#include <QString>

#include "ui/messaging/program_folders.h"

namespace atlasync::ui {

namespace {

QString settings_key(const char* key) {
    return QStringLiteral("Settings/") + QString::fromLatin1(key);
}

}  // namespace

CPrivateProfile::CPrivateProfile(std::filesystem::path path)
    : m_path(path.empty() ? executable_folder() / kFileName : std::move(path)) {}

std::string CPrivateProfile::read_string(const char* key, std::size_t maximumLength) const {
    std::error_code error;
    if (!std::filesystem::is_regular_file(m_path, error)) {
        return {};
    }
    const QSettings profile(QString::fromStdString(m_path.string()), QSettings::IniFormat);
    std::string value = profile.value(settings_key(key)).toString().trimmed().toStdString();
    if (value.size() > maximumLength) {
        value.resize(maximumLength);
    }
    return value;
}

int CPrivateProfile::read_int(const char* key, int defaultValue) const {
    const std::string value = read_string(key);
    if (value.empty()) {
        return defaultValue;
    }
    bool ok = false;
    const int number = QString::fromStdString(value).toInt(&ok);
    return ok ? number : defaultValue;
}

}  // namespace atlasync::ui
