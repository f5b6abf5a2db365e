#include "ui/controls/skin.h"

#include <QApplication>
#include <QFile>

#include "service/core/trace.h"
#include "ui/controls/resources.h"

namespace atlasync::ui {

CSkin::CSkin(QApplication& application)
    : m_application(application), m_previous(application.styleSheet()) {
    use_resources();
    QFile sheet(QString::fromLatin1(kResource));
    if (!sheet.open(QIODevice::ReadOnly | QIODevice::Text)) {
        MapsService::TraceError("the skin %s is missing", kResource);
        return;
    }
    m_application.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    m_applied = true;
}

CSkin::~CSkin() {
    if (m_applied) {
        m_application.setStyleSheet(m_previous);
    }
}

}  // namespace atlasync::ui
