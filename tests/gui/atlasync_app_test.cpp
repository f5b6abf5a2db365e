#include <gtest/gtest.h>

#include <QFontDatabase>

#include "ui/app/atlasync_app.h"
#include "ui/controls/skin.h"
#include "ui/messaging/call_gate.h"
#include "ui/messaging/ui_language_manager.h"

namespace atlasync::ui {
namespace {

TEST(AtlasyncApp, WizardRunsBetweenStartUpAndTheEndInOrder) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "atlasync";
    char* argv[] = {name, nullptr};
    CAtlasyncApp app(argc, argv);
    EXPECT_EQ(CAtlasyncApp::instance(), &app);
    EXPECT_EQ(QCoreApplication::organizationName(), QStringLiteral("Velka"));
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("org.atlasync.atlasync"));
    EXPECT_FALSE(CMainThreadCallGate::post([] {}));

    bool ranOnGate = false;
    const int result = app.run([&] {
        EXPECT_TRUE(QFontDatabase::families().contains(QStringLiteral("Open Sans")));
        EXPECT_NE(app.language_manager(), nullptr);
        EXPECT_EQ(app.language_manager(), CUILanguageManager::acquire().get());
        EXPECT_TRUE(app.call_gate_held());
        EXPECT_TRUE(CMainThreadCallGate::post([&] { ranOnGate = true; }));
        QCoreApplication::processEvents();
        EXPECT_TRUE(ranOnGate);
        EXPECT_TRUE(app.skin() != nullptr && app.skin()->applied());
        EXPECT_FALSE(app.application().styleSheet().isEmpty());
        return 2;
    });
    EXPECT_EQ(result, 2);
    EXPECT_TRUE(ranOnGate);
    EXPECT_TRUE(app.application().styleSheet().isEmpty());
    EXPECT_EQ(app.language_manager(), nullptr);
    EXPECT_FALSE(CMainThreadCallGate::post([] {}));
    EXPECT_EQ(app.state_machine(), nullptr);
}

}  // namespace
}  // namespace atlasync::ui
