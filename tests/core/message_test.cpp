#include "service/core/message.h"

#include <gtest/gtest.h>

using namespace MapsService;

namespace {

struct TestPhone : MessagePhone {
    std::wstring message_text() const override { return L"E71 (serial 1234)"; }
};

struct TestDrive : MessageDrive {
    TestPhone* phone = nullptr;
    MessagePhone* message_phone() const override { return phone; }
    std::wstring message_text() const override { return L"E:\\ memory card"; }
};

}  // namespace

TEST(Message, ConstructionsSetExactlyTheirFields) {
    const Message buffer;
    EXPECT_EQ(buffer.type, MSG_NOTHING);
    EXPECT_EQ(buffer.kind, ITEM_PROGRESS);
    EXPECT_EQ(buffer.result, 1);

    const Message plain(MSG_FINISH);
    EXPECT_EQ(plain.kind, ITEM_PROGRESS);
    EXPECT_EQ(plain.result, 0);
    EXPECT_EQ(plain.phone, nullptr);
    EXPECT_EQ(plain.drive, nullptr);

    TestPhone phone;
    TestDrive drive;
    drive.phone = &phone;
    const Message withDrive(MSG_DRIVE_FOUND, static_cast<MessageDrive*>(&drive));
    EXPECT_EQ(withDrive.drive, &drive);
    EXPECT_EQ(withDrive.phone, &phone);
    const Message noDrive(MSG_DRIVE_FOUND, static_cast<MessageDrive*>(nullptr));
    EXPECT_EQ(noDrive.phone, nullptr);

    const Message progress(MSG_UNZIP_PROGRESS, ITEM_FINISHED, 11, 23, 500, 50.0, 1500, 75.0);
    EXPECT_EQ(progress.kind, ITEM_FINISHED);
    EXPECT_EQ(progress.result, 11);
    EXPECT_EQ(progress.id, 23);
    EXPECT_EQ(progress.bytes1, 500u);
    EXPECT_EQ(progress.percent1, 50.0);
    EXPECT_EQ(progress.bytes2, 1500u);
    EXPECT_EQ(progress.percent2, 75.0);
    EXPECT_EQ(progress.phone, nullptr);
}

TEST(Message, DescriptionNamesTheTypeAndWhatItCarries) {
    TestPhone phone;
    TestDrive drive;
    drive.phone = &phone;
    EXPECT_EQ(describe_message(Message(MSG_PHONE_FOUND, static_cast<MessagePhone*>(&phone))),
              L"MSG_PHONE_FOUND E71 (serial 1234)");
    EXPECT_EQ(describe_message(Message(MSG_PHONE_LOST, static_cast<MessagePhone*>(nullptr))),
              L"MSG_PHONE_LOST null");
    EXPECT_EQ(describe_message(Message(MSG_QUERYING_SERVER, static_cast<MessageDrive*>(&drive))),
              L"MSG_QUERYING_SERVER E:\\ memory card");
    EXPECT_EQ(describe_message(Message(MSG_DRIVE_FOUND, static_cast<MessageDrive*>(nullptr))),
              L"MSG_DRIVE_FOUND null");
    EXPECT_EQ(describe_message(Message(MSG_MAPS_INCOMPLETE, static_cast<MessageDrive*>(&drive))),
              L"MSG_MAPS_INCOMPLETE E:\\ memory card");
    EXPECT_EQ(describe_message(
                  Message(MSG_DOWNLOAD_PROGRESS, ITEM_PROGRESS, 0, 7, 51200, 12.5, 102400, 0.25)),
              L"MSG_DOWNLOAD_PROGRESS type: ITEM_PROGRESS id: 7 result: 0 bytes1: 51200 "
              L"percent1: 12.5 bytes2: 102400 percent2: 0.25");
    EXPECT_EQ(describe_message(Message(MSG_DELETE_PROGRESS, 9, 0, 0, 0, 0.0, 0, 0.0)),
              L"MSG_DELETE_PROGRESS type: ??? id: 0 result: 0 bytes1: 0 percent1: 0 bytes2: 0 "
              L"percent2: 0");
    EXPECT_EQ(describe_message(Message(MSG_FINISH)), L"MSG_FINISH ");
    EXPECT_EQ(describe_message(Message(14)), L"unknown ");
}
