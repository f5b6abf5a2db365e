#include "ui/messaging/phone_observer.h"

#include <gtest/gtest.h>

#include "service/core/message_queue.h"
#include "tests/ui/observer_test_support.h"
#include "ui/wizard/wizard_signals.h"

using namespace atlasync::ui;
using namespace atlasync::testing;
using MapsService::OnDriveFound;
using MapsService::OnDriveLost;

namespace {

class PhoneObserverTest : public ::testing::Test {
protected:
    TestDrive& drive(std::uint32_t id, TestPhone* phone, const wchar_t* memoryType) {
        auto& d = drives.emplace_back(std::make_unique<TestDrive>());
        d->id = id;
        d->phone = phone;
        d->memoryType = memoryType;
        return *d;
    }

    PumpFixture fixture;
    TestDevices devices;
    RecordingMachine machine;
    CPhoneObserver observer{fixture.pump(), devices, machine};
    TestPhone phone1{1, L"Velka 6220"};
    TestPhone phone2{2, L"Velka N95"};
    std::vector<std::unique_ptr<TestDrive>> drives;
};

TEST_F(PhoneObserverTest, PhoneIsListedOnceWithTheMemoryCardWhenBothMemoriesHoldTheApplication) {
    // Phone 1 reports its phone memory first, phone 2 its memory card first.
    auto& memory1 = drive(1, &phone1, L"DEV");
    auto& card1 = drive(2, &phone1, L"MMC");
    auto& card2 = drive(3, &phone2, L"MMC");
    auto& memory2 = drive(4, &phone2, L"DEV");
    for (TestDrive* d : {&memory1, &card1, &card2, &memory2}) {
        OnDriveFound(d);
    }
    fixture.deliver();
    EXPECT_EQ(observer.phone_map(), (CPhoneObserver::PhoneMap{{1, &card1}, {2, &card2}}));
    EXPECT_EQ(machine.take(), std::vector<std::string>(4, "phones changed"));
}

TEST_F(PhoneObserverTest, PhoneIsListedWithThePhoneMemoryWhenOnlyItHoldsTheApplication) {
    // The card has no maps settings, but the phone can install applications.
    auto& card = drive(1, &phone1, L"MMC");
    card.versionValid = false;
    auto& memory = drive(2, &phone1, L"DEV");
    OnDriveFound(&card);
    OnDriveFound(&memory);
    fixture.deliver();
    EXPECT_EQ(observer.phone_map(), (CPhoneObserver::PhoneMap{{1, &memory}}));

    // Losing the phone memory falls back to the card, which still qualifies.
    OnDriveLost(&memory);
    fixture.deliver();
    EXPECT_EQ(observer.phone_map(), (CPhoneObserver::PhoneMap{{1, &card}}));
}

TEST_F(PhoneObserverTest,
       WithoutTheApplicationOnEitherMemoryTheLaterDriveWinsUnlessTheEarlierIsTheCard) {
    auto& memory = drive(1, &phone1, L"DEV");
    auto& card = drive(2, &phone1, L"MMC");
    auto& other = drive(3, &phone2, L"MMC");
    auto& otherMemory = drive(4, &phone2, L"DEV");
    for (TestDrive* d : {&memory, &card, &other, &otherMemory}) {
        d->versionValid = false;
        OnDriveFound(d);
    }
    fixture.deliver();
    EXPECT_EQ(observer.phone_map(), (CPhoneObserver::PhoneMap{{1, &card}, {2, &other}}));
}

TEST_F(PhoneObserverTest, DrivesWhoseVersionQueryAnswersFalseAreNeverListed) {
    auto& orphan = drive(1, nullptr, L"MMC");  // no phone: the query answers false
    orphan.versionAnswer = false;
    auto& noSis = drive(2, &phone1, L"MMC");  // phone cannot install applications
    noSis.versionAnswer = false;
    auto& massStorage = drive(3, &phone2, L"MMC");  // a local volume
    massStorage.connectionKind = 4;
    auto& unknownKind = drive(4, &phone2, L"DEV");
    unknownKind.connectionKind = 2;
    auto& noSettings = drive(5, &phone2, L"DEV");  // no maps settings, phone can install
    noSettings.versionValid = false;
    for (TestDrive* d : {&orphan, &noSis, &massStorage, &unknownKind, &noSettings}) {
        OnDriveFound(d);
    }
    fixture.deliver();
    EXPECT_EQ(observer.phone_map(), (CPhoneObserver::PhoneMap{{2, &noSettings}}));
    EXPECT_EQ(observer.qualifying_drives().size(), 1u);
    EXPECT_EQ(machine.take(), std::vector<std::string>{"phones changed"});

    OnDriveLost(&orphan);
    fixture.deliver();
    EXPECT_EQ(machine.take(), std::vector<std::string>{}) << "a drive never listed is not lost";
}

TEST_F(PhoneObserverTest, AFolderNamedByTheUserIsListedThoughNoPhoneBehindItInstallsAnything) {
    auto& named = drive(1, &phone1, L"MMC");
    auto& plugged = drive(2, &phone2, L"MMC");  // the same kind of volume, not named
    for (TestDrive* d : {&named, &plugged}) {
        d->connectionKind = 4;
        d->versionAnswer = false;
    }
    named.namedByUser = true;
    OnDriveFound(&named);
    OnDriveFound(&plugged);
    fixture.deliver();
    EXPECT_EQ(observer.phone_map(), (CPhoneObserver::PhoneMap{{1, &named}}));
}

TEST_F(PhoneObserverTest, LostDriveLeavesTheMapEvenWhenItNoLongerAnswersItsQuery) {
    // Regression: a drive that had gone answered its version query with false,
    // was taken for a drive that never qualified, and stayed listed.
    auto& card = drive(7, &phone1, L"MMC");
    OnDriveFound(&card);
    fixture.deliver();
    ASSERT_EQ(observer.phone_map().size(), 1u);
    card.versionAnswer = false;
    OnDriveLost(&card);
    fixture.deliver();
    EXPECT_TRUE(observer.phone_map().empty());
    EXPECT_TRUE(observer.qualifying_drives().empty());
}

TEST_F(PhoneObserverTest, EndOfTheFirstEnumerationMarksTheSearchDone) {
    MapsService::OnPhoneFound(&phone1);
    MapsService::OnPhoneFound(&phone2);
    OnDriveFound(nullptr);
    MapsService::OnPhoneLost(&phone1);
    fixture.deliver();
    EXPECT_EQ(machine.take(),
              (std::vector<std::string>{"search done",
                                        "signal " + std::to_string(SIG_PHONE_SEARCH_DONE)}));
    ASSERT_EQ(observer.phones().size(), 1u);
    EXPECT_EQ(observer.phones().begin()->second, &phone2);
}

}  // namespace
